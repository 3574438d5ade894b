#!/usr/bin/env bash
# Fuzzes the DSP image check for as long as asked (default 10 minutes):
#   scripts/fuzz.sh [SECONDS]
# The corpus grows in build/fuzz/tests/fuzz/corpus; a crash leaves its input
# in build/fuzz/tests/fuzz/ as crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
./scripts/install-deps.sh
cmake --preset fuzz >/dev/null && cmake --build build/fuzz -j"$(nproc)" --target dsp_image_fuzz
dir=build/fuzz/tests/fuzz
python3 tests/fuzz/make_seeds.py "$dir/seeds"
mkdir -p "$dir/corpus"
cd "$dir"
exec ./dsp_image_fuzz -max_total_time="$seconds" -max_len=1024 corpus seeds
