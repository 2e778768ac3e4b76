# Sourced by bench/ld_clump.sh: makes the genome-scale LD panel in "$ld"
# by tiling the shared panel (chromosome 10's SNPs copied onto chromosomes
# 1-22, ids suffixed "_c<chrom>" to be unique): tiled.bed/.bim/.fam, the
# matching association table tiled.qassoc (the shared table's rows on each
# chromosome), and tiled.vcf.gz with its tabix index. Each file is made
# once and kept.
shared="${LD_SHARED:-../shared/data/ld}"
src="$shared/exercise_chr10"
mkdir -p "$ld"
if [ ! -s "$ld/tiled.bed" ]; then
  cp "$src.fam" "$ld/tiled.fam"
  for c in $(seq 1 22); do
    awk -v c="$c" 'BEGIN { OFS = "\t" } { $1 = c; $2 = $2 "_c" c; print }' "$src.bim"
  done > "$ld/tiled.bim"
  {
    head -c 3 "$src.bed"
    for c in $(seq 1 22); do tail -c +4 "$src.bed"; done
  } > "$ld/tiled.bed.part"
  mv "$ld/tiled.bed.part" "$ld/tiled.bed"
fi
if [ ! -s "$ld/tiled.qassoc" ]; then
  gzip -dc "$shared/exercise_qt.qassoc.gz" | awk '
    NR == 1 { head = $0; next } { row[NR] = $0 }
    END {
      print head
      for (c = 1; c <= 22; ++c)
        for (k = 2; k <= NR; ++k) {
          n = split(row[k], f, " ")
          line = c " " f[2] "_c" c
          for (i = 3; i <= n; ++i) line = line " " f[i]
          print line
        }
    }' > "$ld/tiled.qassoc.part"
  mv "$ld/tiled.qassoc.part" "$ld/tiled.qassoc"
fi
if [ ! -s "$ld/tiled.vcf.gz.tbi" ]; then
  plink1.9 --bfile "$ld/tiled" --recode vcf bgz --out "$ld/tiled" >/dev/null
  tabix -f -p vcf "$ld/tiled.vcf.gz"
fi
