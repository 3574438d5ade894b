#!/usr/bin/env bash
# Usage: static-analysis.sh tidy|cppcheck NATIVE_BUILD_DIR
# Runs clang-tidy (with the checked-in .clang-tidy) or cppcheck over the
# platform-neutral code: src/ without its Windows files, and the simulated
# card's core. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$1
build=$2

# The neutral sources are exactly those the native build compiles from src/
# and simcard/ (the Windows-only files are not part of it).
mapfile -t sources < <(python3 - "$build/compile_commands.json" <<'PY'
import json, os, sys
root = os.getcwd()
files = {e["file"] for e in json.load(open(sys.argv[1]))}
for f in sorted(files):
    rel = os.path.relpath(f, root)
    if rel.startswith(("src/", "simcard/")):
        print(rel)
PY
)
[ ${#sources[@]} -gt 0 ] || { echo "no neutral sources found in $build" >&2; exit 1; }
echo "$tool on ${#sources[@]} files"

case "$tool" in
  tidy)
    # One file per process, as many at once as there are cores: the test
    # holds both of them (both_cores), and a single clang-tidy uses one.
    printf '%s\0' "${sources[@]}" \
      | xargs -0 -n 1 -P "$(nproc)" clang-tidy -p "$build" --quiet \
          2> >(grep -v "warnings generated" >&2)
    ;;
  cppcheck)
    # cppcheck cannot be given its checks by name, only by group, so the code
    # meets those of every release tried (2.10 on Debian 12, 2.17 on Debian
    # 13). From 2.11 on it also says, as "information", where its default
    # check level stopped following branches: a note on its own depth, not a
    # finding in the code.
    cppcheck --enable=warning,performance,portability,style --std=c++20 --quiet \
      --error-exitcode=1 --inline-suppr -I src -I . \
      --suppress=missingIncludeSystem --suppress=useStlAlgorithm \
      --suppress=normalCheckLevelMaxBranches "${sources[@]}"
    ;;
  *)
    echo "usage: $0 tidy|cppcheck NATIVE_BUILD_DIR" >&2
    exit 2
    ;;
esac
echo "$tool: no findings"
