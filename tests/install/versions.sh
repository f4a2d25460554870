#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every artefact carries the CMake project's version: the SONAMEs and file
# names of the shared libraries, the .pc files, the CMake package, the render
# header, the tool, the Python module, the wheel's metadata (setup.py), the
# .debs (debian/changelog) and CHANGELOG.md's newest entry.
# Usage: versions.sh SOURCE-DIR BUILD-DIR VERSION TOOL PYTHON LIBRARY...
set -euo pipefail
source=$1 build=$2 version=$3 tool=$4 python=$5
shift 5
major=${version%%.*}
bad=0
same() {  # WHAT FOUND [WANTED]
  local wanted=${3:-$version}
  if [ "$2" != "$wanted" ]; then
    echo "versions.sh: $1 says '$2', not '$wanted'" >&2
    bad=1
  fi
}

for library in "$@"; do
  name=$(basename "$library")
  same "$name's SONAME" "$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')" \
    "${name%%.so*}.so.$major"
  same "$name's file" "$(basename "$(readlink -f "$library")")" "${name%%.so*}.so.$version"
done
for pc in "$build"/*.pc; do
  same "$(basename "$pc")" "$(sed -n 's/^Version: //p' "$pc")"
done
same ZorvanConfigVersion.cmake \
  "$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")/\1/p' "$build/ZorvanConfigVersion.cmake")"
same render_version.h \
  "$(sed -n 's/^#define ZV_RENDER_VERSION "\(.*\)"/\1/p' "$build/render/include/zorvan/render_version.h")"
same "zorvan --version" "$("$tool" --version)" "zorvan $version"
same "the Python module" "$(PYTHONPATH=$build/python "$python" -c 'import zorvan; print(zorvan.__version__)')"
same "setup.py (the wheel)" "$(cd "$source" && "$python" setup.py --version 2> /dev/null)"
# The newest entry's version, less a Debian revision.
debian=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$source/debian/changelog")
same debian/changelog "${debian%-*}"
same "CHANGELOG.md's newest entry" \
  "$(grep -m 1 '^## ' "$source/CHANGELOG.md" | grep -o "$version" || true)"
exit $bad
