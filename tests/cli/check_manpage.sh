#!/bin/sh
# Renders the man page the way man(1) shows it and fails on any warning
# from man-db or groff; with the source folder as well, fails when a stop
# message the program prints on standard output is not in the page. Exit
# status 77 (skipped) where man is not installed.
page=${1:?usage: check_manpage.sh PAGE [SRC]}
src=$2
if [ -n "$src" ]; then
  missing=$(grep -rhoE '"(Incorrect [a-z0-9_]+|(List|Input|Output) file [a-z ]+|No usable [a-z ]+)\\n' "$src" |
    sed 's/^"//; s/\\n$//' | sort -u | while read -r message; do
      grep -qE "$message([^a-z0-9_]|\$)" "$page" || echo "$message"
    done)
  if [ -n "$missing" ]; then
    printf 'messages the page does not list:\n%s\n' "$missing"
    exit 1
  fi
fi
command -v man >/dev/null 2>&1 || { echo "man not installed: skipped"; exit 77; }
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  exit 1
fi
rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
[ -n "$rendered" ] || { echo "the page rendered empty"; exit 1; }
echo "man page renders without warnings and lists every message"
