#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test Tallowmere.
# Idempotent: apt-get skips what is already installed.
set -euo pipefail
PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libgl-dev
  qt6-pdf-dev  # tests read printed PDF files back
  libsqlcipher-dev sqlcipher
  xvfb xauth dbus dbus-x11 libglib2.0-bin
  fonts-wqy-microhei
  chromium qt6-websockets-dev  # the capture from a real browser, driven over its debugging protocol
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
