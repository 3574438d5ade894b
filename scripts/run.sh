#!/usr/bin/env bash
# Runs Ostrel on a virtual capture card: installs what is missing, builds the
# Windows program and the simulated card, registers the card in a private
# Wine prefix and opens Ostrel on it.
#
# The card keeps its EEPROM contents in a folder, $OSTREL_CARD_DIR or
# ~/.ostrel-card, seeded on first use with sample contents; images to program
# are in its samples/ folder.
#
# Without a display Ostrel is shown on a virtual screen and a picture of it is
# saved instead (the path is printed).
#
# usage: run.sh [--screenshot FILE]   (always the virtual screen; picture to FILE)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

screenshot=""
if [ "${1:-}" = "--screenshot" ]; then
  [ -n "${2:-}" ] || { echo "usage: $0 [--screenshot FILE]" >&2; exit 2; }
  screenshot=$(realpath -m "$2")
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--screenshot FILE]" >&2
  exit 2
fi

step() { printf '== %s ==\n' "$*"; }

step "Installing what is missing"
./scripts/install-deps.sh

step "Building Ostrel and the simulated card (Windows, MinGW-w64)"
# OSTREL_BUILD_DIR puts the build elsewhere (the windows preset's own folder
# by default).
build=$(realpath -m "${OSTREL_BUILD_DIR:-$root/build/windows}")
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" -j2 --target ostrel simcard_com
exe=$build/src/ui/ostrel.exe
dll=$build/simcard/com/simcard_com.dll

# Every Wine program started below must see the same display: the first one
# starts the prefix's desktop on it.
virtual_screen=false
if [ -n "$screenshot" ] || [ -z "${DISPLAY:-}" ]; then
  virtual_screen=true
  # No display (or a picture asked for): a virtual screen of our own.
  asked_for_picture=$([ -n "$screenshot" ] && echo true || echo false)
  [ -n "$screenshot" ] || screenshot=$build/ostrel-screenshot.png
  display=:$((100 + RANDOM % 400))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  cleanup() {
    wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
  }
  trap cleanup EXIT
  export DISPLAY=$display
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

step "Preparing the Wine prefix with the virtual card"
. scripts/wine-env.sh
export WINEPREFIX=$build/run-prefix
./scripts/wine-prefix.sh "$WINEPREFIX" "$dll"

card=$(realpath -m "${OSTREL_CARD_DIR:-$HOME/.ostrel-card}")
python3 scripts/make_sample_images.py "$card"
OSTREL_SIMCARD_DIR=$(winepath -w "$card")
export OSTREL_SIMCARD_DIR
echo "Virtual card: $card (images to program in $card/samples)"

if ! $virtual_screen; then
  step "Ostrel"
  wine "$exe"
  wineserver -w
  exit 0
fi

step "Ostrel on a virtual screen ($DISPLAY)"
# Inside a Wine desktop of its own, so that the window has its frame and
# caption even without a window manager.
wine explorer /desktop=Ostrel,640x400 "$exe" &
window=""
for _ in $(seq 600); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Ostrel"/ { print $1; exit }')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "$0: Ostrel's window did not appear" >&2; exit 1; }
sleep 1  # let it finish painting
mkdir -p "$(dirname "$screenshot")"
import -window "$window" "$screenshot"
if $asked_for_picture; then
  echo "Picture of Ostrel saved to $screenshot"
else
  echo "No display here: Ostrel ran on a virtual screen; its picture is in $screenshot"
fi
