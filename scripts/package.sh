#!/usr/bin/env bash
# Builds the archive operators download, dist/ostrel-<version>-win32.zip:
# ostrel.exe (stripped, and signed when a key is configured: see
# scripts/sign_program.py), README.txt (naming the commit), LICENSE and
# SHA256SUMS. Installs what is missing, builds the program in a folder of its
# own (build/package), and prints the archive's path, its SHA-256 (publish it
# beside the archive) and the size of ostrel.exe. Then the self-test kit,
# dist/ostrel-<version>-win32-selftest.zip (selftest/), with its path and
# SHA-256: its ostrel.exe is taken out of the finished operators' archive, so
# it is the same program, signature included.
#
# The same commit gives the same bytes in any folder at any time: the
# archive's times come from the commit (SOURCE_DATE_EPOCH, unless already
# set) and nothing of the build's folder or clock gets into the program. Its
# signature, too, is the same for the same key: it is dated at that time.
#
# usage: package.sh [--program-only]
#   --program-only makes the operators' archive alone, which is all that
#   scripts/verify-release.sh proves: the kit's test programs take minutes more.
set -euo pipefail
cd "$(dirname "$0")/.."

kit=true
case ${1:-} in
  "") ;;
  --program-only) kit=false ;;
  *) sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2; exit 2 ;;
esac

./scripts/install-deps.sh

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "$0: not a git checkout; set SOURCE_DATE_EPOCH to the sources' time" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "$0: note: uncommitted changes; this archive is not the commit's and says so" >&2
fi
# A signing key that is configured but unusable stops here, before the build.
python3 scripts/sign_program.py --check ostrel.exe

cmake --preset package >/dev/null
cmake --build --preset package -j"$(nproc)"

# The self-test kit, last: it takes ostrel.exe out of the operators' archive
# as that is now final, so that the kit tests the very program operators get.
if $kit; then
  cmake --build build/package -j"$(nproc)" --target ostrel_selftest_kit
fi
