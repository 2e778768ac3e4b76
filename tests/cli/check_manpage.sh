#!/bin/sh
# Renders the man page the way man(1) shows it and fails on any warning
# from man-db or groff. Exit status 77 (skipped) where man is not installed.
page=${1:?usage: check_manpage.sh PAGE}
command -v man >/dev/null 2>&1 || { echo "man not installed: skipped"; exit 77; }
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  exit 1
fi
rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
[ -n "$rendered" ] || { echo "the page rendered empty"; exit 1; }
echo "man page renders without warnings"
