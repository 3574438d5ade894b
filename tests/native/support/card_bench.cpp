#include "support/card_bench.h"

std::vector<simcard::Transaction> CardBench::Requests(int device) const {
  std::vector<simcard::Transaction> out;
  for (const simcard::Transaction& t : card.Log()) {
    if (device < 0 || t.device == device) out.push_back(t);
  }
  return out;
}
