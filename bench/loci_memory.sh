#!/usr/bin/env bash
# Memory of the loci and of what is drawn per locus: a table of 1,000
# chromosomes x 1,000 rows 600 kb apart, all at p = 1e-10, gives 1,000,000
# one-marker loci. Wall time and peak resident memory (/usr/bin/time -v's
# "Maximum resident set size") of:
#   the run whose loci threshold takes no row (-loci-p 1e-11), the plain run
#   (the summary counts the loci), -loci yes, -plot FILE.svg and -html yes on
#   the 1M loci;
#   -regional DIR on the first 100,000 loci (100 chromosomes), and on 10,000
#   for the growth. The bytes per locus are the peak over the no-loci run's,
#   divided by the loci.
#   bash bench/loci_memory.sh [REGIONAL_LOCI]   default: 100000
# The page lists the loci file's first rows only: on the 1M loci a 2.9 MB
# page in 473 MB and 4.5 s, where listing every locus took a 109 MB page,
# 1,432 MB and 8.8 s (load average about 2; doc/page.md).
set -euo pipefail
cd "$(dirname "$0")/.."
regional=${1:-100000}
source bench/common.sh
lm="$data/loci_memory"
mkdir -p "$lm"
make_table() { # make_table CHROMOSOMES FILE: 1,000 rows each
  [ -s "$2" ] || awk -v n="$1" 'BEGIN { OFS = "\t"; print "CHR", "BP", "P"
    for (c = 1; c <= n; ++c) for (i = 1; i <= 1000; ++i) print c, i * 600000, "1e-10" }' > "$2"
}
make_table 1000 "$lm/loci_1m.tsv"
make_table $((regional / 1000)) "$lm/loci_regional.tsv"
make_table 10 "$lm/loci_10k.tsv"

# run LABEL LOCI TABLE ARGS...: one line of the table
base_kb=0
run() {
  local label=$1 loci=$2 table=$3
  shift 3
  /usr/bin/time -f "%e %M" -o "$lm/time" "$q" -file "$table" -out "$lm/r.out" -chrcolumn 1 -lcolumn 2 -pcolumn 3 \
    -header yes "$@" > /dev/null 2>&1
  read -r s kb < "$lm/time"
  local per=""
  [ "$loci" -eq 0 ] || per=$(awk -v a="$kb" -v b="$base_kb" -v n="$loci" 'BEGIN { printf "%.0f", (a - b) * 1024 / n }')
  printf '%-40s %9s %9s %14s\n' "$label" "$s" $((kb / 1024)) "$per"
  [ "$loci" -ne 0 ] || base_kb=$kb
}

echo "nproc $(nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-40s %9s %9s %14s\n' case seconds peak_MB bytes_per_locus
run "1M rows, no loci (-loci-p 1e-11)" 0 "$lm/loci_1m.tsv" -loci-p 1e-11
run "1M loci, plain" 1000000 "$lm/loci_1m.tsv"
run "1M loci, -loci yes" 1000000 "$lm/loci_1m.tsv" -loci "$lm/l.tsv"
run "1M loci, -plot x.svg" 1000000 "$lm/loci_1m.tsv" -plot "$lm/x.svg"
run "1M loci, -html yes" 1000000 "$lm/loci_1m.tsv" -html "$lm/p.html"
echo "page: $(awk -v b="$(stat -c %s "$lm/p.html")" 'BEGIN { printf "%.2f", b / 1e6 }') MB"
run "1M loci, -html yes -loci yes" 1000000 "$lm/loci_1m.tsv" -html "$lm/p.html" -loci "$lm/l.tsv"
grep -o '<p class="note" id="loci-unlisted">[^<]*' "$lm/p.html" | sed 's/^.*">/page note: /'
run "10k rows, no loci (-loci-p 1e-11)" 0 "$lm/loci_10k.tsv" -loci-p 1e-11
rm -rf "$lm/regional" && mkdir "$lm/regional"
run "10k loci, -regional DIR" 10000 "$lm/loci_10k.tsv" -regional "$lm/regional"
run "$((regional / 1000))k rows, no loci (-loci-p 1e-11)" 0 "$lm/loci_regional.tsv" -loci-p 1e-11
rm -rf "$lm/regional" && mkdir "$lm/regional"
run "$((regional / 1000))k loci, -regional DIR" "$regional" "$lm/loci_regional.tsv" -regional "$lm/regional"
rm -rf "$lm/regional"
