#!/usr/bin/env bash
# The pages of a real run in headless Chromium: the example table's page
# (every check of check_page_in_browser.py), and a list's index page with a
# table that fails, which shows its message instead of a link. Prints SKIP
# without Chromium.
set -u
bin=$1 examples=$2
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
cp "$examples/example.tsv" .
columns=(-lcolumn 2 -pcolumn 8 -chrcolumn 1 -idcolumn 3 -header yes)
"$bin" -file example.tsv "${columns[@]}" -loci yes -html yes >/dev/null 2>err.txt || { cat err.txt; exit 1; }
python3 "$here/check_page_in_browser.py" example.tsv.html example.tsv.loci.tsv ${SCREENSHOTS:+--screenshots "$SCREENSHOTS"}
status=$?
[ "$status" = 0 ] || exit "$status"
printf 'example.tsv\nmissing.tsv\n' > list.txt
"$bin" -list list.txt "${columns[@]}" -loci yes -html yes -keep-going yes >/dev/null 2>err.txt
[ $? = 1 ] || { echo "FAIL: a list with a missing table must end with status 1"; exit 1; }
grep -q 'href="example.tsv.html"' list.txt.html || { echo "FAIL: the index page links no page"; exit 1; }
grep -q 'Input file not found' list.txt.html || { echo "FAIL: the index page does not show the failure"; exit 1; }
# An index page in another folder than its tables links them from its own.
mkdir sub && printf 'example.tsv\n' > sub/list.txt
"$bin" -list sub/list.txt "${columns[@]}" -html yes >/dev/null 2>err.txt || { cat err.txt; exit 1; }
grep -q 'href="../example.tsv.html"' sub/list.txt.html || { echo "FAIL: the index page's link is not relative to it"; exit 1; }
if command -v tidy >/dev/null; then
  for page in example.tsv.html list.txt.html; do
    tidy -errors -q "$page" >/dev/null 2>tidy.txt
    [ $? -lt 2 ] || { echo "FAIL: $page is not valid HTML:"; cat tidy.txt; exit 1; }
  done
fi
echo "pages of a real run: fine"
