#!/usr/bin/env bash
# The interactive views on real tables in headless Chromium: the CD UKBB
# table's page with the shared gene annotation (hover, zoom, IL23R and rsID
# search, locus mark to regional view, SVG export, 390 px, no request, no
# script error, valid HTML), and a list of four shared tables whose index
# page searches the study's loci. Prints SKIP without Chromium or without
# the shared data folder.
set -u
bin=$1 shared=$2
here=$(cd "$(dirname "$0")" && pwd)
real=$shared/data/real
[ -d "$real" ] || { echo "SKIP: real data absent: no shared data folder $shared"; exit 0; }
command -v chromium >/dev/null || command -v chromium-browser >/dev/null || { echo "SKIP: chromium is not installed"; exit 0; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
# Debian's tidy, where installed, finds no error in the page.
valid() {
  command -v tidy >/dev/null || return 0
  tidy -errors -q "$1" >/dev/null 2>tidy.txt
  [ $? -lt 2 ] || { echo "FAIL: $1 is not valid HTML:"; cat tidy.txt; exit 1; }
}
genes=(-genes "$real/topr_ENSGENES_GRCh38_genes.gtf.gz")
columns=(-chrcolumn CHROM -lcolumn POS -pcolumn P -idcolumn ID -header yes)
"$bin" -file "$real/topr_CD_UKBB_p1e-3.tsv" "${columns[@]}" "${genes[@]}" -out cd.out -loci cd.loci.tsv \
  -html cd.html >/dev/null 2>err.txt || { cat err.txt; exit 1; }
python3 "$here/check_view_in_browser.py" cd.html cd.loci.tsv IL23R ${SCREENSHOTS:+--screenshots "$SCREENSHOTS"} || exit 1
valid cd.html
for t in topr_CD_UKBB_p1e-3.tsv topr_UC_UKBB_p1e-3.tsv topr_CD_FINNGEN_p1e-3.tsv qmplot_gwas_plink_result.glm.tsv; do
  echo "$real/$t"
done > study.txt
mkdir out
"$bin" -list study.txt -outdir out "${columns[@]}" "${genes[@]}" -loci yes -html yes >/dev/null 2>err.txt ||
  { cat err.txt; exit 1; }
python3 "$here/check_index_in_browser.py" out/study.txt.html out/study.txt.loci.tsv 4 IL23R NOD2 NOSUCHGENE || exit 1
valid out/study.txt.html
echo "views of real tables: fine"
