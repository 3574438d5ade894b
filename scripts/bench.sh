#!/usr/bin/env bash
# Times the four EEPROM transfers with the real 20 ms pacing against the
# in-process simulated card, natively and as the Windows build under Wine,
# and prints each against its pacing floor; then measures, from outside, the
# real ostrel.exe's own share of each paced request of a board write, a DSP
# save and a DSP write run through its dialog on the simulated card. Takes
# about three minutes; the figures are only meaningful on an idle machine,
# so the load is printed beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset bench >/dev/null && cmake --build build/bench -j"$(nproc)" --target pacing_bench >/dev/null
cmake --preset windows >/dev/null
cmake --build build/windows -j"$(nproc)" --target pacing_bench dialog_pacing_bench >/dev/null
load() { echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"; }

echo "== native (POSIX wait) =="
load
./build/bench/tests/bench/pacing_bench

echo "== Windows build under Wine (waitable timer) =="
. scripts/wine-env.sh
export WINEPREFIX=$PWD/build/windows/bench-prefix
# Every Wine program of the prefix must see the same display, the dialog's
# included: the first one starts the prefix's desktop on it.
if [ -z "${DISPLAY:-}" ]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'wineserver -k 2>/dev/null || true; kill "$xvfb_pid" 2>/dev/null || true' EXIT
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
./scripts/wine-prefix.sh "$WINEPREFIX" build/windows/simcard/com/simcard_com.dll
load
wine build/windows/tests/bench/pacing_bench.exe

echo "== the real ostrel.exe under Wine, through its dialog =="
load
wine build/windows/src/ui/dialog_pacing_bench.exe 2>/dev/null | grep -E '^(own share|  median run|\[  (FAILED|PASSED))'
load
wineserver -w
