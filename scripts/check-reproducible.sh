#!/usr/bin/env bash
# Shows that the package is reproducible: builds it from the commit checked
# out here (not from uncommitted changes) in a fresh clone, and compares the
# two archives of dist/ (the operators' and the self-test kit), with the
# program in them, byte for byte with those of another build of that commit
# in another folder, under another umask and time zone.
#
# usage: check-reproducible.sh [DIST]
#   DIST holds both archives of another build of the commit, unsigned (the
#   release tests make one anyway: tests/release): then only one build is
#   made here. Without DIST, the commit is built twice, one build after the
#   other.
#
# Only the program and the kit's programs are built. The compiler launcher
# (ccache) is kept out: an object cached from one folder could hide a build
# path in the other.
set -euo pipefail
cd "$(dirname "$0")/.."
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER

commit=$(git rev-parse HEAD 2>/dev/null) || { echo "not a git checkout: nothing to compare"; exit 77; }
source=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# package_in FOLDER UMASK TZ: clones the commit into FOLDER and packages it.
package_in() {
  (
    umask "$2"
    git clone -q --no-hardlinks "$source" "$1"
    git -C "$1" checkout -q --detach "$commit"
    cd "$1"
    TZ=$3 ./scripts/package.sh --unsigned >package.log 2>&1 || { cat package.log; exit 1; }
  )
}

if [ $# -eq 1 ]; then
  first=$(realpath "$1")
else
  package_in "$work/a" 022 UTC0
  first=$work/a/dist
fi
second=$work/second/clone/in/a/deeper/folder
package_in "$second" 077 NPT-5:45
second=$second/dist

status=0
for folder in "$first" "$second"; do
  archives=$(ls "$folder"/ostrel-*-win32*.zip | wc -l)
  [ "$archives" -eq 2 ] || { echo "WRONG: $folder holds $archives archives, not 2"; status=1; }
done
for archive in "$second"/ostrel-*-win32*.zip; do
  name=$(basename "$archive")
  if cmp -s "$first/$name" "$archive"; then
    echo "identical: $name $(sha256sum <"$archive" | cut -d' ' -f1)"
  else
    echo "DIFFERENT: $name in $first and $second"
    cmp "$first/$name" "$archive" | head -1 || true
    python3 - "$first/$name" "$archive" <<'EOF' || true
import sys, zipfile
a, b = (zipfile.ZipFile(f) for f in sys.argv[1:])
for name in sorted(set(a.namelist()) | set(b.namelist())):
    same = name in a.namelist() and name in b.namelist() and a.read(name) == b.read(name)
    print("  identical:" if same else "  DIFFERENT:", name)
EOF
    status=1
  fi
done
echo "commit $commit"
exit "$status"
