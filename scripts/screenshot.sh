#!/usr/bin/env bash
# Takes the README's picture of Ostrel (docs/screenshot.png): the main dialog
# as it opens on a fresh virtual card, on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
card=$(mktemp -d)
trap 'rm -rf "$card"' EXIT
OSTREL_CARD_DIR=$card ./scripts/run.sh --screenshot docs/screenshot.png
