#pragma once

// What this program's access token says of it (Windows only).

#include <windows.h>

#include <vector>

namespace selftest {

// One kind of the token's information (TokenUser, TokenGroups, ...) as the
// system gives it; empty when it cannot be read.
std::vector<BYTE> TokenInformationOf(TOKEN_INFORMATION_CLASS kind);

// The user the program runs as, held in tokenUser (TokenInformationOf
// (TokenUser)); null when that is empty.
PSID UserOf(std::vector<BYTE>& tokenUser);

// Whether the program may make an object owned by owner: itself, or a group
// of its token that may own what it makes (an elevated token's
// Administrators).
bool MayOwn(PSID owner);

// Whether the Administrators group is in force in the token: an elevated
// token, or an administrator's where User Account Control is off. An
// administrator's unelevated token holds the group for denying only.
bool IsAdministrator();

// Whether the program runs above medium integrity (elevated, or an
// administrator with User Account Control off). COM then ignores classes
// registered for the user.
bool AboveMediumIntegrity();

}  // namespace selftest
