#include "selftest/common/report.h"

#include <cstdint>
#include <memory>
#include <span>

#include "commands/pending_save.h"
#include "selftest/common/console_text.h"

namespace selftest {

void Report::Say(const std::string& line) {
  Print(line);
  Record(line);
}

void Report::Record(const std::vector<std::string>& lines) {
  lines_.insert(lines_.end(), lines.begin(), lines.end());
}

void Report::Failure(const std::string& line) {
  failed_ = true;
  Say(line);
}

std::string Report::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}

bool Report::Save(FileSystem& files, Waiter& waiter, UndoSteps& undo) const {
  const std::string text = Text();
  const std::unique_ptr<PendingSave> save = PendingSave::Begin(files, waiter, undo, file_);
  return save &&
         save->file().Write(
             std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) &&
         save->Commit();
}

bool Report::Save() const {
  const std::unique_ptr<FileSystem> files = MakeNativeFileSystem();
  const std::unique_ptr<PreciseWaiter> waiter = MakePreciseWaiter();
  UndoSteps undo;
  return Save(*files, *waiter, undo);
}

}  // namespace selftest
