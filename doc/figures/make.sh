#!/usr/bin/env bash
# Draws the figures shown in the README and the manual as PNG files into
# this folder: the example table's figure, the figure of a real table
# (UK Biobank ulcerative colitis, from the shared data folder beside the
# repository; REAL_DATA moves it) with its loci, genes and regional figures,
# two of those regional figures, a locus with a peak and one without, and a
# regional figure coloured by LD with the shared panel (LD_DATA moves it).
#   bash doc/figures/make.sh [path/to/quorlin]     default: build/quorlin
set -euo pipefail
cd "$(dirname "$0")/../.."
q="${1:-build/quorlin}"
real="${REAL_DATA:-../shared/data/real}"
ld="${LD_DATA:-../shared/data/ld}"
out=doc/figures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# As examples/example.svg is drawn (tests/cli/test_example.cpp).
"$q" -file examples/example.tsv -out "$work/example.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -idcolumn 3 \
  -header yes -plot "$out/example.png" > /dev/null 2>&1

uc="$real/topr_UC_UKBB_p1e-3.tsv"
genes="$real/topr_ENSGENES_GRCh38_genes.gtf.gz"
"$q" -file "$uc" -out "$work/uc.out" -lcolumn 2 -pcolumn 6 -chrcolumn 1 -idcolumn 3 -header yes \
  -loci "$work/uc.loci.tsv" -genes "$genes" -plot "$out/uc.png" -regional "$work/regional" -regional-format png \
  > /dev/null 2>&1
# The strongest locus with a peak and the one locus without.
lead() { awk -F'\t' -v s="$1" 'NR > 1 && $8 == s { print $1 "_" $5 }' "$work/uc.loci.tsv" | head -n 1; }
cp "$work/regional/$(lead peak).png" "$out/uc_regional_peak.png"
cp "$work/regional/$(lead no_peak).png" "$out/uc_regional_no_peak.png"
# LD colours: the strongest clump of the shared trait against the shared panel.
"$q" -file "$ld/exercise_qt.qassoc.gz" -format plink -loci-ld "$ld/exercise_chr10" -out "$work/ld.out" -loci "$work/ld.loci.tsv" \
  -regional "$work/ld_regional" -regional-format png > /dev/null 2>&1
cp "$work/ld_regional/10_54328297.png" "$out/ld_regional.png"
ls -l "$out"/*.png
