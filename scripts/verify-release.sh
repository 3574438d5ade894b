#!/usr/bin/env bash
# Proves that an operators' archive, ostrel-<version>-win32.zip, holds what
# its commit builds, by building that commit here:
#  0. takes WORK_FOLDER only as this user's own (scripts/work_folder.py):
#     made owner-only, or already this user's and writable by no one else,
#     with no link where the proof writes; refused before anything is done;
#  1. reads the archive once, into a private copy that every later step
#     reads, and opens it as anyone's (scripts/check_published.py): plain
#     files only, stored or deflated, within 64 MiB, each matching its
#     SHA256SUMS, the version of its name in its README.txt;
#  2. accepts only the released commit: when tag v<version> exists, that
#     tag's commit alone (a release); otherwise a commit of main's
#     first-parent line (a development build of main). Any other commit is
#     refused before anything of it is built or run;
#  3. when ostrel.exe is signed, checks its signature: the one entry, valid
#     over the program, in the very layout the signing step writes, of a
#     certificate that the publishers file names (release/publishers.txt of
#     this checkout, or the --publishers FILE that tests give), carrying only
#     the certificates it names for that publisher's chain. Unsigned is
#     refused once that file names a publisher: the publisher signs releases;
#  4. clones this repository afresh into WORK_FOLDER, checks out the commit
#     and packages it as scripts/package.sh --program-only --unsigned does.
#     Of an earlier proof only the build tree is used again, and only when it
#     is, file for file, the one whose stamp that proof kept beside it;
#  5. copies the published signature, if any, onto the local build
#     (scripts/copy_signature.py: the certificate table, its header entry and
#     the checksum; nothing else of a program changes when it is signed) and
#     packs the local archive again;
#  6. compares every file, and the archive itself, byte for byte.
# Ends with one line: "PROVEN: ...", naming the archive's SHA-256, the
# commit, whether it is a release or a development build of main, and who
# signed; or "NOT PROVEN: " and why. Exits 0 only for PROVEN.
#
# usage: verify-release.sh [--publishers FILE] ARCHIVE [WORK_FOLDER]
#   WORK_FOLDER keeps the build for the next proof, which then builds only
#   what changed; without it a temporary folder is used and removed. The
#   commit must be in this clone (git fetch first).
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)

fail() {
  echo "NOT PROVEN: $*"
  exit 1
}
usage() {
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
}
# names_in ZIP: the archive's entries, one a line, in their order.
names_in() {
  python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist(), sep="\n")' "$1"
}
unpack() { python3 -m zipfile -e "$1" "$2"; }

publishers=$source/release/publishers.txt named_by=
if [ "${1:-}" = --publishers ]; then
  [ $# -ge 2 ] || usage
  publishers=$2 named_by=" in $2 (--publishers)"
  shift 2
fi
[ $# -ge 1 ] && [ $# -le 2 ] || usage
[ -z "${OSTREL_PUBLISHERS_FILE+set}" ] \
  || echo "note: OSTREL_PUBLISHERS_FILE is not read any more; --publishers FILE names another file" >&2
[ -f "$1" ] || fail "no such archive: $1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 0. The work folder, the proof's own before anything is written there.
work=$(python3 "$source/scripts/work_folder.py" check "${2:-$tmp/work}") \
  || fail "${work:-the work folder cannot be used (above)}"

# 1. The archive, read once and opened as anyone's: nothing of it is read
# before this, and only the copy made here afterwards.
archive_name=$(basename "$1")  # checked: ostrel-<version>-win32.zip
copy=$tmp/published.zip published=$tmp/published
facts=$(python3 "$source/scripts/check_published.py" archive "$1" "$copy" "$published") \
  || fail "${facts:-the archive cannot be checked (above)}"
read -r version commit archive_sha256 <<<"$facts"
echo "SHA256SUMS: every file matches"

# 2. The released commit, or one of main's own line: never a commit that
# reached main only through a merge, nor an older one of a released version.
git -C "$source" cat-file -e "$commit^{commit}" 2>/dev/null \
  || fail "commit $commit is not in $source: fetch it first"
tagged=$(git -C "$source" rev-parse -q --verify "refs/tags/v$version^{commit}") || tagged=
if [ -n "$tagged" ]; then
  [ "$commit" = "$tagged" ] \
    || fail "tag v$version releases commit $tagged, not $commit: nothing of $commit is built"
  published_as="is release v$version, built from commit $commit"
else
  for main in refs/heads/main refs/remotes/origin/main; do
    git -C "$source" rev-list --first-parent "$main" -- 2>/dev/null >>"$tmp/main-line" || true
  done
  grep -qx "$commit" "$tmp/main-line" || fail "commit $commit is not on main's first-parent \
line, and no tag v$version releases it: nothing of it is built"
  published_as="is a development build of main, commit $commit"
fi
echo "commit $commit: ${published_as#is }"

# 3. The signature, checked before anything is built for it.
echo "publishers: $publishers"
signature=$(python3 "$source/scripts/check_published.py" signature "$published/ostrel.exe" \
  "$publishers") || fail "ostrel.exe: ${signature:-its signature cannot be checked (above)}"
[ "$signature" = unsigned ] || signature+=$named_by

# 4. The commit built afresh, unsigned, in a clone whose .git is new: hooks,
# filters or attributes left in an earlier one could change what is checked
# out. Of the old clone only the build tree is used again, when it is as the
# last proof left it, and the files that already hold the commit's bytes.
clone=$work/clone
python3 "$source/scripts/work_folder.py" reuse "$work"
mkdir -p "$clone"
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
# Commits from before --unsigned existed made unsigned archives unasked.
unsigned=(--unsigned)
grep -q -e '--unsigned)' "$clone/scripts/package.sh" || unsigned=()
echo "building commit $commit in $clone"
(
  cd "$clone"
  unset "${!OSTREL_SIGN@}" SOURCE_DATE_EPOCH CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
  ./scripts/package.sh --program-only "${unsigned[@]}" >"$work/package.log" 2>&1
) || { tail -20 "$work/package.log"; fail "commit $commit did not package (above)"; }
python3 "$source/scripts/work_folder.py" stamp "$work" >/dev/null
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
done < <({ names_in "$copy"; names_in "$tmp/rebuilt.zip"; } | LC_ALL=C sort -u)
if [ ${#differ[@]} -eq 0 ] && ! cmp -s "$copy" "$tmp/rebuilt.zip"; then
  differ+=("the archive's own entries (names, order or times)")
fi
[ ${#differ[@]} -eq 0 ] || fail "$archive_name differs from a build of commit $commit in: ${differ[*]}"
echo "PROVEN: $archive_name (SHA-256 $archive_sha256) $published_as; ostrel.exe $signature"
