#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs a build into a fresh prefix and builds hosts against it as outside
# projects do: a CMake project through find_package, and a C program
# through pkg-config alone. Each host renders (or writes and reads photos
# or videos) and checks its own results.
# Usage: check.sh BUILD-DIR WORK-DIR C-COMPILER CXX-COMPILER
set -euo pipefail
build=$1 work=$2 cc=$3 cxx=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
lib=$(find "$prefix" -name 'libzorvan-render.so' -printf '%h\n' | head -n 1)
export LD_LIBRARY_PATH=$lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

cmake -S "$here/consumer" -B "$work/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" > /dev/null
cmake --build "$work/cmake" > /dev/null
"$work/cmake/c_host"
"$work/cmake/cpp_host"
# Each shared library exports its API alone, not the templates of the
# headers it uses: the pattern every export of each matches.
declare -A api=(
  [libzorvan.so]='^Zv(Parse|Exec|Free)$'
  [libzorvan-render.so]='^((typeinfo|typeinfo name|vtable) for )?(Zv|zv::)'
  [libzorvan-photo.so]='^((typeinfo|typeinfo name|vtable) for )?zv::photo::'
  [libzorvan-video.so]='^((typeinfo|typeinfo name|vtable) for )?zv::video::'
)
for name in "${!api[@]}"; do
  file=$(find "$prefix" -name "$name" | head -n 1)
  [ -n "$file" ] || continue
  others=$(nm -DC --defined-only "$file" | cut -d' ' -f3- | grep -Ev "${api[$name]}" || true)
  if [ -n "$others" ]; then
    echo "check.sh: $name exports more than its API:" >&2
    echo "$others" >&2
    exit 1
  fi
done
photo_lib=$(find "$prefix" -name 'libzorvan-photo.so' | head -n 1)
video_lib=$(find "$prefix" -name 'libzorvan-video.so' | head -n 1)
for host in ${photo_lib:+photo_host photo_static_host} ${video_lib:+video_host video_static_host}; do
  mkdir -p "$work/$host" && "$work/cmake/$host" "$work/$host"
done

export PKG_CONFIG_PATH=$lib/pkgconfig
# shellcheck disable=SC2046 # pkg-config's words are meant to split
"$cc" -o "$work/pkg_host" "$here/consumer/host.c" $(pkg-config --cflags --libs zorvan-render)
"$work/pkg_host"
if [ -n "$photo_lib" ]; then
  # shellcheck disable=SC2046
  "$cxx" -std=c++20 -o "$work/pkg_photo_host" "$here/consumer/photo_host.cpp" \
    $(pkg-config --cflags --libs zorvan-photo)
  mkdir -p "$work/pkg_photo" && "$work/pkg_photo_host" "$work/pkg_photo"
fi
if [ -n "$video_lib" ]; then
  # shellcheck disable=SC2046
  "$cxx" -std=c++20 -o "$work/pkg_video_host" "$here/consumer/video_host.cpp" \
    $(pkg-config --cflags --libs zorvan-video)
  mkdir -p "$work/pkg_video" && "$work/pkg_video_host" "$work/pkg_video"
fi

# With the tool come its manual pages and bash completion, where man and
# bash-completion look for them.
if [ -x "$prefix/bin/zorvan" ]; then
  for file in share/man/man1/zorvan.1 share/man/man7/zorvan-language.7 \
              share/bash-completion/completions/zorvan; do
    [ -s "$prefix/$file" ] || { echo "check.sh: $file is not installed" >&2; exit 1; }
  done
fi
