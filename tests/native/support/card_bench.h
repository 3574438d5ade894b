#pragma once

#include <cstdint>
#include <vector>

#include "eeprom/transfer_context.h"
#include "simcard/sim_card.h"
#include "simcard/sim_connector.h"
#include "simcard/virtual_clock.h"
#include "support/recording_view.h"
#include "support/test_bytes.h"

// A simulated card on a virtual clock with a recording view: what a transfer
// or command needs to run in a unit test.
struct CardBench {
  explicit CardBench(std::uint32_t boardSize = 256)
      : card(clock, boardSize), connector(card), context{view, connector, clock, undo} {}

  // Requests that reached the driver, in order, optionally for one device only.
  std::vector<simcard::Transaction> Requests(int device = -1) const;

  simcard::VirtualClock clock;
  simcard::SimCard card;
  simcard::SimConnector connector;
  RecordingView view;
  UndoSteps undo;
  TransferContext context;
};
