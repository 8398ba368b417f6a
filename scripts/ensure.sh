# SPDX-License-Identifier: MIT
# Sourced by the scripts here. ensure PKG MARKER [PKG MARKER...] installs the
# Debian packages whose marker (a command, or an absolute path) is missing.
# Its messages go to standard error, so a script's own output stays clean.
ensure() {
  local missing=() pkg marker
  while [ $# -gt 0 ]; do
    pkg=$1 marker=$2
    shift 2
    if [[ $marker == /* ]]; then [ -e "$marker" ] || missing+=("$pkg")
    else command -v "$marker" >/dev/null 2>&1 || missing+=("$pkg"); fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}" >&2
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}
