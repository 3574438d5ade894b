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
