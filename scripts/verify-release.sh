#!/usr/bin/env bash
# Proves that an operators' archive, ostrel-<version>-win32.zip, was built
# from the commit its README.txt names, by building that commit here:
#  1. checks every file of the archive against its SHA256SUMS;
#  2. clones this repository, checks out the commit and packages it as
#     scripts/package.sh --program-only does, unsigned;
#  3. when the archive's ostrel.exe is signed, copies its signature onto the
#     local build (scripts/copy_signature.py: the certificate table, its
#     header entry and the checksum; nothing else of a program changes when
#     it is signed) and packs the local archive again;
#  4. compares every file, and the archive itself, byte for byte.
# Ends with one line: that the archive was built from that commit, or which
# files differ. Exits non-zero on any difference or failure, saying why.
#
# usage: verify-release.sh ARCHIVE [WORK_FOLDER]
#   WORK_FOLDER keeps the clone and its build for the next proof, which then
#   builds only what changed; without it a temporary folder is used and
#   removed. The commit must be in this clone (git fetch first).
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)

fail() {
  echo "NOT PROVEN: $*"
  exit 1
}
# names_in ZIP: the archive's entries, one a line, in their order.
names_in() {
  python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist(), sep="\n")' "$1"
}
unpack() { python3 -m zipfile -e "$1" "$2"; }

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
fi
[ -f "$1" ] || fail "no such archive: $1"
archive=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
work=$(mkdir -p "${2:-$tmp/work}" && realpath "${2:-$tmp/work}")

# 1. The archive against its own checksums: each listed file matches, and
# each file is listed.
published=$tmp/published
unpack "$archive" "$published" 2>/dev/null || fail "$archive is not a zip archive"
[ -f "$published/SHA256SUMS" ] || fail "the archive has no SHA256SUMS"
(cd "$published" && tr -d '\r' <SHA256SUMS | sha256sum --check --strict --quiet) \
  || fail "the files above do not match SHA256SUMS"
listed=$(tr -d '\r' <"$published/SHA256SUMS" | sed 's/^[0-9a-f]*  //' | sort)
[ "$listed" = "$(names_in "$archive" | grep -vx SHA256SUMS | sort)" ] \
  || fail "SHA256SUMS does not list exactly the archive's files"
echo "SHA256SUMS: every file matches"

# 2. The commit it names, built afresh, unsigned.
commit=$(tr -d '\r' <"$published/README.txt" 2>/dev/null \
  | sed -n 's/^Built from commit \([0-9a-f]\{40\}\(-modified\)\{0,1\}\)$/\1/p' | head -1)
[ -n "$commit" ] || fail "README.txt names no commit"
case $commit in
  *-modified) fail "built from uncommitted changes to ${commit%-modified}: no commit holds its sources" ;;
esac
clone=$work/clone
[ -d "$clone/.git" ] || git clone -q --no-checkout --no-hardlinks "$source" "$clone"
git -C "$clone" cat-file -e "$commit^{commit}" 2>/dev/null \
  || git -C "$clone" fetch -q origin "$commit" 2>/dev/null \
  || fail "commit $commit is not in $source: fetch it first"
git -C "$clone" checkout -q --force --detach "$commit"
git -C "$clone" clean -q -ffdx -e /build/  # a reused build stays; its dist/ goes
echo "building commit $commit in $clone"
(
  cd "$clone"
  unset "${!OSTREL_SIGN_@}" SOURCE_DATE_EPOCH CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
  ./scripts/package.sh --program-only >"$work/package.log" 2>&1
) || { tail -20 "$work/package.log"; fail "commit $commit did not package (above)"; }
built=$(ls "$clone"/dist/ostrel-*-win32.zip 2>/dev/null) || fail "commit $commit made no archive"

# 3. The published signature, if any, on the local program; the local
# archive packed again around it by the commit's own packer.
local=$tmp/local
unpack "$built" "$local"
[ -f "$published/ostrel.exe" ] || fail "the archive has no ostrel.exe"
signature=$(python3 "$source/scripts/copy_signature.py" "$published/ostrel.exe" \
  "$local/ostrel.exe" "$tmp/ostrel.exe") || fail "cannot copy the signature of ostrel.exe"
mv "$tmp/ostrel.exe" "$local/ostrel.exe"
mapfile -t files < <(names_in "$built" | grep -vx SHA256SUMS)
SOURCE_DATE_EPOCH=$(git -C "$clone" log -1 --format=%ct) python3 "$clone/scripts/make_package.py" \
  "$tmp/rebuilt.zip" "${files[@]/#/$local/}" >/dev/null
rebuilt=$tmp/rebuilt
unpack "$tmp/rebuilt.zip" "$rebuilt"

# 4. Byte for byte.
differ=()
while read -r name; do
  if cmp -s "$published/$name" "$rebuilt/$name"; then
    echo "identical: $name"
  else
    echo "DIFFERENT: $name"
    differ+=("$name")
  fi
done < <({ names_in "$archive"; names_in "$tmp/rebuilt.zip"; } | LC_ALL=C sort -u)
if [ ${#differ[@]} -eq 0 ] && ! cmp -s "$archive" "$tmp/rebuilt.zip"; then
  differ+=("the archive's own entries (names, order or times)")
fi
[ ${#differ[@]} -eq 0 ] || fail "$(basename "$archive") differs from a build of commit $commit in: ${differ[*]}"
echo "PROVEN: $(basename "$archive") was built from commit $commit (ostrel.exe $signature)"
