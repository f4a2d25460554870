#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every source file says its licence in an SPDX line among its first three
# lines (after a shebang, a doctype or a flex or bison opening): code, build
# files and scripts; not data, pictures, prose, example filters or fuzz seeds.
# Usage: spdx.sh SOURCE-DIR
set -euo pipefail
cd "$1"
if [ -d .git ] || [ -f .git ]; then
  list() { git ls-files; }
else
  list() { find . -type f -not -path './build*' | sed 's|^\./||'; }
fi
code='\.(c|h|cpp|hpp|inc|py|sh|bash|cmake|in|l|y|js|css|html|map|def|toml)$|(^|/)CMakeLists\.txt$|^\.ci/run$|^debian/rules$'
missing=$(list | grep -E "$code" | grep -v '^fuzz/seeds/' | while read -r file; do
  [ -f "$file" ] || continue
  head -n 3 "$file" | grep -q 'SPDX-License-Identifier: MIT' || echo "$file"
done)
if [ -n "$missing" ]; then
  echo "spdx.sh: these files have no 'SPDX-License-Identifier: MIT' line:" >&2
  echo "$missing" >&2
  exit 1
fi
