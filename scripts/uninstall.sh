#!/usr/bin/env bash
# Removes what scripts/install.sh registered and installed. The archive
# "bbk.dat" stays where it is: an uninstall never deletes the user's data.
#
#   scripts/uninstall.sh [FOLDER]   default: ~/.local/lib/tallowmere
set -euo pipefail
DEST="${1:-$HOME/.local/lib/tallowmere}"
[ -d "$DEST" ] || { echo "No installation in $DEST" >&2; exit 1; }
DEST="$(cd "$DEST" && pwd)"

[ -x "$DEST/Tallowmere" ] && QT_QPA_PLATFORM=offscreen "$DEST/Tallowmere" /UNREGSERVER || true
[ -x "$DEST/snagwick" ] && "$DEST/snagwick" --unregister || true
[ -x "$DEST/tallowmere-cli" ] && "$DEST/tallowmere-cli" set-install-path "" || true
rm -f "${XDG_DATA_HOME:-$HOME/.local/share}/applications/tallowmere.desktop"
for f in Tallowmere snagwick tallowmere-cli tallowmere.png libsnagwick.so*; do
  rm -f "$DEST"/$f
done
if [ -e "$DEST/bbk.dat" ]; then
  echo "Uninstalled. Your archive stays in $DEST/bbk.dat."
else
  rmdir "$DEST" 2>/dev/null || true
  echo "Uninstalled."
fi
