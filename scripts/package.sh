#!/usr/bin/env bash
# Builds the archive operators download, dist/ostrel-<version>-win32.zip:
# ostrel.exe (stripped and signed: see scripts/sign_program.py), README.txt
# (naming the commit), LICENSE and SHA256SUMS. Installs what is missing,
# builds the program in a folder of its own (build/package), signs it, and
# prints the archive's path, its SHA-256 (publish it beside the archive) and
# the size of ostrel.exe. Then the self-test kit,
# dist/ostrel-<version>-win32-selftest.zip (selftest/), with its path and
# SHA-256: its ostrel.exe is taken out of the finished operators' archive, so
# it is the same program, signature included; its own programs and DLLs are
# signed in the same step as ostrel.exe, with the same key and time.
#
# Both archives of this version go first, so that a packaging that stops
# leaves none of an earlier run. The signing variables (OSTREL_SIGN_*, and
# the variables that OSTREL_SIGN_PKCS11_ENV names for a token's module) are
# kept from every step of the build; signing is a step of its own after it,
# with nothing in its environment but them, PATH and SOURCE_DATE_EPOCH.
#
# The same commit gives the same bytes in any folder at any time: the
# archive's times come from the commit (SOURCE_DATE_EPOCH, unless already
# set) and nothing of the build's folder or clock gets into the program. Its
# signature, too, is the same for the same key: it is dated at that time.
#
# usage: package.sh [--program-only] [--unsigned] [--publishers FILE]
#   --program-only makes the operators' archive alone, which is all that
#     scripts/verify-release.sh proves: the kit's test programs take minutes more.
#   --unsigned packages without a signing key, for development and tests: a
#     release is signed, so without a key nothing is packaged unless this is
#     given. No proof accepts an unsigned archive once release/publishers.txt
#     names a publisher.
#   --publishers FILE: the publishers file that must name the signing key,
#     instead of release/publishers.txt (for tests).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
}
refuse() {
  echo "$0: $*" >&2
  exit 1
}

kit=true unsigned=false publishers=()
while [ $# -gt 0 ]; do
  case $1 in
    --program-only) kit=false ;;
    --unsigned) unsigned=true ;;
    --publishers) [ $# -ge 2 ] || usage; publishers=(--publishers "$(realpath "$2")"); shift ;;
    *) usage ;;
  esac
  shift
done

version=$(sed -n 's/^project(Ostrel VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || refuse "no version in CMakeLists.txt's project()"
rm -f "dist/ostrel-$version-win32"*.zip

# The signing variables, kept from everything but the signing step. Only
# their names are ever printed: a secret put into one by mistake stays unsaid.
signing=("${!OSTREL_SIGN@}") configured=${!OSTREL_SIGN@}
if [ -n "${OSTREL_SIGN_PKCS11_ENV:-}" ]; then
  read -ra module_variables <<<"$OSTREL_SIGN_PKCS11_ENV"
  for name in "${module_variables[@]}"; do
    [[ $name =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] \
      || refuse "OSTREL_SIGN_PKCS11_ENV holds something that is no variable's name"
    signing+=("$name")
  done
fi
[ ${#signing[@]} -eq 0 ] || export -n "${signing[@]}"
if $unsigned; then
  [ -z "$configured" ] || refuse "--unsigned, but $configured set: choose one"
elif [ -z "$configured" ]; then
  refuse "no signing key is configured (OSTREL_SIGN_PKCS12, or the OSTREL_SIGN_PKCS11_* \
variables: see scripts/sign_program.py). A release is signed; --unsigned packages without a key."
fi

# sign PROGRAM...: scripts/sign_program.py in an environment of nothing but
# the signing variables, PATH and SOURCE_DATE_EPOCH; their values never go
# on a command line.
sign() (
  [ ${#signing[@]} -eq 0 ] || export "${signing[@]}"
  python3 -I -c 'import os, sys
keep = set(sys.argv[1].split())
environment = {name: value for name, value in os.environ.items() if name in keep}
os.execvpe("python3", ["python3", "-B", *sys.argv[2:]], environment | {"LANG": "C.UTF-8"})' \
    "${signing[*]} PATH SOURCE_DATE_EPOCH" scripts/sign_program.py "${publishers[@]}" "$@"
)

./scripts/install-deps.sh

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "$0: not a git checkout; set SOURCE_DATE_EPOCH to the sources' time" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "$0: note: uncommitted changes; this archive is not the commit's and says so" >&2
fi
# A signing key that is configured but unusable stops here, before the build.
$unsigned || sign --check ostrel.exe

# The kit's README says whether its programs are signed.
cmake --preset package -DOSTREL_KIT_SIGNED="$($unsigned && echo OFF || echo ON)" >/dev/null
cmake --build --preset package -j"$(nproc)"

files=build/package/package-files
programs=("$files/ostrel.exe")  # what the signing step signs
if $kit; then
  # Copied afresh, unsigned, each time: never the signed ones of an earlier run.
  cmake --build build/package -j"$(nproc)" --target ostrel_selftest_kit_files
  mapfile -t kit_programs < <(find build/package/selftest-kit-release -type f \
                                \( -name '*.exe' -o -name '*.dll' \) | LC_ALL=C sort)
  programs+=("${kit_programs[@]}")
fi
if $unsigned; then
  echo "ostrel.exe and the kit's programs: not signed (--unsigned)"
else
  sign "${programs[@]}"
fi
python3 scripts/make_package.py "dist/ostrel-$version-win32.zip" \
  "$files/ostrel.exe" "$files/README.txt" "$files/LICENSE"

# The self-test kit, last: it takes ostrel.exe out of the operators' archive
# as that is now final, so that the kit tests the very program operators get.
if $kit; then
  cmake --build build/package --target ostrel_selftest_kit
fi
