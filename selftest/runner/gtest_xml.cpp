#include "gtest_xml.h"

#include <cstdlib>
#include <string_view>

namespace selftest {

namespace {

// Text with XML's escapes undone; character references come out as UTF-8.
std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t end = text.find(';', i);
    if (text[i] != '&' || end == std::string_view::npos) {
      out += text[i];
      continue;
    }
    const std::string_view entity = text.substr(i + 1, end - i - 1);
    i = end;
    if (entity == "amp")
      out += '&';
    else if (entity == "lt")
      out += '<';
    else if (entity == "gt")
      out += '>';
    else if (entity == "quot")
      out += '"';
    else if (entity == "apos")
      out += '\'';
    else if (entity.starts_with('#')) {
      const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
      const std::string digits(entity.substr(hex ? 2 : 1));
      const unsigned long c = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  return out;
}

// The value of attribute name in the start tag tag; empty when it has none.
std::string Attribute(std::string_view tag, std::string_view name) {
  // Appended piece by piece: GCC 12 warns wrongly of an overlap otherwise.
  std::string key(" ");
  key.append(name).append("=\"");
  const std::size_t start = tag.find(key);
  if (start == std::string_view::npos) return {};
  const std::size_t from = start + key.size();
  return Unescaped(tag.substr(from, tag.find('"', from) - from));
}

// The message attributes of every element called element in body.
std::vector<std::string> Messages(std::string_view body, std::string_view element) {
  std::vector<std::string> messages;
  std::string open("<");
  open.append(element).append(" ");
  for (std::size_t at = body.find(open); at != std::string_view::npos;
       at = body.find(open, at + 1)) {
    messages.push_back(Attribute(body.substr(at, body.find('>', at) - at), "message"));
  }
  return messages;
}

}  // namespace

std::vector<TestCaseResult> ParseGtestXml(const std::string& xml) {
  std::vector<TestCaseResult> results;
  const std::string_view text(xml);
  for (std::size_t at = text.find("<testcase "); at != std::string_view::npos;
       at = text.find("<testcase ", at + 1)) {
    const std::size_t tagEnd = text.find('>', at);
    if (tagEnd == std::string_view::npos) break;
    const std::string_view tag = text.substr(at, tagEnd - at);
    const bool empty = tag.ends_with('/');
    const std::size_t bodyEnd = empty ? tagEnd : text.find("</testcase>", tagEnd);
    const std::string_view body = text.substr(tagEnd, bodyEnd - tagEnd);

    TestCaseResult result;
    result.name = Attribute(tag, "classname") + "." + Attribute(tag, "name");
    result.messages = Messages(body, "failure");
    if (!result.messages.empty()) {
      result.outcome = TestCaseResult::Outcome::kFailed;
    } else if (Attribute(tag, "result") == "skipped") {
      result.outcome = TestCaseResult::Outcome::kSkipped;
      result.messages = Messages(body, "skipped");
    }
    results.push_back(std::move(result));
  }
  return results;
}

}  // namespace selftest
