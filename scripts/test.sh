#!/usr/bin/env bash
# Runs every test of Ostrel: installs what is missing, builds the native code
# (ASan+UBSan), the fuzz target (clang) and the Windows build (MinGW-w64),
# then runs the native tests, a bounded fuzz run, the Windows tests under
# Wine in a throwaway prefix and the check that the operators' package builds
# reproducibly (Package.Reproducible), with one ctest summary at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

step() { printf '\n== %s ==\n' "$*"; }

step "Installing what is missing"
./scripts/install-deps.sh

step "Native build (ASan+UBSan)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"

step "Fuzz target (clang, libFuzzer)"
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j"$jobs" --target dsp_image_fuzz

step "Windows build (MinGW-w64 i686, static)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"

step "Wine and display"
. scripts/wine-env.sh  # Wine settings and a UTF-8 locale, inherited by every Wine test
rm -rf build/windows/wineprefix  # throwaway: made afresh by the first Wine test
use_virtual_screen_without_display build/windows/wineprefix

step "Tests"
# LeakSanitizer is on for the native tests (it is part of ASan on Linux; made
# explicit so that a changed default cannot switch it off).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1
# One run over all three build trees, so that ctest gives one summary. Two
# tests at a time: most Wine tests wait through the card's pacing and leave a
# core idle; the locks in tests/CMakeLists.txt say what must not overlap.
all=build/all-tests
mkdir -p "$all"
cat >"$all/CTestTestfile.cmake" <<CTEST
subdirs("$root/build/native" "$root/build/fuzz/tests/fuzz" "$root/build/windows")
CTEST
set +e
(cd "$all" && ctest --output-on-failure -j2 --timeout 900) 2>&1 | tee "$all/ctest.out"
status=${PIPESTATUS[0]}
set -e
WINEPREFIX="$root/build/windows/wineprefix" wineserver -w 2>/dev/null || true

# The figures the tests measured (fault positions swept, fuzz runs, end-to-end
# durations, the stripped program's size), then ctest's summary once more so
# that the run ends with it.
step "Figures"
cat "$all"/Testing/Temporary/LastTest.log 2>/dev/null \
  | grep -E '^(swept|I2C fault sweep|file fault sweep|duration|size): |^Done [0-9]+ runs' || true
printf '\n'
sed -n '/tests passed/,$p' "$all/ctest.out"
exit "$status"
