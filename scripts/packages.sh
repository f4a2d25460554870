#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages and the Python wheel from a copy of this tree and
# tests them as a user gets them: the .debs installed with apt-get and checked
# from the installed files alone (zorvan demo, man zorvan, a video through
# zorvan apply, a C and a video host built with pkg-config, CMake hosts,
# import zorvan, the GIMP plug-in in
# gimp-console), lintian, then purged, leaving no file behind; then the wheel
# installed in a fresh venv, running the Python walk-through of
# docs/python.md. Skips, saying why, where the machine cannot install
# packages (no dpkg, or neither root nor sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$SECONDS
say() { echo "packages.sh: $* ($((SECONDS - start)) s)"; }
fail() { echo "packages.sh: $*" >&2; exit 1; }

command -v dpkg > /dev/null && command -v apt-get > /dev/null ||
  { echo "packages.sh: skipped: no dpkg and apt-get on this machine"; exit 0; }
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2> /dev/null ||
    { echo "packages.sh: skipped: installing packages needs root or sudo"; exit 0; }
  sudo="sudo -n"
fi
bash scripts/deps.sh packages

version=$(sed -n 's/^project(Zorvan VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mapfile -t packages < <(sed -n 's/^Package: //p' debian/control)
work=$(mktemp -d /tmp/zorvan-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT
log=$work/log
run_logged() { "$@" > "$log" 2>&1 || { tail -n 40 "$log" >&2; fail "failed: $*"; }; }

# The source as committed plus what is not yet (never the build trees), so
# that neither build writes into this tree.
mkdir "$work/src"
git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - | tar -xf - -C "$work/src"

# Tests and benchmarks off (the release workflow ran them on the tree), no
# debug information or dbgsym packages: CI only installs these.
say "building the .debs"
(cd "$work/src" && run_logged env DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=2" \
  DEB_CFLAGS_APPEND=-g0 DEB_CXXFLAGS_APPEND=-g0 dpkg-buildpackage -us -uc -b)
debs=("$work"/*.deb)
[ ${#debs[@]} -eq ${#packages[@]} ] || fail "${#debs[@]} .debs built for ${#packages[@]} packages"
for deb in "${debs[@]}"; do
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
    fail "$(basename "$deb") is not version $version (debian/changelog)"
done
say "lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$work"/*.changes ||
  fail "lintian found the problems above"

# Everything below /usr, /etc and /opt, and dpkg's own records.
files() { find /usr /etc /opt /var/lib/dpkg/info 2> /dev/null | LC_ALL=C sort; }
purge() {
  local present
  # dpkg-query fails on a package it has never seen.
  present=$( (dpkg-query -W -f '${Package} ${db:Status-Abbrev}\n' "${packages[@]}" 2> /dev/null || true) |
            awk '$2 ~ /^.[^n]/ { print $1 }')
  [ -z "$present" ] || DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq $present > "$log" 2>&1 ||
    { cat "$log" >&2; fail "apt-get purge failed"; }
}
purge
files > "$work/before"
say "installing ${packages[*]}"
run_logged env DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${debs[@]}"

# From here on only installed files: a scratch folder, a clean environment.
mkdir "$work/check" "$work/home"
cd "$work/check"
installed() { env -i PATH=/usr/bin:/bin HOME="$work/home" LC_ALL=C.UTF-8 "$@"; }
say "checking the installed packages"
[ "$(installed zorvan --version)" = "zorvan $version" ] || fail "zorvan --version is not $version"
installed zorvan demo --out demo > /dev/null
examples=$(find "$root/examples" -name '*.zvf' | wc -l)
[ "$(identify -format '%m\n' demo/demo/*.png | grep -c PNG)" -eq $((examples + 1)) ] ||
  fail "zorvan demo did not write a PNG per example and the test image"
identify -format '%m %w\n' demo/demo.png | grep -q '^PNG ' || fail "no contact sheet demo.png"
for page in "1 zorvan" "7 zorvan-language"; do
  # shellcheck disable=SC2086 # section and name
  installed man -P cat $page 2> /dev/null | grep -q "zorvan" || fail "man $page shows nothing"
done
installed bash -c '. /usr/share/bash-completion/completions/zorvan && complete -p zorvan' > /dev/null ||
  fail "the bash completion does not complete zorvan"
# A video through the installed tool: a clip of its own demo picture.
installed ffmpeg -v error -loop 1 -i demo/demo/test-image.png -t 1 -r 5 -c:v ffv1 clip.mkv
installed zorvan apply -q -e '255 - c' clip.mkv clip.mp4
[ "$(installed ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 \
  clip.mp4)" = 5 ] || fail "zorvan apply did not write the clip's 5 frames"

# Hosts against the -dev package: C through pkg-config, C++ through CMake.
consumer=$root/tests/install/consumer
# shellcheck disable=SC2046 # pkg-config's words are meant to split
installed cc -o pkg_host "$consumer/host.c" $(installed pkg-config --cflags --libs zorvan-render)
installed ./pkg_host
run_logged installed cmake -S "$consumer" -B cmake -G Ninja -DCMAKE_BUILD_TYPE=Release
run_logged installed cmake --build cmake -j2
installed cmake/c_host && installed cmake/cpp_host
mkdir photo video && installed cmake/photo_host photo && installed cmake/video_host video
# shellcheck disable=SC2046
installed c++ -std=c++20 -o pkg_video_host "$consumer/video_host.cpp" \
  $(installed pkg-config --cflags --libs zorvan-video)
mkdir pkg_video && installed ./pkg_video_host pkg_video

installed /usr/bin/python3 -c "
import numpy as np, zorvan
assert zorvan.__file__.startswith('/usr/lib/python3/dist-packages/'), zorvan.__file__
assert zorvan.__version__ == '$version', zorvan.__version__
assert (zorvan.apply(np.zeros((2, 2, 3), np.uint8), '255 - c') == 255).all()"

# GIMP finds the plug-in in its own plug-in folder, with a fresh profile.
found=$(installed env GIMP2_DIRECTORY="$work/gimp" gimp-console-2.10 -i -d -f \
  -b '(gimp-message (if (= (car (gimp-procedural-db-proc-exists "plug-in-zorvan")) TRUE)
                        "plug-in-zorvan: found" "plug-in-zorvan: missing"))' \
  -b '(gimp-quit 0)' 2>&1 || true)
grep -q "plug-in-zorvan: found" <<< "$found" || { echo "$found" >&2; fail "GIMP does not find plug-in-zorvan"; }

cd "$root"
say "purging"
purge
files > "$work/after"
diff "$work/before" "$work/after" > "$work/left" ||
  { cat "$work/left" >&2; fail "the purge changed the files above"; }

# The wheel, offline with Debian's setuptools, into a venv that sees
# Debian's numpy; the walk-through's test reads the page, imports the venv's
# zorvan (python/tests holds no package) and compares the pictures.
say "building the wheel"
(cd "$work/src" && run_logged env CMAKE_BUILD_PARALLEL_LEVEL=2 \
  /usr/bin/python3 -m build --no-isolation --wheel --outdir "$work/dist")
wheel=("$work/dist"/zorvan-"$version"-*.whl)
[ -f "${wheel[0]}" ] || fail "no wheel of version $version in $work/dist"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
run_logged "$work/venv/bin/pip" install --no-index "${wheel[0]}"
cd "$work/check"
installed "$work/venv/bin/python" -c "import zorvan; assert zorvan.__file__.startswith('$work/venv/')"
installed "$work/venv/bin/python" -m pytest -q -p no:cacheprovider \
  "$root/python/tests/test_walkthrough.py"
say "the packages and the wheel passed"
