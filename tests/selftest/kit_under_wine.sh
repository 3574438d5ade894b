#!/usr/bin/env bash
# Usage: kit_under_wine.sh KIT.zip
# Runs the self-test kit as someone who never built Ostrel would: unpacked
# into a fresh folder, in a fresh Wine prefix, started with `wine cmd /c
# selftest.cmd` from that folder with nothing of the build tree on its path.
# Runs it with /quick (per machine, as Wine's users are administrators) and
# with /user (which Wine's device enumerator does not see), and checks the
# exit codes, the last lines, the results file, and that the registry keys
# the kit touches and Wine's temporary folder are as they were before.
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
# in $work/NAME.out and its exit code in $status.
run_kit() {
  local name=$1
  shift
  set +e
  (cd "$work/kit" && env -i HOME="$HOME" USER="${USER:-$(id -un)}" PATH=/usr/bin:/bin \
     DISPLAY="$DISPLAY" LC_CTYPE="${LC_CTYPE:-}" LC_ALL="${LC_ALL:-}" WINEPREFIX="$WINEPREFIX" \
     WINEARCH="$WINEARCH" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
     wine cmd /c selftest.cmd "$@" </dev/null) 2>/dev/null | tr -d '\r' >"$work/$name.out"
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

# The /card run against the virtual card goes here: register the card in
# the prefix (wine-prefix.sh with the kit's simcard_com.dll), run
# `selftest.cmd /card`, answer "yes", check its exit code, card-check.txt in
# the results and the two EEPROM files beside the kit, then unregister.

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the kit ran and left everything as it found it"
