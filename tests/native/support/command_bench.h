#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/card_bench.h"
#include "support/fake_host.h"
#include "support/fake_machine.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"
#include "commands/command_host.h"
#include "commands/command_runner.h"

// A command's whole world in a unit test: the fake dialog, the simulated card
// on a virtual clock, and real files in a fresh folder behind a layer that
// can fail any file operation.
struct CommandBench {
  explicit CommandBench(std::uint32_t boardSize = 256) : card(boardSize) {
    card.card.SnapshotChDec();
    host.view.onBox = [this] { machine.Note("box"); };
  }

  void Save();
  void Write();
  // The dialog's view as the command left it.
  RecordingView& view() { return host.view; }

  CardBench card;
  FakeHost host;
  TempFolder folder;
  std::unique_ptr<FileSystem> realFiles = MakeNativeFileSystem();
  FaultyFileSystem files{*realFiles};
  FakeMachine machine{[this] { return MachineState(); }};
  CommandServices services{card.connector, card.clock, files, machine.access};
  // Runs the commands as the dialog does.
  CommandRunner runner{host, services};

  // "<requests so far>/<connections open>", as the machine's steps record it.
  std::string MachineState() const;
  // The machine's steps, the boxes among them, when the command claimed the
  // card for use around all its requests, let the guard and the timer go
  // around each box shown meanwhile, and let everything go at the end. With
  // no use, the boxes alone: nothing was claimed.
  std::vector<std::string> ClaimAroundRequests(std::optional<CardUse> use) const;
};
