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
use_virtual_screen_without_display "$WINEPREFIX"
./scripts/wine-prefix.sh "$WINEPREFIX" build/windows/simcard/com/simcard_com.dll
load
wine build/windows/tests/bench/pacing_bench.exe

echo "== the real ostrel.exe under Wine, through its dialog =="
load
wine build/windows/src/ui/dialog_pacing_bench.exe 2>/dev/null | grep -E '^(own share|  median run|\[  (FAILED|PASSED))'
load
wineserver -w
