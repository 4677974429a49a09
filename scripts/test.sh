#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test through CTest.
# Usage: scripts/test.sh [preset]   (dev by default; asan runs the same tests sanitized)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"

bash scripts/install-deps.sh
# Let ccache reuse objects across clones in other folders (CI builds a fresh clone).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake --preset "$preset"
cmake --build --preset "$preset" -j2
ctest --preset "$preset"
