#!/usr/bin/env bash
# Shows that the package is reproducible: builds it twice from the commit
# checked out here (not from uncommitted changes), in two fresh clones in
# different folders, one after the other, under different umasks and time
# zones, and compares ostrel.exe and the two archives of dist/ (the
# operators' and the self-test kit) byte for byte.
#
# Only the program and the kit's programs are built. The compiler launcher (ccache) is kept out: an
# object cached from one folder could hide a build path in the other.
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
    TZ=$3 ./scripts/package.sh >package.log 2>&1 || { cat package.log; exit 1; }
  )
}

first=$work/a
second=$work/second/clone/in/a/deeper/folder
package_in "$first" 022 UTC0
package_in "$second" 077 NPT-5:45

status=0
for clone in "$first" "$second"; do
  archives=$(cd "$clone" && ls dist/*.zip | wc -l)
  [ "$archives" -eq 2 ] || { echo "WRONG: $clone/dist holds $archives archives, not 2"; status=1; }
done
for file in build/package/package-files/ostrel.exe dist/ostrel-*-win32.zip \
            dist/ostrel-*-win32-selftest.zip; do
  # shellcheck disable=SC2086  # the archive's name is matched in each clone
  a=$(cd "$first" && ls $file) b=$(cd "$second" && ls $file)
  if [ "$a" = "$b" ] && cmp -s "$first/$a" "$second/$b"; then
    echo "identical: $a $(sha256sum <"$first/$a" | cut -d' ' -f1)"
  else
    echo "DIFFERENT: $a in $first and $b in $second"
    cmp "$first/$a" "$second/$b" | head -1 || true
    status=1
  fi
done
echo "commit $commit"
exit "$status"
