#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build needs, only when one is missing.
# Arguments add the packages of the robustness checks:
#   fuzz      clang and its libFuzzer runtime
#   m32       gcc-multilib, qemu-user and Debian's GoogleTest sources
#   arm64     clang with the aarch64 cross binutils and libraries (not the cross
#             g++, which conflicts with gcc-multilib), qemu-user, GoogleTest's sources and
#             the header of clang's FuzzedDataProvider
#   windows   mingw-w64 and wine, both halves (wine32 needs the i386 architecture)
#   valgrind  valgrind
#   packages  debhelper, dh-python, lintian and man-db for the .debs, python3-build,
#             python3-setuptools, python3-wheel and python3-venv for the wheel
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config flex bison libpng-dev libjpeg62-turbo-dev
          libcli11-dev libgtest-dev libbenchmark-dev libexiv2-dev libtiff-dev libwebp-dev
          libdeflate-dev libstb-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
          ffmpeg
          python3-dev pybind11-dev python3-numpy python3-pytest python3-pil python3-dask
          python3-distributed lowdown groff-base
          libcpp-httplib-dev nlohmann-json3-dev chromium chromium-driver python3-selenium
          gimp libgimp2.0-dev xvfb xdotool imagemagick libgs-common)
for group in "$@"; do
  case $group in
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    m32) packages+=(gcc-multilib g++-multilib qemu-user googletest) ;;
    arm64) packages+=(clang binutils-aarch64-linux-gnu libc6-dev-arm64-cross
                      libstdc++-12-dev-arm64-cross libgcc-12-dev-arm64-cross qemu-user googletest
                      libclang-rt-14-dev) ;;
    windows) packages+=(mingw-w64 wine wine64 wine32:i386) ;;
    valgrind) packages+=(valgrind) ;;
    packages) packages+=(dpkg-dev debhelper dh-python lintian man-db python3-build
                         python3-setuptools python3-wheel python3-venv) ;;
    *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
echo "installing: ${missing[*]}"
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails an index now and then: try again, then go on
# with the indexes there are, so that only what they lack fails to install.
for try in 1 2 3; do
  $sudo apt-get update -qq && break
  [ "$try" -lt 3 ] && sleep 20
done
apt_install() { DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@"; }
apt_install "${missing[@]}" && exit 0
# wine32 is the one i386 package: when its half of the archive cannot be
# had, everything else is still installed, and windows.sh runs the 32-bit
# DLL's checks that need no wine32.
native=() foreign=()
for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]]; then foreign+=("$p"); else native+=("$p"); fi
done
[ ${#foreign[@]} -gt 0 ] || exit 1
[ ${#native[@]} -eq 0 ] || apt_install "${native[@]}"
apt_install "${foreign[@]}" ||
  echo "deps.sh: could not install ${foreign[*]}; going on without them" >&2
