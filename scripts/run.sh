#!/usr/bin/env bash
# Sets everything up, builds, makes an empty archive beside the program when
# there is none, and starts Tallowmere.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
BIN="$PWD/build/bin"
[ -e "$BIN/bbk.dat" ] || "$BIN/tallowmere-cli" init "$BIN"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found. Start Tallowmere from a desktop session, or run it under a virtual display:" >&2
  echo "  xvfb-run -a $BIN/Tallowmere" >&2
  exit 1
fi
exec "$BIN/Tallowmere" "$@"
