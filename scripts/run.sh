#!/usr/bin/env bash
# Installs what is missing, builds the application and runs it on its embedded
# default (SQLite, demo data). Extra arguments go to the application.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake --preset release -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_BENCH=OFF
cmake --build --preset release -j2 --target tavro-shell

app=build/release/bin/tavro-shell
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: running under xvfb-run" >&2
  exec xvfb-run -a "$app" "$@"
fi
exec "$app" "$@"
