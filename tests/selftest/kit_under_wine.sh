#!/usr/bin/env bash
# Usage: kit_under_wine.sh KIT.zip [--win64]
# Runs the self-test kit as someone who never built Ostrel would: unpacked
# into a fresh folder, in a fresh Wine prefix, started with `wine cmd /c
# selftest.cmd` from that folder with nothing of the build tree on its path.
# After every run the keys the kit guards, as its runner lists them
# (selftest-runner.exe /keys), each hive and view on its own, the user's
# classes whole and Wine's temporary folder must be as they were before.
#
# In a 32-bit prefix: /quick per machine (Wine's users are administrators),
# with a link planted in the results folder; /quick again as a PC in German
# runs it; runs stopped by the session's end (wineboot --end-session), while
# another program writes keys the kit guards, and by Ctrl+C, while a program
# that a test started holds a file in the run's folder; killed, with a link
# planted in the run's folder, which the next run puts back from the killed
# run's journal (/user, which an administrator's full rights refuse); then
# /card, the read-only check, against the virtual card registered here: to
# its end, stopped with Ctrl+C, and the end-to-end tests'
# StoppedFromOutside.TheKit cases (Ctrl+C at the check's prompt, the
# runner's console closed, the runner killed). With --win64, in a 64-bit
# prefix as on 64-bit Windows: /quick only, with the user's classes in both
# views.
set -euo pipefail

kit_zip=$(realpath "$1")
win64=false
[ "${2:-}" = --win64 ] && win64=true
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
if $win64; then export OSTREL_WINEARCH=win64; fi
# shellcheck source=../../scripts/wine-env.sh
. "$source_dir/scripts/wine-env.sh"
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

"$source_dir/scripts/wine-prefix.sh" "$WINEPREFIX" >/dev/null
# A crash of one of Wine's own programs (seen once on a busy machine, at a
# server's start, before the kit ran a test) starts winedbg, which makes
# HKCU\Software\Wine\WineDbg whenever it gets to run: a key compared here.
# In this prefix a crashed program just ends.
for view in 32 $($win64 && echo 64); do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d 'no-debugger %ld %ld' /f /reg:"$view" >/dev/null 2>&1
done
python3 -m zipfile -e "$kit_zip" "$work/kit"

capture='{65E8773D-8F56-11D0-A3B9-00A0C9223196}'
card='{6F1D2A40-3C5B-4E7A-9B21-7D0C8E5A4F10}'
# Wine's temporary folder, where the kit makes its run folder, as Wine itself
# names it (C:\users\NAME\Temp up to Wine 8, ...\AppData\Local\Temp since).
temp_windows=$(wine cmd /c echo %TEMP% | tr -d '\r')
temp_unix=$(winepath -u "$temp_windows")
[ -d "$temp_unix" ] || { echo "Wine's temporary folder \"$temp_windows\" is not there"; exit 1; }
temp_folder() { echo "$temp_unix"; }
dll_folders() { compgen -G "$WINEPREFIX/drive_c/ProgramData/ostrel-selftest-*" || true; }
# The keys the kit guards, as its runner lists them, one '"KEY" /reg:VIEW' a
# line. Wine rewrites other keys on every start, so these are compared
# rather than the whole registry.
guarded=$(cd "$work/kit" && wine selftest-runner.exe /keys 2>/dev/null | tr -d '\r' \
            | sed -e 's|^\(.*\) (64-bit view)$|"\1" /reg:64|' -e '/ \/reg:64$/!s|^.*$|"&" /reg:32|')
grep -qxF "\"HKLM\\Software\\Classes\\CLSID\\$card\" /reg:32" <<<"$guarded" \
  || { echo "the runner's /keys: $guarded"; exit 1; }
views=32
if $win64; then views="32 64"; fi
state() {
  local key queries="" view
  while read -r key; do
    queries+="echo == $key & reg query $key /s & "
  done <<<"$guarded"
  for view in $views; do
    queries+="echo == HKCU\\Software\\Classes /reg:$view & reg query HKCU\\Software\\Classes /s /reg:$view & "
  done
  # One start of Wine for all of them.
  wine cmd /c "$queries echo == Temp" 2>&1 | tr -d '\r' || true
  ls -A "$(temp_folder)"
  dll_folders
}

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# kit_command NAME COMMAND...: runs COMMAND in the kit's folder as a user
# would, with nothing of the build tree around it, its output in
# $work/NAME.out and its exit code in $status. The operator's answers come
# from $kit_input, $kit_env adds to the environment, and $kit_locale is the
# PC's language.
kit_input=/dev/null
kit_env=()
kit_locale=${LC_ALL:-}
kit_command() {
  local name=$1
  shift
  set +e
  (cd "$work/kit" && env -i HOME="$HOME" USER="${USER:-$(id -un)}" PATH=/usr/bin:/bin \
     DISPLAY="$DISPLAY" LC_CTYPE="${LC_CTYPE:-}" LC_ALL="$kit_locale" WINEPREFIX="$WINEPREFIX" \
     WINEARCH="$WINEARCH" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
     "${kit_env[@]}" "$@" <"$kit_input") 2>/dev/null | tr -d '\r' >"$work/$name.out"
  status=${PIPESTATUS[0]}
  set -e
  echo "$status" >"$work/$name.status"  # for a run in the background
}

# run_kit NAME ARGUMENT...: selftest.cmd ARGUMENT..., to its end (and the
# end of the prefix's server, unless $server_kept).
server_kept=false
run_kit() {
  local name=$1
  shift
  kit_command "$name" wine cmd /c selftest.cmd "$@"
  $server_kept || wineserver -w
  echo "--- selftest.cmd $* (exit code $status)"
  cat "$work/$name.out"
}

# running PROGRAM: whether a program of this kit is running, its arguments
# matching PROGRAM (a pattern).
running() { pgrep -f "$(basename "$work").kit.$1" >/dev/null; }

# start_kit NAME COMMAND...: COMMAND in the background until a group of
# tests runs; $kit_pid waits for it.
start_kit() {
  rm -rf "$work/kit/selftest-xml"
  kit_command "$@" &
  kit_pid=$!
  local _
  for _ in $(seq 600); do
    running '[a-z_]*_tests.exe --gtest_filter' && return 0
    sleep 0.1
  done
  fail "$1: no group of tests started"
}

# start_held_kit NAME COMMAND...: the whole kit in the background until a
# program that a test started holds a file in the run's folder (the case
# StoppedFromOutside.ARunOfTheKit... makes the mark); $kit_pid waits for it.
stop_mark=$work/stop-mark
start_held_kit() {
  rm -f "$stop_mark"
  kit_env=(OSTREL_KIT_STOP_MARK="$(winepath -w "$stop_mark")")
  kit_command "$@" &
  kit_pid=$!
  kit_env=()
  local _
  for _ in $(seq 1200); do
    [ -e "$stop_mark" ] && return 0
    sleep 0.1
  done
  fail "$1: no program of a test held a file"
}

# finish_kit NAME: waits for the run start_kit started, and the prefix's
# server unless kept, and shows what it printed.
finish_kit() {
  wait "$kit_pid" || true
  $server_kept || wineserver -w
  echo "--- $1 (exit code $(cat "$work/$1.status"))"
  sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/$1.out"
}

last_line() { grep -v '^$' "$work/$1.out" | tail -1; }
results=$work/kit/selftest-results.txt
expect_results() {
  local line
  for line in "$@"; do
    grep -qF -- "$line" "$results" || fail "the results have no line \"$line\""
  done
}

# check_left_as_before NAME: the keys and the temporary folder as before.
check_left_as_before() {
  state >"$work/after-$1.txt"
  diff -u "$work/before.txt" "$work/after-$1.txt" || fail "$1 left the registry or Temp changed"
}

state >"$work/before.txt"

# A directory link in the results folder, which each run removes: what it
# points to is left alone.
mkdir -p "$work/kit/selftest-xml" "$work/linked"
echo "not the kit's" >"$work/linked/keep.txt"
ln -s "$work/linked" "$work/kit/selftest-xml/link"
run_kit quick /quick
[ "$status" -eq 0 ] || fail "/quick ended with $status"
[[ "$(last_line quick)" =~ ^([1-9][0-9]*)\ passed,\ 0\ failed$ ]] || fail "/quick's last line"
[ -f "$results" ] || fail "no selftest-results.txt"
if $win64; then bits=64-bit; else bits=32-bit; fi
expect_results "Windows: 6.1 build 7601 Service Pack 1" "Wine: " "Windows bits: $bits" \
  "Screen DPI: " "User: administrator" \
  "Virtual card registered for the whole machine (HKLM\\Software\\Classes), /quick" \
  "Windows' device enumerator lists the virtual card." \
  "PASS  device_wine_tests I2CRecord: " "$(last_line quick)"
temp_pattern=$(sed 's/[][\\.*^$+?(){}|]/\\&/g' <<<"$temp_windows")
grep -Eq "^Run folder: $temp_pattern\\\\ostrel-selftest-[0-9A-F]{8} \(only this user can open it\)" \
  <(tr -d '\r' <"$results") || fail "the run folder is not said to be the user's own"
[ -n "$(ls "$work/kit/selftest-xml/"*.xml 2>/dev/null)" ] || fail "no XML results beside the kit"
[ "$(cat "$work/linked/keep.txt" 2>/dev/null)" = "not the kit's" ] \
  || fail "removing the results folder followed a link in it"
check_left_as_before quick

if $win64; then
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "the kit ran in a 64-bit prefix and left everything as it found it"
  exit 0
fi

# As a PC in German runs it, where Windows titles its file dialogs in German.
kit_locale=de_DE.UTF-8
run_kit quick-de /quick
kit_locale=${LC_ALL:-}
[ "$status" -eq 0 ] || fail "/quick in German ended with $status"
[[ "$(last_line quick-de)" =~ ^([1-9][0-9]*)\ passed,\ 0\ failed$ ]] || fail "/quick's last line in German"
LC_ALL=de_DE.UTF-8 wine reg query 'HKCU\Control Panel\International' /v LocaleName 2>/dev/null \
  | grep -q 'de-DE' || fail "Wine did not run in German"
check_left_as_before quick-de

# The session ends mid-run: Wine sends WM_QUERYENDSESSION and WM_ENDSESSION,
# then ends the kit; everything must be back before it is ended, the
# programs of the stopped test ended first. Meanwhile the card is served
# from a copy of its DLL in a folder of the machine's, and another program
# writes below two keys the kit guards: what it wrote stays, and is said.
back_as_before="The registry and the temporary folder are as before the run."
start_held_kit session-end wine cmd /c selftest.cmd
served=$(wine reg query "HKLM\\Software\\Classes\\CLSID\\$card\\InprocServer32" /ve /reg:32 2>/dev/null \
           | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[[ "$served" =~ ^C:\\ProgramData\\ostrel-selftest-[0-9A-F]{8}\\simcard_com.dll$ ]] \
  && [ -f "$(winepath -u "$served")" ] || fail "the card's DLL is served from \"$served\""
others_value='HKCU\Software\Microsoft\ActiveMovie\devenum'
others_key="HKCU\\Software\\Classes\\CLSID\\$capture\\Another's"
# The keys above them that the other program makes, to take away afterwards.
others_made=()
for key in 'HKCU\Software\Microsoft\ActiveMovie' 'HKCU\Software\Classes'; do
  wine reg query "$key" >/dev/null 2>&1 || others_made+=("$key")
done
wine reg add "$others_value" /v "Another's" /d 1 /f >/dev/null 2>&1
wine reg add "$others_key" /f >/dev/null 2>&1
wine wineboot --end-session
finish_kit session-end
grep -qx "Interrupted: the session is ending." "$work/session-end.out" \
  || fail "the session's end was not heard: $(cat "$work/session-end.out")"
expect_results "Interrupted: the session is ending." \
  "HKCU\\Software\\Classes\\CLSID\\$capture: changed by another program during the run: left as it is" \
  "$others_value: changed during the run, by Windows' device enumerator or another program: left as it is" \
  "Everything the kit changed is put back; what others changed meanwhile is left as they left it."
[ -z "$(dll_folders)" ] || fail "the card's DLL folder is left: $(dll_folders)"
wine reg query "$others_value" /v "Another's" >/dev/null 2>&1 || fail "another's value is gone"
wine reg query "$others_key" >/dev/null 2>&1 || fail "another's key is gone"
wine reg delete "$others_value" /v "Another's" /f >/dev/null 2>&1
wine reg delete "$others_key" /f >/dev/null 2>&1
for key in "${others_made[@]}"; do wine reg delete "$key" /f >/dev/null 2>&1; done
check_left_as_before session-end

# Ctrl+C mid-run, on a terminal, where Wine turns it into the console's
# event (Wine's cmd ends on it, as Windows' does not: the runner is started
# as the console's program).
mkfifo "$work/keys"
exec 3<>"$work/keys"
kit_input=$work/keys
start_held_kit ctrl-c script -qfc "wine selftest-runner.exe" /dev/null
kit_input=/dev/null
printf '\003' >&3
finish_kit ctrl-c
exec 3>&-
for line in "Interrupted: the remaining groups did not run." "$back_as_before"; do
  grep -qF "$line" "$work/ctrl-c.out" || fail "Ctrl+C: no line \"$line\": $(cat "$work/ctrl-c.out")"
done
check_left_as_before ctrl-c

# Killed mid-run (TerminateProcess) with a link planted in its folder. The
# session's server is kept, as a log-off would not have come in between:
# the card's keys stay, volatile (no stable key can be made below them) and
# marked; the next run says so first, puts back what the killed run's
# journal holds, removes its folders, and leaves alone what the link points
# to.
wineserver -p
server_kept=true
# Where the user has a WineDbg key of their own, the kit leaves it be: a
# killed run could not put it back.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 1 /f >/dev/null 2>&1
state >"$work/before.txt"
start_kit killed wine cmd /c selftest.cmd /quick
killed_folder=$(compgen -G "$(temp_folder)/ostrel-selftest-*" | head -1)
mkdir "$work/outside"
echo "not the kit's" >"$work/outside/keep.txt"
ln -s "$work/outside" "$killed_folder/link"
wine taskkill /f /im selftest-runner.exe >/dev/null
finish_kit killed
card_key="HKLM\\Software\\Classes\\CLSID\\$card"
wine reg query "$card_key" /v "Ostrel self-test run" /reg:32 >/dev/null 2>&1 \
  || fail "the killed run's keys carry no mark"
! wine reg add "$card_key\\probe" /f /reg:32 >/dev/null 2>&1 \
  || fail "the killed run's keys are not volatile"
run_kit user /user
killed_dll_folder=$(dll_folders)
earlier="An earlier run of the kit ended before it put everything back; what it left is put back first:"
[ "$(head -1 "$work/user.out")" = "$earlier" ] \
  || fail "the next run does not begin with the earlier run's: $(cat "$work/user.out")"
for line in "Put back $card_key" " its folder $(winepath -w "$killed_folder")" \
  "Removed its folder C:\\ProgramData\\ostrel-selftest-"; do
  grep -qF "$line" "$work/user.out" || fail "the next run does not say \"$line\""
done
[ -z "$killed_dll_folder" ] || fail "the killed run's DLL folder is left: $killed_dll_folder"
[ "$(readlink "$killed_folder/link" 2>/dev/null || echo "$work/outside")" = "$work/outside" ] \
  && [ "$(cat "$work/outside/keep.txt")" = "not the kit's" ] \
  || fail "removing the killed run's folder followed the link"
rm -rf "$killed_folder"
server_kept=false
wineserver -k
wineserver -w
# ... and /user itself: under Wine the kit has an administrator's full
# rights, where COM ignores the user's classes; it registers nothing.
[ "$status" -eq 1 ] || fail "/user ended with $status"
refused="selftest.cmd /user does not run with an administrator's full rights (an elevated command prompt, or User Account Control switched off): Windows then ignores classes registered for the user alone, so no test could reach the virtual card. Nothing was registered. Use selftest.cmd /machine instead."
[ "$(last_line user)" = "$refused" ] || fail "/user's last line: $(last_line user)"
tr -d '\r' <"$results" | grep -qxF "$refused" || fail "/user's results do not say so"
check_left_as_before killed-then-user
wine reg delete 'HKCU\Software\Wine\WineDbg' /f >/dev/null 2>&1

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
expect_results "Mode: /card, the read-only check of the card" "Card: the VIRTUAL card " \
  "Result: every check passed"
cmp -s "$work/kit/board-eeprom.bin" "$card/board.bin" || fail "/card's board-eeprom.bin"
cmp -s "$work/kit/dsp-eeprom.bin" "$card/dsp.bin" || fail "/card's dsp-eeprom.bin"
! grep -Eq ' (SET|BAD) dev=A[02] ' "$card/log.txt" || fail "/card wrote to an EEPROM"
# ... and stopped with Ctrl+C in the middle of a DSP read: the kit leaves it
# to the check, which puts the card back and says so, waits for it, keeps
# its report and ends with its code (3). The runner is the terminal's
# program, as for Ctrl+C above.
rm "$card/log.txt"
exec 3<>"$work/keys"
kit_input=$work/keys kit_env=(OSTREL_SIMCARD_DIR="$(winepath -w "$card")")
# Enter comes as a terminal sends it, not turned into a line feed: typed
# once the check runs, long after stty.
kit_command card-stopped script -qefc "stty -icrnl; exec wine selftest-runner.exe /card" /dev/null &
kit_pid=$!
for _ in $(seq 600); do
  running 'cardcheck.exe' && break
  sleep 0.1
done
printf 'yes\r' >&3
for _ in $(seq 600); do
  grep -q ' GET dev=A2 ' "$card/log.txt" 2>/dev/null && break
  sleep 0.1
done
printf '\003' >&3
finish_kit card-stopped
exec 3>&-
kit_input=/dev/null kit_env=()
status=$(cat "$work/card-stopped.status")
[ "$status" -eq 3 ] || fail "/card stopped ended with $status: $(cat "$work/card-stopped.out")"
expect_results "Interrupted: the check was stopped before its end; the channel decoder was put back."
[ "$(grep -c ' SET dev=10 sub=07 ' "$card/log.txt")" = 2 ] || fail "/card stopped: no restore"
# ... and the runner stopped every other way while the check waits or reads,
# by the end-to-end tests, started from the kit as the runner is, on a
# terminal of their own; each names its own card.
xml=$work/kit-stopped.xml
kit_env=(OSTREL_KIT_RUNNER="$(winepath -w "$work/kit/selftest-runner.exe")")
kit_command kit-stopped script -qec "wine command_wine_tests.exe \
  --gtest_filter='StoppedFromOutside.TheKit*' --gtest_output=xml:'$(winepath -w "$xml")'" /dev/null
kit_env=()
grep -q '<testsuites tests="3" failures="0" disabled="0" errors="0"' "$xml" && ! grep -q '<skipped' "$xml" \
  || fail "the runner stopped: $(cat "$xml" 2>/dev/null || cat "$work/kit-stopped.out")"
wine regsvr32 /u /s "$(winepath -w "$work/kit/simcard_com.dll")"
wineserver -w

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the kit ran and left everything as it found it"
