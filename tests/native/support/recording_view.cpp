#include "support/recording_view.h"

void RecordingView::SetStatusText(const std::string& text) {
  if (onPaint) onPaint();
  status = text;
  events_.push_back({Kind::Status, text, {}, 0});
}

void RecordingView::SetProgressRange(std::int32_t n) {
  if (onPaint) onPaint();
  range = n;
  events_.push_back({Kind::Range, {}, {}, n});
}

void RecordingView::SetProgressPos(std::int32_t p) {
  if (onPaint) onPaint();
  position = p;
  events_.push_back({Kind::Pos, {}, {}, p});
}

void RecordingView::EnableCommands(bool on) {
  commandsEnabled = on;
  events_.push_back({Kind::Enable, {}, {}, on ? 1 : 0});
}

void RecordingView::ShowError(const std::string& text) {
  if (onBox) onBox();
  events_.push_back({Kind::Error, text, "Ostrel", 0});
}

void RecordingView::ShowNotice(const std::string& text) {
  if (onBox) onBox();
  events_.push_back({Kind::Notice, text, "Ostrel", 0});
}

void RecordingView::ShowPlainMessage(const std::string& text, const std::string& caption) {
  if (onBox) onBox();
  events_.push_back({Kind::Plain, text, caption, 0});
}

namespace {

std::string Describe(const RecordingView::Event& e) {
  switch (e.kind) {
    case RecordingView::Kind::Error:
      return "error: " + e.text;
    case RecordingView::Kind::Notice:
      return "notice: " + e.text;
    case RecordingView::Kind::Plain:
      return "plain[" + e.caption + "]: " + e.text;
    case RecordingView::Kind::Status:
      return "status: " + e.text;
    default:
      return {};
  }
}

}  // namespace

std::vector<std::string> RecordingView::Messages() const {
  std::vector<std::string> out;
  for (const Event& e : events_) {
    if (e.kind == Kind::Error || e.kind == Kind::Notice || e.kind == Kind::Plain) {
      out.push_back(Describe(e));
    }
  }
  return out;
}

std::vector<std::string> RecordingView::StatusAndMessages() const {
  std::vector<std::string> out;
  for (const Event& e : events_) {
    const std::string text = Describe(e);
    if (!text.empty()) out.push_back(text);
  }
  return out;
}

std::vector<std::string> RecordingView::Errors() const {
  std::vector<std::string> out;
  for (const Event& e : events_) {
    if (e.kind == Kind::Error) out.push_back(e.text);
  }
  return out;
}

std::vector<std::int64_t> RecordingView::Positions() const {
  std::vector<std::int64_t> out;
  for (const Event& e : events_) {
    if (e.kind == Kind::Pos) out.push_back(e.value);
  }
  return out;
}
