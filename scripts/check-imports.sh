#!/usr/bin/env bash
# Usage: check-imports.sh OBJDUMP FILE
# Fails when FILE (a program or DLL) imports a DLL that Windows could load
# from its own folder: anything but the known DLLs (KnownDLLs of Windows 7
# SP1 and later) and comctl32, which the manifest binds to the side-by-side
# store. A program must carry that manifest, Ostrel's: it also keeps
# Windows from virtualising its files and registry (asInvoker) and says
# that it knows of DPI.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 OBJDUMP FILE" >&2; exit 2; }

allowed=" advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi"
allowed+=" ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32"
allowed+=" comctl32 "

imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//')
[ -n "$imports" ] || { echo "$0: no imports found in $2" >&2; exit 1; }
status=0
for dll in $imports; do
  if [[ "$allowed" == *" $dll "* ]]; then
    echo "imports $dll.dll"
  else
    echo "imports $dll.dll: NOT a known DLL, a copy beside the program would be loaded" >&2
    status=1
  fi
done
if [[ "$2" == *.exe ]]; then
  # The manifest resource as the resource compiler of the same toolchain
  # reads it back (the program's code may hold the same words as text).
  manifest=$("${1%objdump}windres" -J coff -O rc -i "$2" 2>/dev/null \
               | sed -n '/ 24 \/\* RT_MANIFEST \*\//,/^END/p' | sed 's/""/"/g' || true)
  for part in 'name="Microsoft.Windows.Common-Controls"' 'level="asInvoker"' \
              '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>'; do
    if grep -qF "$part" <<<"$manifest"; then
      echo "manifest: $part"
    else
      echo "manifest: NO $part" >&2
      status=1
    fi
  done
fi
exit "$status"
