# Sourced by every script that starts Wine: the settings all of Ostrel's Wine
# runs share.
#
# Wine maps file names through the Unix locale's character set, so under a
# locale that is not UTF-8 (LANG unset, as on a fresh machine) a folder like
# "Prüfstand" can be neither made nor opened. The effective character set
# (LC_ALL, else LC_CTYPE, else LANG) is asked of the C library itself, so a
# UTF-8 locale already chosen (and installed) is kept; anything else gets
# C.UTF-8, which every Debian and Ubuntu has.

# 32-bit prefixes, but where OSTREL_WINEARCH=win64 asks for a 64-bit one (the
# self-test kit is tried as on 64-bit Windows too; wine64 must be installed).
export WINEARCH=${OSTREL_WINEARCH:-win32} WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

if [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
  if [ -n "${LC_ALL:-}" ]; then
    export LC_ALL=C.UTF-8
  else
    export LC_CTYPE=C.UTF-8
  fi
fi

# use_virtual_screen_without_display PREFIX: without a display, starts a
# virtual screen for as long as the calling script runs; the Wine server of
# PREFIX (the prefix the script's Wine programs use) and the screen end with
# it. Fails when the screen does not come up.
use_virtual_screen_without_display() {
  ostrel_screen_prefix=$(realpath -m "$1")
  [ -z "${DISPLAY:-}" ] || return 0
  # Xvfb picks a free screen number itself and writes it once it accepts
  # clients, so that a screen of another script is never taken for ours.
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  ostrel_xvfb_pid=$!
  trap 'WINEPREFIX="$ostrel_screen_prefix" wineserver -k 2>/dev/null || true
        kill "$ostrel_xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    [ -s "$number_file" ] || ! kill -0 "$ostrel_xvfb_pid" 2>/dev/null && break
    sleep 0.1
  done
  local number
  number=$(tr -d '\n' <"$number_file")
  rm -f "$number_file"
  if [ -z "$number" ] || ! DISPLAY=:$number xdpyinfo >/dev/null 2>&1; then
    echo "the virtual screen (Xvfb) did not come up" >&2
    return 1
  fi
  export DISPLAY=:$number
}
