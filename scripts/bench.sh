#!/usr/bin/env bash
# Times the four EEPROM transfers with the real 20 ms pacing against the
# in-process simulated card, natively and as the Windows build under Wine,
# and prints each against its pacing floor. Takes about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset bench >/dev/null && cmake --build build/bench -j"$(nproc)" --target pacing_bench >/dev/null
cmake --preset windows >/dev/null && cmake --build build/windows -j"$(nproc)" --target pacing_bench >/dev/null
echo "== native (POSIX wait) =="
./build/bench/tests/bench/pacing_bench
echo "== Windows build under Wine (waitable timer) =="
. scripts/wine-env.sh
export WINEPREFIX=$PWD/build/windows/bench-prefix
./scripts/wine-prefix.sh "$WINEPREFIX"
wine build/windows/tests/bench/pacing_bench.exe
wineserver -w
