#!/usr/bin/env bash
# Usage: wine-prefix.sh PREFIX [DLL]
# Creates a throwaway 32-bit Wine prefix at PREFIX (once; later runs reuse it)
# and, given the simulated card's COM server DLL, registers the card in it as
# the capture device "713x BDA Analog Capture".
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 PREFIX [DLL]" >&2
  exit 2
fi

export WINEPREFIX
WINEPREFIX=$(realpath -m "$1")
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
dll=${2:-}

# Written only after a complete first start, so an interrupted one is redone.
ready="$WINEPREFIX/.ostrel-prefix-ready"
if [ ! -f "$ready" ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  touch "$ready"
fi

if [ -n "$dll" ]; then
  [ -f "$dll" ] || { echo "$0: no such DLL: $dll" >&2; exit 1; }
  wine regsvr32 /s "$(winepath -w "$(realpath "$dll")")" >/dev/null 2>&1 \
    || { echo "$0: registering $dll failed" >&2; exit 1; }
  wineserver -w
fi
