#!/usr/bin/env bash
# The documentation check fails where it must. In a copy of the repository's
# files, a message left out of the operator guide's table, a new message in
# the program, a link to no file and an anchor to no heading: the check must
# name each of them, and nothing else.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

git -C "$root" ls-files -z --cached --others --exclude-standard \
  | (cd "$root" && xargs -0 cp --parents -t "$work")
cd "$work"
guide=docs/operator-guide.txt
awk '/^"Couldn.t get interface handle!"/ {skip = 1; next} skip && /^ / {next} {skip = 0; print}' \
  $guide >left-out && mv left-out $guide
echo 'const char* k = "A message nobody explained!";' >>src/commands/save_command.cpp
printf '%s\n' '[gone](no-such-page.md)' '[gone](../README.md#no-such-heading)' >>docs/testing.md

if python3 "$root/scripts/check_docs.py" "$work" >out 2>&1; then
  cat out; echo "FAIL: the check passed"; exit 1
fi
cat out
for fault in "\"Couldn't get interface handle!\" is not in the message table" \
             "\"A message nobody explained!\" is not in the message table" \
             "link to no-such-page.md: no such file" \
             "link to ../README.md#no-such-heading: README.md has no heading for #no-such-heading" \
             "4 fault(s) in the documents"; do
  grep -qF -- "$fault" out || { echo "FAIL: not reported: $fault"; exit 1; }
done
