#!/usr/bin/env bash
# Usage: wine-prefix.sh PREFIX [DLL]
# Creates a throwaway 32-bit Wine prefix of Windows 7 SP1 at PREFIX (64-bit
# with OSTREL_WINEARCH=win64; once, later runs reuse it)
# and, given the simulated card's COM server DLL, registers the card in it as
# the capture device "713x BDA Analog Capture". On every run it also fits the
# prefix to the display it is used on (see below).
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 PREFIX [DLL]" >&2
  exit 2
fi

here=$(dirname "$0")
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
export WINEPREFIX
WINEPREFIX=$(realpath -m "$1")
dll=${2:-}

# Written only after a complete first start, so an interrupted one is redone.
ready="$WINEPREFIX/.ostrel-prefix-ready"
if [ ! -f "$ready" ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Windows 7 SP1, the oldest Windows Ostrel is built for, whatever Wine
  # itself would make a new prefix (Windows 7 with Wine 8 on Debian 12,
  # Windows 10 with Wine 10 on Debian 13): every host tests the same Windows.
  winecfg /v win7 >/dev/null 2>&1
  wineserver -w
  touch "$ready"
fi

# A fresh prefix has no Marlett, and the caption buttons then show letters
# instead of their glyphs; Wine's own copy of the font draws them.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
[ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"

# Without a window manager (a bare Xvfb) Wine waits about a second for every
# managed top-level window that is hidden, each file dialog among them;
# under a window manager, windows must stay managed to get their frames.
# Prefixes are reused under both, so this is set on every run.
managed=N
if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  managed=Y
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1 \
  || { echo "$0: setting Managed=$managed failed" >&2; exit 1; }

if [ -n "$dll" ]; then
  [ -f "$dll" ] || { echo "$0: no such DLL: $dll" >&2; exit 1; }
  wine regsvr32 /s "$(winepath -w "$(realpath "$dll")")" >/dev/null 2>&1 \
    || { echo "$0: registering $dll failed" >&2; exit 1; }
fi
wineserver -w
