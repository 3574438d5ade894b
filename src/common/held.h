#pragma once

#include <functional>
#include <utility>

// Something taken that must be given back exactly once: when the Held goes,
// or earlier through Release. A card claim is made of Helds, so that its
// pieces are let go in reverse order on every path.
class Held {
 public:
  Held() = default;
  explicit Held(std::function<void()> release) : release_(std::move(release)) {}
  Held(Held&& other) noexcept : release_(std::exchange(other.release_, nullptr)) {}
  Held& operator=(Held&& other) noexcept {
    if (this != &other) {
      Release();
      release_ = std::exchange(other.release_, nullptr);
    }
    return *this;
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { Release(); }

  void Release() {
    if (const auto release = std::exchange(release_, nullptr)) release();
  }
  explicit operator bool() const { return static_cast<bool>(release_); }

 private:
  std::function<void()> release_;
};
