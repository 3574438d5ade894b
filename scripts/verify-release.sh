#!/usr/bin/env bash
# Proves that an operators' archive, ostrel-<version>-win32.zip, was built
# from the commit its README.txt names, by building that commit here:
#  1. opens the archive as anyone's (scripts/check_published.py): plain files
#     only, within 64 MiB, each matching its SHA256SUMS, the version of its
#     name in its README.txt;
#  2. accepts only a published commit: one on main, or the commit of the tag
#     v<version>;
#  3. when ostrel.exe is signed, checks its signature: the one plain entry,
#     valid over the program, made with a certificate that
#     release/publishers.txt of this checkout names (OSTREL_PUBLISHERS_FILE
#     names another file, for tests);
#  4. clones this repository afresh, keeping of WORK_FOLDER only its build
#     tree, checks out the commit and packages it as
#     scripts/package.sh --program-only does, unsigned;
#  5. copies the published signature, if any, onto the local build
#     (scripts/copy_signature.py: the certificate table, its header entry and
#     the checksum; nothing else of a program changes when it is signed) and
#     packs the local archive again;
#  6. compares every file, and the archive itself, byte for byte.
# Ends with one line: "PROVEN: ...", naming the commit, where it was
# published and who signed, or "NOT PROVEN: " and why. Exits 0 only for
# PROVEN.
#
# usage: verify-release.sh ARCHIVE [WORK_FOLDER]
#   WORK_FOLDER keeps the build for the next proof, which then builds only
#   what changed; without it a temporary folder is used and removed. The
#   commit must be in this clone (git fetch first).
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

# 1. The archive, opened as anyone's: nothing of it is read before this.
published=$tmp/published
facts=$(python3 "$source/scripts/check_published.py" archive "$archive" "$published") \
  || fail "${facts:-the archive cannot be checked (above)}"
read -r version commit <<<"$facts"
archive_name=$(basename "$archive")  # checked: ostrel-<version>-win32.zip
echo "SHA256SUMS: every file matches"

# 2. A published commit: on main (this clone's, or its origin's), or tagged
# with the archive's version.
git -C "$source" cat-file -e "$commit^{commit}" 2>/dev/null \
  || fail "commit $commit is not in $source: fetch it first"
where=()
for main in refs/heads/main refs/remotes/origin/main; do
  if git -C "$source" rev-parse -q --verify "$main" >/dev/null \
    && git -C "$source" merge-base --is-ancestor "$commit" "$main"; then
    where+=("on main")
    break
  fi
done
if [ "$(git -C "$source" rev-parse -q --verify "refs/tags/v$version^{commit}")" = "$commit" ]; then
  where+=("tag v$version")
fi
[ ${#where[@]} -gt 0 ] || fail "commit $commit is neither on main nor the commit of tag v$version"
printf -v published_as '%s, ' "${where[@]}"
published_as=${published_as%, }
echo "commit $commit: $published_as"

# 3. The signature, checked before anything is built for it.
publishers=${OSTREL_PUBLISHERS_FILE:-$source/release/publishers.txt}
echo "publishers: $publishers"
signature=$(python3 "$source/scripts/check_published.py" signature "$published/ostrel.exe" \
  "$publishers") || fail "ostrel.exe: ${signature:-its signature cannot be checked (above)}"

# 4. The commit built afresh, unsigned, in a clone whose .git is new: hooks,
# filters or attributes left in an earlier one could change what is checked
# out. Of the old clone only the build tree is used again, and the files that
# already hold the commit's bytes, so that it builds only what changed.
clone=$work/clone
mkdir -p "$clone"
[ ! -L "$clone/build" ] || rm -f "$clone/build"
rm -rf "$clone/.git"
git clone -q --no-checkout --no-hardlinks "$source" "$tmp/fresh"
mv "$tmp/fresh/.git" "$clone/.git"
git -C "$clone" update-ref --no-deref HEAD "$commit"
git -C "$clone" reset -q  # the commit's index, so that clean knows what is not the commit's
git -C "$clone" clean -q -ffdx -e /build/
# Compared again now that no attributes file of an earlier proof is left.
rm "$clone/.git/index"
git -C "$clone" reset -q
git -C "$clone" checkout -q --force -- .
echo "building commit $commit in $clone"
(
  cd "$clone"
  unset "${!OSTREL_SIGN@}" SOURCE_DATE_EPOCH CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
  ./scripts/package.sh --program-only >"$work/package.log" 2>&1
) || { tail -20 "$work/package.log"; fail "commit $commit did not package (above)"; }
built=$(ls "$clone"/dist/ostrel-*-win32.zip 2>/dev/null) || fail "commit $commit made no archive"
[ "$(basename "$built")" = "$archive_name" ] || fail "commit $commit builds $(basename "$built"), not $archive_name"

# 5. The published signature, if any, on the local program; the local
# archive packed again around it by the commit's own packer.
local=$tmp/local
unpack "$built" "$local"
python3 "$source/scripts/copy_signature.py" "$published/ostrel.exe" "$local/ostrel.exe" \
  "$tmp/ostrel.exe" >/dev/null || fail "cannot copy the signature of ostrel.exe"
mv "$tmp/ostrel.exe" "$local/ostrel.exe"
mapfile -t files < <(names_in "$built" | grep -vx SHA256SUMS)
SOURCE_DATE_EPOCH=$(git -C "$clone" log -1 --format=%ct) python3 "$clone/scripts/make_package.py" \
  "$tmp/rebuilt.zip" "${files[@]/#/$local/}" >/dev/null
rebuilt=$tmp/rebuilt
unpack "$tmp/rebuilt.zip" "$rebuilt"

# 6. Byte for byte.
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
[ ${#differ[@]} -eq 0 ] || fail "$archive_name differs from a build of commit $commit in: ${differ[*]}"
echo "PROVEN: $archive_name was built from commit $commit ($published_as); ostrel.exe $signature"
