#!/usr/bin/env bash
# Installs what building, testing and packaging Ostrel needs on Debian 12
# and 13 (and, untried, Ubuntu 24.04): the MinGW-w64 cross compilers, 32-bit Wine
# and its fonts, 64-bit Wine (the self-test kit is tried in a 64-bit prefix
# too, as on 64-bit Windows), Xvfb, GoogleTest sources, the native toolchain with the
# sanitizer and fuzzer runtimes of its clang, git and Python, and what signs
# and proves a release: osslsigncode, openssl, and SoftHSM2 with OpenSSL's
# PKCS#11 engine (the tests' stand-in for a hardware token), and the German
# locale de_DE.UTF-8, under which the self-test kit is tried as a PC abroad
# runs it. Does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format clang-tidy cppcheck
  googletest g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick python3 git
  osslsigncode openssl softhsm2 libengine-pkcs11-openssl locales
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
updated=false

# install PACKAGE...: installs those of them that are missing.
install() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  echo "Installing: ${missing[*]}"
  if ! $updated; then
    "${sudo_cmd[@]}" apt-get update -qq
    updated=true
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

install "${packages[@]}"
# The sanitizer and fuzzer runtimes of the clang just installed: clang 14 on
# Debian 12, clang 19 on Debian 13, clang 18 on Ubuntu 24.04.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -1)
install "libclang-rt-$clang_major-dev"
# The locale the self-test kit is tried under as a PC abroad runs it (Wine
# titles its dialogs in the Unix locale's language). Debian's locale-gen makes
# what /etc/locale.gen names; Ubuntu's takes the locale itself.
german=de_DE.UTF-8
has_german() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }
if ! has_german; then
  echo "Making the locale $german"
  if [ -f /etc/locale.gen ] && ! grep -qx "$german UTF-8" /etc/locale.gen; then
    "${sudo_cmd[@]}" sed -i "s/^# *\($german UTF-8\)\$/\1/" /etc/locale.gen
    grep -qx "$german UTF-8" /etc/locale.gen \
      || echo "$german UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen --keep-existing >/dev/null
  has_german || "${sudo_cmd[@]}" locale-gen "$german" >/dev/null
  has_german || { echo "the locale $german could not be made" >&2; exit 1; }
fi
