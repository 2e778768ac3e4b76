#!/usr/bin/env bash
# Benchmark: LD clumping of a genome-scale table (627k rows) against a
# genome-scale panel (627k SNPs x 1,000 people, the shared chromosome-10
# panel tiled onto 22 chromosomes; see bench/ld_panel.sh), Quorlin
# -loci-ld on the PLINK fileset and on the bgzipped, tabix-indexed VCF
# next to plink1.9 --clump, at p2 = p1 (5e-8) and at p2 = 0.01, r2 0.1,
# 250 kb. Runs alternate (plink, fileset, VCF) ROUNDS times (default 5);
# the table gives the median wall time and the largest peak memory, and
# the script checks that Quorlin's clumps (index and members) are PLINK's.
#   bash bench/ld_clump.sh [ROUNDS]     needs plink1.9, bgzip and tabix
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-5}"
source bench/common.sh
ld="$data/ld"
source bench/ld_panel.sh
cat "$ld/tiled.bed" "$ld/tiled.bim" "$ld/tiled.qassoc" "$ld/tiled.vcf.gz" > /dev/null # page cache

# run NAME CMD...: appends "seconds KB" of one run to $ld/NAME.times
run() {
  local name=$1
  shift
  /usr/bin/time -f "%e %M" -o "$ld/$name.one" "$@" > /dev/null 2>&1
  cat "$ld/$name.one" >> "$ld/$name.times"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
# The (index, member) pairs of a clumping, sorted: PLINK's .clumped, or
# Quorlin's members file.
plinkPairs() { awk 'NR > 1 && NF >= 12 { print $3, $3; n = split($12, m, ","); for (i = 1; i <= n; ++i) { sub(/\([0-9]+\)$/, "", m[i]); if (m[i] != "NONE") print $3, m[i] } }' "$1" | sort; }
quorlinPairs() { awk -F'\t' 'NR > 1 { print $1, $4 }' "$1" | sort; }

printf '%-10s %-16s %9s %9s %9s %s\n' p2 tool wall_s peak_MB ratio clumps
for p2 in 5e-8 0.01; do
  rm -f "$ld"/*.times
  for _ in $(seq "$rounds"); do
    run plink plink1.9 --bfile "$ld/tiled" --clump "$ld/tiled.qassoc" --clump-p1 5e-8 --clump-p2 "$p2" \
      --clump-r2 0.1 --clump-kb 250 --out "$ld/plink"
    for panel in tiled tiled.vcf.gz; do
      mkdir -p "$ld/q_$panel"
      run "q_$panel" "$q" -file "$ld/tiled.qassoc" -format plink -loci-ld "$ld/$panel" -loci-p2 "$p2" \
        -loci-window 250000 -loci-members yes -outdir "$ld/q_$panel"
    done
  done
  pw=$(cut -d' ' -f1 "$ld/plink.times" | median)
  pm=$(cut -d' ' -f2 "$ld/plink.times" | sort -n | tail -1)
  printf '%-10s %-16s %9s %9s %9s %s\n' "$p2" "plink1.9 --clump" "$pw" $((pm / 1024)) "1.00" \
    "$(grep -c . "$ld/plink.clumped" | awk '{ print $1 - 1 }') clumps"
  plinkPairs "$ld/plink.clumped" > "$ld/plink.pairs"
  for panel in tiled tiled.vcf.gz; do
    w=$(cut -d' ' -f1 "$ld/q_$panel.times" | median)
    m=$(cut -d' ' -f2 "$ld/q_$panel.times" | sort -n | tail -1)
    quorlinPairs "$ld/q_$panel/tiled.qassoc.loci.members.tsv" > "$ld/q_$panel.pairs"
    same=$(cmp -s "$ld/plink.pairs" "$ld/q_$panel.pairs" && echo "identical" || echo "DIFFERENT")
    printf '%-10s %-16s %9s %9s %9s %s\n' "$p2" "quorlin $panel" "$w" $((m / 1024)) "$(ratio "$w" "$pw")" "$same"
  done
done
