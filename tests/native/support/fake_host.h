#pragma once

#include <optional>

#include "commands/command_host.h"
#include "support/recording_view.h"

// The dialog as the commands see it: settings and file dialog answers set by
// the test, reports recorded.
class FakeHost final : public CommandHost {
 public:
  TransferView& View() override { return view; }
  CommandSettings Settings() override { return settings; }
  std::optional<FilePath> AskFileToSave() override {
    ++saveDialogs;
    return answer;
  }
  std::optional<FilePath> AskFileToOpen() override { return answer; }

  RecordingView view;
  CommandSettings settings;
  std::optional<FilePath> answer;  // nothing: the operator cancels
  int saveDialogs = 0;
};
