#!/usr/bin/env bash
# Usage: kit_under_wine.sh KIT.zip
# Runs the self-test kit as someone who never built Ostrel would: unpacked
# into a fresh folder, in a fresh Wine prefix, started with `wine cmd /c
# selftest.cmd` from that folder with nothing of the build tree on its path.
# Runs it with /quick (per machine, as Wine's users are administrators) and
# with /user (which Wine's device enumerator does not see), and checks the
# exit codes, the last lines, the results file, and that the registry keys
# the kit touches and Wine's temporary folder are as they were before. Then
# /card, the read-only check, against the virtual card registered here.
set -euo pipefail

kit_zip=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
# shellcheck source=../../scripts/wine-env.sh
. "$source_dir/scripts/wine-env.sh"
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

"$source_dir/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null
python3 -m zipfile -e "$kit_zip" "$work/kit"

capture='{65E8773D-8F56-11D0-A3B9-00A0C9223196}'
card='{6F1D2A40-3C5B-4E7A-9B21-7D0C8E5A4F10}'
# What the kit must leave as it found it. Wine rewrites other keys on every
# start, so these are compared rather than the whole registry.
state() {
  local key
  for key in "HKCR\\CLSID\\$capture\\Instance" "HKCR\\CLSID\\$card" \
             'HKCU\Software\Classes\CLSID' 'HKCU\Software\Wine\WineDbg'; do
    echo "== $key"
    wine reg query "$key" /s 2>&1 | tr -d '\r' || true
  done
  echo "== Temp"
  ls -A "$WINEPREFIX"/drive_c/users/*/Temp
}

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# run_kit NAME ARGUMENT...: runs selftest.cmd as a user would, its output
# in $work/NAME.out and its exit code in $status. The operator's answers come
# from $kit_input, and $kit_env adds to the environment.
kit_input=/dev/null
kit_env=()
run_kit() {
  local name=$1
  shift
  set +e
  (cd "$work/kit" && env -i HOME="$HOME" USER="${USER:-$(id -un)}" PATH=/usr/bin:/bin \
     DISPLAY="$DISPLAY" LC_CTYPE="${LC_CTYPE:-}" LC_ALL="${LC_ALL:-}" WINEPREFIX="$WINEPREFIX" \
     WINEARCH="$WINEARCH" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
     "${kit_env[@]}" wine cmd /c selftest.cmd "$@" <"$kit_input") 2>/dev/null \
    | tr -d '\r' >"$work/$name.out"
  status=${PIPESTATUS[0]}
  set -e
  wineserver -w
  echo "--- selftest.cmd $* (exit code $status)"
  cat "$work/$name.out"
}

last_line() { grep -v '^$' "$work/$1.out" | tail -1; }

# check_left_as_before NAME: the keys and the temporary folder as before.
check_left_as_before() {
  state >"$work/after-$1.txt"
  diff -u "$work/before.txt" "$work/after-$1.txt" || fail "$1 left the registry or Temp changed"
}

state >"$work/before.txt"

run_kit quick /quick
[ "$status" -eq 0 ] || fail "/quick ended with $status"
[[ "$(last_line quick)" =~ ^([1-9][0-9]*)\ passed,\ 0\ failed$ ]] || fail "/quick's last line"
results=$work/kit/selftest-results.txt
[ -f "$results" ] || fail "no selftest-results.txt"
for line in "Windows: 6.1 build 7601 Service Pack 1" "Wine: " "Windows bits: 32-bit" \
            "Screen DPI: " "User: administrator" \
            "Virtual card registered for the whole machine (HKCR), /quick" \
            "Windows' device enumerator lists the virtual card." \
            "PASS  device_wine_tests I2CRecord: " "$(last_line quick)"; do
  grep -qF "$line" "$results" || fail "the results have no line \"$line\""
done
[ -n "$(ls "$work/kit/selftest-xml/"*.xml 2>/dev/null)" ] || fail "no XML results beside the kit"
check_left_as_before quick

run_kit user /user
[ "$status" -ne 0 ] || fail "/user ended with 0 though Wine does not list the card"
not_listed="the virtual card was registered for this user but Windows' device enumerator does not list it; try \`selftest.cmd /machine\` from an administrator's command prompt"
[ "$(last_line user)" = "$not_listed" ] || fail "/user's last line"
tr -d '\r' <"$results" | grep -qxF "$not_listed" || fail "/user's results do not say so"
check_left_as_before user

# /card against the virtual card, registered here as a real card's driver
# would be: the operator's "yes", the kit's results and the EEPROM files
# beside it are the card's contents, and no EEPROM was written.
card=$work/card
mkdir "$card"
head -c 256 /dev/urandom >"$card/board.bin"
head -c 32768 /dev/urandom >"$card/dsp.bin"
"$source_dir/scripts/wine-prefix.sh" "$WINEPREFIX" "$work/kit/simcard_com.dll" >/dev/null
echo yes >"$work/yes.txt"
kit_input=$work/yes.txt kit_env=(OSTREL_SIMCARD_DIR="$(winepath -w "$card")")
run_kit card /card
kit_input=/dev/null kit_env=()
[ "$status" -eq 0 ] || fail "/card ended with $status"
grep -q '^Card: the VIRTUAL card ' "$work/card.out" || fail "/card does not say the card is virtual"
for line in "Mode: /card, the read-only check of the card" "Card: the VIRTUAL card " \
            "Result: every check passed"; do
  grep -qF "$line" "$results" || fail "the /card results have no line \"$line\""
done
cmp -s "$work/kit/board-eeprom.bin" "$card/board.bin" || fail "/card's board-eeprom.bin"
cmp -s "$work/kit/dsp-eeprom.bin" "$card/dsp.bin" || fail "/card's dsp-eeprom.bin"
! grep -Eq ' (SET|BAD) dev=A[02] ' "$card/log.txt" || fail "/card wrote to an EEPROM"
wine regsvr32 /u /s "$(winepath -w "$work/kit/simcard_com.dll")"
wineserver -w

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the kit ran and left everything as it found it"
