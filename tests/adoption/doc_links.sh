#!/bin/sh
# Every relative link in the given Markdown files leads somewhere: its file
# or directory exists, and its #anchor, if any, is a heading of that file
# (as the usual Markdown renderers spell an anchor: lowercase, punctuation
# dropped, spaces as hyphens). Code blocks and code spans are left out.
# usage: doc_links.sh FILE.md...
set -u
# "file<TAB>line<TAB>target" for each link.
links() {
  awk '/^```/ { code = !code; next }
       !code {
         line = $0
         gsub(/`[^`]*`/, "", line)
         while (match(line, /\]\([^) ]+\)/)) {
           printf "%s\t%d\t%s\n", FILENAME, FNR, substr(line, RSTART + 2, RLENGTH - 3)
           line = substr(line, RSTART + RLENGTH)
         }
       }' "$@"
}
anchors() { # FILE: the anchor of each of its headings
  awk '/^```/ { code = !code; next }
       !code && /^#+ / {
         h = tolower($0); sub(/^#+ +/, "", h)
         gsub(/[^a-z0-9 _-]/, "", h); gsub(/ /, "-", h)
         print h
       }' "$1"
}
failures=0 count=0
tab=$(printf '\t')
links "$@" > "${TMPDIR:-/tmp}/doc_links.$$"
while IFS="$tab" read -r file line target; do
  case $target in http://*|https://*|mailto:*) continue ;; esac
  count=$((count + 1))
  path=${target%%#*} anchor=
  case $target in *'#'*) anchor=${target#*#} ;; esac
  dest=$file
  [ -n "$path" ] && dest=$(dirname "$file")/$path
  if [ ! -e "$dest" ]; then
    echo "$file:$line: $target: no $dest"; failures=$((failures + 1))
  elif [ -n "$anchor" ] && ! anchors "$dest" | grep -qxF "$anchor"; then
    echo "$file:$line: $target: no heading #$anchor in $dest"; failures=$((failures + 1))
  fi
done < "${TMPDIR:-/tmp}/doc_links.$$"
rm -f "${TMPDIR:-/tmp}/doc_links.$$"
echo "$count relative links, $failures broken"
[ "$count" -gt 0 ] && [ "$failures" -eq 0 ]
