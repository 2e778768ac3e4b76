#!/usr/bin/env bash
# Benchmark of the loci, gene, figure and page outputs, beside the plain run,
# `cut` and `gzip -dc` on the same 10M-row table in the same run. Each pair
# of cases runs three times alternately (A B A B A B) and prints the median
# time and peak memory of each, since the machine may be shared:
#   plain vs -loci yes, -loci yes vs -loci yes -genes GTF, plain vs -plot PNG,
#   plain vs -html; -regional DIR on a real table; a list of 100 tables of
#   100k rows with -threads 2 -loci yes -keep-going yes; and the memory per
#   candidate with -loci-p 1 (every row a candidate) against the plain run.
#   bash bench/outputs.sh [ROWS]      default: 10000000
# The gene annotation and the real table come from the shared data folder
# beside the repository (REAL_DATA moves it); cases whose file is missing are
# left out.
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-10000000}
real="${REAL_DATA:-../shared/data/real}"
gtf="$real/topr_ENSGENES_GRCh38_genes.gtf.gz"
uc="$real/topr_UC_UKBB_p1e-3.tsv"

source bench/common.sh
f="$data/gwas_$rows.tsv"
[ -s "$f" ] || "$gen" "$rows" 1 $((rows / 33333)) > "$f"
[ -s "$f.gz" ] || gzip -c "$f" > "$f.gz"
cat "$f" > /dev/null # page cache
out="$data/outputs"
mkdir -p "$out"

run() { "$meter" "$q" -file "$f" -out "$out/r.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes "$@" 2>/dev/null; }
# median of three "seconds MB" lines: each column on its own
median() { local c; for c in 1 2; do tr ' ' '\n' <<< "$1 $2 $3" | paste - - | cut -f"$c" | sort -g | sed -n 2p; done | paste -sd' '; }
row() { printf '%-44s %9s %9s %s\n' "$1" "$(secs "$2")" "${2#* }" "$3"; }
# pair LABEL_A LABEL_B -- ARGS_A -- ARGS_B: three alternating runs of each
pair() {
  local la=$1 lb=$2; shift 2; shift
  local a=() b=() in_b=0 w
  for w in "$@"; do
    if [ "$w" = "--" ] && [ $in_b -eq 0 ]; then in_b=1; continue; fi
    if [ $in_b -eq 0 ]; then a+=("$w"); else b+=("$w"); fi
  done
  local ra=() rb=() k
  for k in 1 2 3; do ra+=("$(run "${a[@]}")"); rb+=("$(run "${b[@]}")"); done
  A=$(median "${ra[@]}"); B=$(median "${rb[@]}")
  row "$la" "$A" ""
  row "$lb" "$B" "x$(ratio "$(secs "$B")" "$(secs "$A")"), +$(awk -v a="$(secs "$A")" -v b="$(secs "$B")" 'BEGIN { printf "%.3f", b - a }') s"
}

echo "nproc $(nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %9s %9s %s\n' case seconds peak_MB "ratio to the line above"
row "cut -f1,2,8" "$(median "$("$meter" cut -f1,2,8 "$f")" "$("$meter" cut -f1,2,8 "$f")" "$("$meter" cut -f1,2,8 "$f")")" ""
row "gzip -dc" "$(median "$("$meter" gzip -dc "$f.gz")" "$("$meter" gzip -dc "$f.gz")" "$("$meter" gzip -dc "$f.gz")")" ""

pair "plain" "-loci yes" -- -- -loci yes
[ ! -s "$gtf" ] ||
  pair "-loci yes" "-loci yes -genes GTF" -- -loci yes -- -loci yes -genes "$gtf"
pair "plain" "-plot PNG" -- -- -plot "$out/r.png"
pair "plain" "-html yes" -- -- -html yes

if [ -s "$uc" ]; then
  regional() { rm -rf "$out/regional"; "$meter" "$q" -file "$uc" -out "$out/uc.out" -lcolumn 2 -pcolumn 6 -chrcolumn 1 \
                 -idcolumn 3 -header yes "$@" 2>/dev/null; }
  p=(); r=()
  for k in 1 2 3; do p+=("$(regional)"); r+=("$(regional -regional "$out/regional")"); done
  P=$(median "${p[@]}"); R=$(median "${r[@]}")
  row "real 45k rows (UC), plain" "$P" ""
  row "real 45k rows (UC), -regional DIR" "$R" \
    "+$(awk -v a="$(secs "$P")" -v b="$(secs "$R")" 'BEGIN { printf "%.3f", b - a }') s, $(ls "$out/regional" | wc -l) figures"
fi

# A list of 100 tables of 100k rows (10M rows in all).
list="$data/list100.txt"
: > "$list"
for k in $(seq 1 100); do
  t="$data/list100_$k.tsv"
  [ -s "$t" ] || "$gen" 100000 "$k" 3 > "$t"
  echo "$t" >> "$list"
done
cat "$data"/list100_*.tsv > /dev/null
l=()
for k in 1 2 3; do
  rm -rf "$out/list100"
  l+=("$("$meter" "$q" -list "$list" -outdir "$out/list100" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes \
         -threads 2 -loci yes -keep-going yes 2>/dev/null)")
done
row "list of 100 x 100k, -threads 2 -loci yes" "$(median "${l[@]}")" ""

# Memory per candidate: -loci-p 1 makes every row a candidate (ids kept).
pair "-idcolumn 3" "-idcolumn 3 -loci yes -loci-p 1" -- -idcolumn 3 -- -idcolumn 3 -loci yes -loci-p 1
awk -v a="${A#* }" -v b="${B#* }" -v n="$rows" \
  'BEGIN { printf "%-44s %9s %9.0f bytes per candidate\n", "memory per candidate", "", (b - a) * 1048576 / n }'
