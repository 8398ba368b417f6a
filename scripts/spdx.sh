#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence line, SPDX-License-Identifier: MIT, near the top of every
# tracked source, header, script and build file that lacks it (after a
# shebang line), in the comment syntax of the file's kind. Run it again
# after a merge that brings in new files.
#
# usage: scripts/spdx.sh            add the line where it is missing
#        scripts/spdx.sh --check    list the files that lack it; exit 1 if any
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The comment that holds the line for FILE, or nothing for a file that is
# neither source nor build file (documents, data, test inputs).
comment_for() { # FILE
  case $1 in
    *.c | *.h | *.S | *.ld) echo '/* SPDX-License-Identifier: MIT */' ;;
    *.cpp | *.hpp) echo '// SPDX-License-Identifier: MIT' ;;
    *.sh | *.cmake | *.cmake.in | *.pc.in | */CMakeLists.txt | CMakeLists.txt | meson.build | */meson.build | \
      meson_options.txt | *.wrap | *.kbuild | */Kbuild | .ci/run | debian/rules | debian/control)
      echo '# SPDX-License-Identifier: MIT' ;;
  esac
}

missing=()
while IFS= read -r -d '' file; do
  [ -f "$file" ] || continue
  line=$(comment_for "$file")
  [ -n "$line" ] || continue
  head -n 5 "$file" | grep -q 'SPDX-License-Identifier: MIT' && continue
  missing+=("$file")
  [ "${1:-}" = --check ] && continue
  if head -n 1 "$file" | grep -q '^#!'; then
    { head -n 1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$file.spdx"
  else
    { echo "$line"; cat "$file"; } >"$file.spdx"
  fi
  chmod --reference="$file" "$file.spdx"
  mv "$file.spdx" "$file"
done < <(git ls-files -z)

if [ "${1:-}" = --check ]; then
  [ ${#missing[@]} -eq 0 ] || { printf 'no SPDX-License-Identifier line: %s\n' "${missing[@]}"; exit 1; }
  echo "ok: every source, header, script and build file carries SPDX-License-Identifier: MIT"
elif [ ${#missing[@]} -gt 0 ]; then
  printf 'added the SPDX line to %s\n' "${missing[@]}"
fi
