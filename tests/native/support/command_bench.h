#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/card_bench.h"
#include "support/fake_host.h"
#include "support/fake_machine.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"
#include "ui/command_host.h"

// A command's whole world in a unit test: the fake dialog, the simulated card
// on a virtual clock, and real files in a fresh folder behind a layer that
// can fail any file operation.
struct CommandBench {
  explicit CommandBench(std::uint32_t boardSize = 256) : card(boardSize) {
    card.card.SnapshotChDec();
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

  // "<requests so far>/<connections open>", as the machine's steps record it.
  std::string MachineState() const;
  // The machine's steps when the command claimed the card around all its
  // requests (none when it made none) and let everything go again.
  std::vector<std::string> ClaimAroundRequests(CardUse use) const;
};
