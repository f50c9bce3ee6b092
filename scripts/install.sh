#!/usr/bin/env bash
# Installs Tallowmere into a program folder of its own: the program, the
# browser bridge (snagwick and libsnagwick), tallowmere-cli and an empty
# archive "bbk.dat" (an existing archive is kept). Then it registers the
# automation service and the browser host, records the folder where the bridge
# looks for it, and adds a desktop entry with an icon.
#
#   scripts/install.sh [FOLDER]     default: ~/.local/lib/tallowmere
#
# TM_SKIP_BUILD=1 installs what build/ holds without running setup and build.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC="$PWD"
DEST="${1:-$HOME/.local/lib/tallowmere}"

if [ -z "${TM_SKIP_BUILD:-}" ]; then
  scripts/setup.sh
  scripts/build.sh
fi

mkdir -p "$DEST"
DEST="$(cd "$DEST" && pwd)"
cmake --install "${TM_BUILD_DIR:-build}" --prefix "$DEST" >/dev/null
install -m 0644 resources/tallowmere.png "$DEST/tallowmere.png"
[ -e "$DEST/bbk.dat" ] || "$DEST/tallowmere-cli" init "$DEST"

# The automation service's activation file, and the browsers' host manifests.
# A running copy makes a second start end at once; its own starts refresh the
# activation file anyway.
QT_QPA_PLATFORM=offscreen "$DEST/Tallowmere" /REGSERVER \
  || echo "Tallowmere is running; the automation service is registered at its next start."
"$DEST/snagwick" --register

# Where the bridge finds the program when it has to start it: system-wide when
# we may write there, else for this user.
"$DEST/tallowmere-cli" set-install-path "$DEST"

# The desktop entry.
APPS="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$APPS"
cat > "$APPS/tallowmere.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Tallowmere
GenericName=Web page and document archive
Comment=Keep web pages and text documents in one password-protected archive
Exec="$DEST/Tallowmere"
Icon=$DEST/tallowmere.png
Terminal=false
Categories=Office;Network;
DESKTOP

cat <<NOTE
Tallowmere is installed in $DEST.
Start it from the desktop menu or with: $DEST/Tallowmere
To capture pages from the browser, load the extension in $SRC/snagwick/extension:
  Chromium: chrome://extensions, turn on Developer mode, "Load unpacked", choose that folder.
  Firefox:  about:debugging#/runtime/this-firefox, "Load Temporary Add-on", choose manifest.json there.
NOTE
