#pragma once

// What a program of the kit tells the person running it, on the console, and
// keeps for them to send back in a file beside the kit: the runner's
// selftest-results.txt, the card check's card-check.txt.

#include <string>
#include <utility>
#include <vector>

#include "claim/undo_steps.h"
#include "common/file.h"
#include "common/waiter.h"

namespace selftest {

class Report {
 public:
  explicit Report(FilePath file) : file_(std::move(file)) {}

  // On the console at once, so that the person follows the run, and kept.
  void Say(const std::string& line);
  // Kept only.
  void Record(const std::string& line) { lines_.push_back(line); }
  void Record(const std::vector<std::string>& lines);
  // Said, and the report is one of a failure from then on.
  void Failure(const std::string& line);

  bool Failed() const { return failed_; }
  // The lines with Windows' line ends (UTF-8), for Notepad.
  std::string Text() const;
  const FilePath& File() const { return file_; }

  // Replaces the file whole, as Ostrel saves: written beside it and put in
  // its place once on disk, tried again while a virus scanner holds it, so
  // that a program ended at any moment leaves the last whole report. False
  // when it could not be saved.
  bool Save(FileSystem& files, Waiter& waiter, UndoSteps& undo) const;
  bool Save() const;

 private:
  FilePath file_;
  std::vector<std::string> lines_;
  bool failed_ = false;
};

}  // namespace selftest
