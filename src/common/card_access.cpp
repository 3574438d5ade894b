#include "common/card_access.h"

#include "common/transfer_view.h"

CardClaim::CardClaim(CardAccess& access, CardUse use) : access_(access) {
  access_.claimed_ = true;
  access_.power_.Hold(use);
}

CardClaim::~CardClaim() {
  access_.power_.Release();
  access_.claimed_ = false;
  access_.lock_.Release();
}

std::unique_ptr<CardClaim> CardAccess::Claim(CardUse use, TransferView& view) {
  if (!lock_.TryTake()) {
    view.ShowError(kCardInUseMessage);
    return nullptr;
  }
  return std::make_unique<CardClaim>(*this, use);
}
