#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need (Debian 12).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-gtk-platformtheme
  zlib1g-dev libdeflate-dev libisal-dev libbz2-dev liblzma-dev libzstd-dev libssl-dev libgtest-dev libgmock-dev libcli11-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth imagemagick x11-utils
  fonts-liberation fonts-dejavu-core adwaita-icon-theme hicolor-icon-theme shared-mime-info
  xdg-utils desktop-file-utils dbus dbus-x11
  zip unzip 7zip python3 zstd isal libdeflate-tools liblnk-utils libarchive-tools
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64
  appstream dpkg-dev psmisc lsof
  samba smbclient wine wine64 util-linux
  nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
