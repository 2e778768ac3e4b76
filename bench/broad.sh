#!/usr/bin/env bash
# Broad-region benchmark: one chromosome of 120k background markers around a
# broad strong region of 20k..320k markers (about 30 bp apart, a 60-high bump
# of -log10(p)), and a 22-chromosome table with one 20k-marker region each,
# timed next to `cut -f1,2,3` on the same file in the same run.
#   bash bench/broad.sh [REGION_SIZES...]   default: 20000 40000 80000 160000 320000
#   QUORLIN=path/to/quorlin compares another binary (default: a fresh Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(20000 40000 80000 160000 320000)

source bench/common.sh
quorlin() { "$meter" "$q" -file "$1" -out "$data/broad.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes 2>/dev/null; }

printf '%-26s %10s %9s %10s %10s %9s\n' case quorlin_s peak_MB tool_s tool ratio
prev=""
for n in "${sizes[@]}"; do
  f="$data/broad_$n.tsv"
  [ -s "$f" ] || "$gen" --broad "$n" > "$f"
  t=$(quorlin "$f")
  growth=""
  [ -z "$prev" ] || growth="x$(ratio "$(secs "$t")" "$prev") vs half"
  printf '%-26s %10s %9s %21s\n' "broad region $n" "$(secs "$t")" "${t#* }" "$growth"
  prev=$(secs "$t")
done

f="$data/broad22_20000.tsv"
[ -s "$f" ] || "$gen" --broad 20000 22 > "$f"
cat "$f" > /dev/null # page cache
t=$(quorlin "$f"); c=$("$meter" cut -f1,2,3 "$f")
printf '%-26s %10s %9s %10s %10s %9s\n' "22 chr x 20k region" "$(secs "$t")" "${t#* }" "$(secs "$c")" "cut" \
  "$(ratio "$(secs "$t")" "$(secs "$c")")"
