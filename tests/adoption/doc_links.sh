#!/bin/sh
# SPDX-License-Identifier: MIT
# Every relative link in the given Markdown files leads somewhere: its file
# or directory exists, and its #anchor, if any, is a heading there (spelt as
# renderers spell anchors: lowercase, punctuation dropped, spaces as
# hyphens). Code blocks and code spans are left out.
# usage: doc_links.sh FILE.md...
prose='/^```/ { code = !code; next } !code'
anchors() { awk "$prose"' && /^#+ / { h = tolower($0); sub(/^#+ +/, "", h)
  gsub(/[^a-z0-9 _-]/, "", h); gsub(/ /, "-", h); print h }' "$1"; }
awk "$prose"' { line = $0; gsub(/`[^`]*`/, "", line)
  while (match(line, /\]\([^) ]+\)/)) {
    print FILENAME, FNR, substr(line, RSTART + 2, RLENGTH - 3); line = substr(line, RSTART + RLENGTH) } }' "$@" | {
  count=0 broken=0
  while read -r file line target; do
    case $target in http://*|https://*|mailto:*) continue ;; esac
    count=$((count + 1)) path=${target%%#*} anchor=${target#"${target%%#*}"}
    dest=$file
    [ -z "$path" ] || dest=$(dirname "$file")/$path
    if [ ! -e "$dest" ] || { [ -n "$anchor" ] && ! anchors "$dest" | grep -qxF "${anchor#\#}"; }; then
      echo "$file:$line: $target leads nowhere"; broken=$((broken + 1))
    fi
  done
  echo "$count relative links, $broken broken"
  [ "$count" -gt 0 ] && [ "$broken" -eq 0 ]
}
