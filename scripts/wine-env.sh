# Sourced by every script that starts Wine: the settings all of Ostrel's Wine
# runs share.
#
# Wine maps file names through the Unix locale's character set, so under a
# locale that is not UTF-8 (LANG unset, as on a fresh machine) a folder like
# "Prüfstand" can be neither made nor opened. The effective character set
# (LC_ALL, else LC_CTYPE, else LANG) is asked of the C library itself, so a
# UTF-8 locale already chosen (and installed) is kept; anything else gets
# C.UTF-8, which every Debian and Ubuntu has.

export WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

if [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
  if [ -n "${LC_ALL:-}" ]; then
    export LC_ALL=C.UTF-8
  else
    export LC_CTYPE=C.UTF-8
  fi
fi

# Without a display, starts a virtual screen for as long as the calling
# script runs; its Wine server and the screen end with it.
use_virtual_screen_without_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  local display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  ostrel_xvfb_pid=$!
  trap 'wineserver -k 2>/dev/null || true; kill "$ostrel_xvfb_pid" 2>/dev/null || true' EXIT
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}
