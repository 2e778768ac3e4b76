#!/usr/bin/env bash
# Benchmark: LD clumping of a genome-scale table (627k rows) against a
# genome-scale panel (627k SNPs x 1,000 people, the shared chromosome-10
# panel tiled onto 22 chromosomes; see bench/ld_panel.sh), Quorlin
# -loci-ld on the PLINK fileset and on the bgzipped, tabix-indexed VCF
# next to plink1.9 --clump, at p2 = p1 (5e-8) and at p2 = 0.01, r2 0.1,
# 250 kb. Runs alternate (plink, then Quorlin on the fileset and on the VCF
# with -threads 1 and -threads 2) ROUNDS times (default 5); the table gives
# the median wall time, the median CPU time (user + system) and the largest
# peak memory, and the script checks that Quorlin's clumps (index and
# members) are PLINK's.
#   bash bench/ld_clump.sh [ROUNDS]     needs plink1.9, bgzip and tabix
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-5}"
source bench/common.sh
ld="$data/ld"
source bench/ld_panel.sh
cat "$ld/tiled.bed" "$ld/tiled.bim" "$ld/tiled.qassoc" "$ld/tiled.vcf.gz" > /dev/null # page cache

# run NAME CMD...: appends "seconds KB cpu_seconds" of one run to $ld/NAME.times
run() {
  local name=$1
  shift
  /usr/bin/time -f "%e %M %U %S" -o "$ld/$name.one" "$@" > /dev/null 2>&1
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$ld/$name.one" >> "$ld/$name.times"
}
configs=("tiled 1" "tiled 2" "tiled.vcf.gz 1" "tiled.vcf.gz 2")
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
# The (index, member) pairs of a clumping, sorted: PLINK's .clumped, or
# Quorlin's members file.
plinkPairs() { awk 'NR > 1 && NF >= 12 { print $3, $3; n = split($12, m, ","); for (i = 1; i <= n; ++i) { sub(/\([0-9]+\)$/, "", m[i]); if (m[i] != "NONE") print $3, m[i] } }' "$1" | sort; }
quorlinPairs() { awk -F'\t' 'NR > 1 { print $1, $4 }' "$1" | sort; }

echo "nproc $(nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %-26s %8s %8s %8s %8s %s\n' p2 tool wall_s cpu_s peak_MB ratio clumps
for p2 in 5e-8 0.01; do
  rm -f "$ld"/*.times
  for _ in $(seq "$rounds"); do
    run plink plink1.9 --bfile "$ld/tiled" --clump "$ld/tiled.qassoc" --clump-p1 5e-8 --clump-p2 "$p2" \
      --clump-r2 0.1 --clump-kb 250 --out "$ld/plink"
    for config in "${configs[@]}"; do
      read -r panel threads <<< "$config"
      mkdir -p "$ld/q_${panel}_$threads"
      run "q_${panel}_$threads" "$q" -file "$ld/tiled.qassoc" -format plink -loci-ld "$ld/$panel" -loci-p2 "$p2" \
        -loci-window 250000 -loci-members yes -threads "$threads" -outdir "$ld/q_${panel}_$threads"
    done
  done
  pw=$(cut -d' ' -f1 "$ld/plink.times" | median)
  pc=$(cut -d' ' -f3 "$ld/plink.times" | median)
  pm=$(cut -d' ' -f2 "$ld/plink.times" | sort -n | tail -1)
  printf '%-10s %-26s %8s %8s %8s %8s %s\n' "$p2" "plink1.9 --clump" "$pw" "$pc" $((pm / 1024)) "1.00" \
    "$(grep -c . "$ld/plink.clumped" | awk '{ print $1 - 1 }') clumps"
  plinkPairs "$ld/plink.clumped" > "$ld/plink.pairs"
  for config in "${configs[@]}"; do
    read -r panel threads <<< "$config"
    name="q_${panel}_$threads"
    w=$(cut -d' ' -f1 "$ld/$name.times" | median)
    c=$(cut -d' ' -f3 "$ld/$name.times" | median)
    m=$(cut -d' ' -f2 "$ld/$name.times" | sort -n | tail -1)
    quorlinPairs "$ld/$name/tiled.qassoc.loci.members.tsv" > "$ld/$name.pairs"
    same=$(cmp -s "$ld/plink.pairs" "$ld/$name.pairs" && echo "identical" || echo "DIFFERENT")
    printf '%-10s %-26s %8s %8s %8s %8s %s\n' "$p2" "quorlin $panel -threads $threads" "$w" "$c" $((m / 1024)) \
      "$(ratio "$w" "$pw")" "$same"
  done
done
echo "load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
