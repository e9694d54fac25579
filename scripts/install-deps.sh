#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent: packages already present are skipped by apt-get.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-tools-dev libqt6uitools6 qt6-qpa-plugins libqt6opengl6-dev libgl-dev libopengl-dev libglx-dev libegl-dev
  libavformat-dev libavcodec-dev libavutil-dev libavfilter-dev libavdevice-dev
  libswscale-dev libswresample-dev ffmpeg
  libsdl2-dev
  libwebrtc-audio-processing-dev libyuv-dev
  libcurl4-openssl-dev libjsoncpp-dev libcpp-httplib-dev libssl-dev openssl
  libgoogle-glog-dev libgflags-dev
  libx11-dev libxext-dev libxfixes-dev libxi-dev libxtst-dev libxrandr-dev libxdamage-dev
  libpulse-dev
  libgtest-dev libgmock-dev googletest
  xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils xdotool pulseaudio pulseaudio-utils imagemagick x11-utils time
  dbus-x11 at-spi2-core python3-pyatspi openbox trayer xterm xdg-utils xcompmgr
  fonts-wqy-microhei fonts-arphic-uming espeak-ng
  clang libclang-rt-14-dev llvm
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
