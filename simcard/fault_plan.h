#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

#include "common/i2c_control.h"

namespace simcard {

// Which requests the driver fails on purpose, and with what code.
class FaultPlan {
 public:
  // A code of kKsOk would not fail anything; it is taken as kKsFail.
  void FailTransaction(std::size_t number, KsResult code);
  void FailDevice(std::uint8_t device, KsResult code);
  void Clear();

  // The code the request numbered number (from 1) to device fails with, if any.
  std::optional<KsResult> FaultFor(std::size_t number, std::uint8_t device) const;

 private:
  std::map<std::size_t, KsResult> transactions_;
  std::map<std::uint8_t, KsResult> devices_;
};

}  // namespace simcard
