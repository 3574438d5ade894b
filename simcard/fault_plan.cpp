#include "simcard/fault_plan.h"

namespace simcard {
namespace {

KsResult FailingCode(KsResult code) {
  return code == kKsOk ? kKsFail : code;
}

template <typename Key>
std::optional<KsResult> Lookup(const std::map<Key, KsResult>& faults, Key key) {
  const auto found = faults.find(key);
  if (found == faults.end()) return std::nullopt;
  return found->second;
}

}  // namespace

void FaultPlan::FailTransaction(std::size_t number, KsResult code) {
  transactions_[number] = FailingCode(code);
}

void FaultPlan::FailDevice(std::uint8_t device, KsResult code) {
  devices_[device] = FailingCode(code);
}

void FaultPlan::Clear() {
  transactions_.clear();
  devices_.clear();
}

std::optional<KsResult> FaultPlan::FaultFor(std::size_t number, std::uint8_t device) const {
  if (std::optional<KsResult> code = Lookup(transactions_, number)) return code;
  return Lookup(devices_, device);
}

}  // namespace simcard
