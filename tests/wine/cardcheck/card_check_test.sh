#!/usr/bin/env bash
# Usage: card_check_test.sh CARDCHECK_EXE COMMAND_WINE_TESTS_EXE
# The read-only card check against the virtual card registered in the test
# prefix: without "yes" it asks the card nothing; with it, it saves exactly
# the card's contents, reports every check passed and writes no EEPROM; a
# card that fails a request ends the check with the decoder put back; and
# stopped from outside it puts the decoder back and says so.
set -euo pipefail
exe=$1
tests=$2
here=$(dirname "$0")
# shellcheck source=../../../scripts/wine-env.sh
. "$here/../../../scripts/wine-env.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
card=$work/card
mkdir "$card"
head -c 256 /dev/urandom >"$card/board.bin"
head -c 32768 /dev/urandom >"$card/dsp.bin"
OSTREL_SIMCARD_DIR=$(winepath -w "$card")
export OSTREL_SIMCARD_DIR

fail() {
  echo "card_check_test: $*" >&2
  exit 1
}

# check ANSWER OUTDIR: runs the check with the operator's answer; its exit code.
check() {
  local status=0
  echo "$1" | wine "$exe" "$(winepath -w "$2")" >"$work/console.txt" || status=$?
  echo "$status"
}

# The report's lines, without Windows' line ends.
report() { tr -d '\r' <"$1/card-check.txt"; }

expect_lines() {
  local file=$1 line
  shift
  for line in "$@"; do
    grep -Eq "^$line\$" "$file" || fail "no line matching '$line' in $file: $(cat "$file")"
  done
}

log_count() { grep -Ec "$1" "$card/log.txt" || true; }

# Refused: nothing read, nothing saved.
[ "$(check no "$work/refused")" = 2 ] || fail "a refused check did not end with 2"
head -n1 "$work/console.txt" | grep -q '^Card: the VIRTUAL card ' || fail "first line: $(head -n1 "$work/console.txt")"
grep -q 'never writes to an EEPROM' "$work/console.txt" || fail "the request does not say what it does"
[ ! -e "$work/refused" ] || fail "a refused check made its folder"
[ "$(log_count .)" = 0 ] || fail "a refused check made requests: $(cat "$card/log.txt")"

# Agreed: both EEPROMs read twice, saved as the card holds them.
[ "$(check yes "$work/out")" = 0 ] || fail "the check failed: $(cat "$work/console.txt")"
report "$work/out" >"$work/report.txt"
head -n1 "$work/report.txt" | grep -q '^Card: the VIRTUAL card ' || fail "report's first line"
ms='[0-9]+ ms\)'
expect_lines "$work/report.txt" "Ostrel's card check, version [0-9.]+" \
  "Channel decoder registers before: 07=00, 3C\.\.41=5A 0C 12 34 00 01 \(2 requests, $ms" \
  "Board EEPROM read [12]: 256 bytes \(32 requests, $ms" \
  "DSP EEPROM read [12]: 32768 bytes \(517 requests, $ms" \
  "Channel decoder registers after: 07=00, 3C\.\.41=5A 0C 12 34 00 01 \(2 requests, $ms" \
  "Board EEPROM reads identical: yes" "DSP EEPROM reads identical: yes" \
  "Channel decoder registers put back: yes" "Result: every check passed"
cmp "$work/out/board-eeprom.bin" "$card/board.bin" || fail "board-eeprom.bin differs from the card"
cmp "$work/out/dsp-eeprom.bin" "$card/dsp.bin" || fail "dsp-eeprom.bin differs from the card"
[ "$(ls "$work/out" | tr '\n' ' ')" = "board-eeprom.bin card-check.txt dsp-eeprom.bin " ] \
  || fail "other files in the results: $(ls "$work/out")"
# No write to either EEPROM; the decoder's switch and restore twice.
[ "$(log_count ' (SET|BAD) dev=A[02] ')" = 0 ] || fail "an EEPROM was written"
[ "$(log_count ' SET dev=10 ')" = 8 ] || fail "decoder writes: $(grep ' SET ' "$card/log.txt")"
[ "$(log_count ' GET dev=A0 ')" = 64 ] || fail "board reads"
[ "$(log_count ' GET dev=A2 ')" = 1024 ] || fail "DSP reads"

# A request that fails in the first DSP read ends the check; the decoder is
# read again and was put back.
rm "$card/log.txt"
echo "fail_transaction=100" >"$card/card.txt"
[ "$(check yes "$work/failed")" = 1 ] || fail "a failed request did not end with 1"
report "$work/failed" >"$work/report.txt"
expect_lines "$work/report.txt" "DSP EEPROM read 1: failed \(.*" \
  "Channel decoder registers put back: yes" "Result: FAILED"
! grep -q "DSP EEPROM read 2" "$work/report.txt" || fail "read on after a failure"
[ ! -e "$work/failed/dsp-eeprom.bin" ] || fail "a failed DSP read was saved"
# Stopped from outside in the middle of a DSP read: Ctrl+C in its console,
# the session's end on its hidden window (StoppedFromOutside.TheCheck*). Wine
# hands console events only to programs on a terminal, so the test program
# runs on one of its own; it names its own card.
xml=$work/stopped.xml
env -u OSTREL_SIMCARD_DIR OSTREL_CARDCHECK="$(winepath -w "$exe")" \
  script -qec "wine '$tests' --gtest_filter=StoppedFromOutside.TheCheck* --gtest_output=xml:'$(winepath -w "$xml")'" \
  /dev/null >"$work/stopped.txt" || true
grep -q '<testsuites tests="2" failures="0" disabled="0" errors="0"' "$xml" && ! grep -q '<skipped' "$xml" \
  || fail "stopped from outside: $(cat "$xml" 2>/dev/null || sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/stopped.txt")"
echo "card check: refused, passed, failed and stopped as expected"
