#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need. Safe to run again:
# it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang-format clang libclang-rt-14-dev
  libudev-dev libjsoncpp-dev libpugixml-dev libcurl4-openssl-dev libssl-dev libcpp-httplib-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libqt6svg6 libgl-dev libxkbcommon-dev fonts-noto-cjk xvfb xauth
  libxcb1-dev libxcb-keysyms1-dev xdotool
  qemu-system-x86
  pulseaudio pulseaudio-utils libpulse-dev libsndfile1-dev libmad0-dev libsoxr-dev
  libmp3lame-dev libmpg123-dev dbus-daemon libzip-dev zip
  dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
