#!/usr/bin/env bash
# Installs every Debian package that building, running, testing and benchmarking need.
# Idempotent and non-interactive; uses sudo when not run as root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev
  libgraphicsmagick1-dev libwebp-dev libheif-dev qt6-multimedia-dev
  # file encryption and its container
  libcrypto++-dev libgsf-1-dev
  # run: the command icons (one theme in PNG at menu and toolbar sizes), fonts, opening documents
  oxygen-icon-theme adwaita-icon-theme fonts-dejavu-core xdg-utils
  # desktop wallpaper through gsettings (tests read it back)
  libglib2.0-bin gsettings-desktop-schemas
  # clip preview: Qt's GStreamer backend and the plugins for wav, mp3, avi, mov and mpg
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  gstreamer1.0-alsa
  # look at the program without a display
  xvfb xauth x11-utils imagemagick
  # an independent reader and writer of the X clipboard (clipboard tests)
  xclip
  # the freedesktop trash as another program sees it (gio trash --list needs gvfs on a session bus)
  gvfs dbus-daemon
  # a small ext4 file system image, made and loop-mounted by the secure erase tests
  e2fsprogs mount
  # independent readers used by tests
  graphicsmagick libtiff-tools libimage-exiftool-perl gifsicle netpbm poppler-utils libgsf-bin
  # the desktop's validators of the installed desktop entry and metainfo (install test)
  desktop-file-utils appstream
  # fuzzing
  clang-14 libclang-rt-14-dev
  # peers of the benchmark
  libvips-tools libgdk-pixbuf2.0-bin libjpeg-turbo-progs
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [[ $status == installed ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
