#!/usr/bin/env python3
"""The study-wide loci table from the per-table loci files (Quorlin's
`-loci`), byte for byte the table `quorlin -list LIST -loci yes` writes for
the same tables in the same order.

Columns (tab-separated, with a header line): `table` (the name as the
workflow's config gives it), the loci file's columns up to and with
best_gqs (and nearest_gene, gene_distance, genes when the files have them:
all of them or none, else the script refuses them, naming which have which;
carried columns are left out, since tables differ in them), and a last
column `shared_with`: the other tables with a locus on the same chromosome
("chr1" and "1", "chrM" and "MT" are one) at most WINDOW bp away (0 when the ranges overlap, else the gap), in
config order, joined by ","; "." when none. Lines are ordered by chromosome
in natural order (1-22, X, Y, XY, MT, with or without "chr", then other
names in order of first appearance), start, then the table's place.

Run by the workflow's `study_loci` rule through Snakemake's `script:`
directive, or by hand:
  python3 study_loci.py OUT.tsv WINDOW TABLE_NAME LOCI_FILE [TABLE_NAME LOCI_FILE ...]

Standard library only.
"""

import sys

FIXED = 11  # chrom .. best_gqs
GENE_COLUMNS = ("nearest_gene", "gene_distance", "genes")
HEADER = ("table\tchrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\t"
          "peak_ranges\tbest_gqs")
_ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")
_SEX = {"x": 23, "y": 24, "xy": 25, "mt": 26, "m": 26}


def natural_rank(name):
    """1..22 for the autosomes, 23 X, 24 Y, 25 XY, 26 MT or M (any letter
    case, with or without "chr"; "chr01" is 1), 100 for any other name."""
    if len(name) > 3 and name[:3].translate(_ASCII_LOWER) == "chr":
        name = name[3:]
    if 0 < len(name) <= 3 and all("0" <= c <= "9" for c in name):
        n = int(name)
        return n if 1 <= n <= 22 else 100
    return _SEX.get(name.translate(_ASCII_LOWER), 100)


def chromosome_key(name):
    """The name two spellings of one chromosome share: a leading "chr" (any
    letter case) dropped when something follows it, "M" written "MT"."""
    if len(name) > 3 and name[:3].translate(_ASCII_LOWER) == "chr":
        name = name[3:]
    return "MT" if name == "M" else name


def _has_gene_columns(text):
    header = text.split("\n", 1)[0].split("\t")
    return tuple(header[FIXED:FIXED + 3]) == GENE_COLUMNS


def study_loci_text(tables, window):
    """tables: [(name, loci file text)] in list order; returns the table's text.
    Raises ValueError when some files have the gene columns and others not."""
    with_genes = [name for name, text in tables if _has_gene_columns(text)]
    if with_genes and len(with_genes) < len(tables):
        without = [name for name, text in tables if not _has_gene_columns(text)]
        raise ValueError("the loci files differ in their columns: those of " + ", ".join(with_genes)
                         + " have " + ", ".join(GENE_COLUMNS) + ", those of " + ", ".join(without)
                         + " have not (run every table with -genes, or none)")
    kept = FIXED + 3 if with_genes else FIXED
    rows = []        # (table index, chromosome key, start, end, kept columns tab-joined)
    chromosomes = {}  # key -> place of first appearance
    for t, (_, text) in enumerate(tables):
        lines = text.split("\n")
        for line in lines[1:]:
            if not line:
                continue
            f = line.split("\t")
            if len(f) < FIXED:
                continue
            f = f[:kept]
            key = chromosome_key(f[0])
            rows.append((t, key, int(f[1]), int(f[2]), "\t".join(f)))
            chromosomes.setdefault(key, len(chromosomes))
    order = sorted(chromosomes, key=lambda c: (natural_rank(c), chromosomes[c]))
    place = {c: k for k, c in enumerate(order)}
    rows.sort(key=lambda r: (place[r[1]], r[2], r[0]))

    out = [HEADER + "".join("\t" + g for g in GENE_COLUMNS[:kept - FIXED]) + "\tshared_with\n"]
    # Backward: a row before this one (same chromosome, start not after this
    # start) is near when its end + window reaches this start, so a table is
    # near when its largest end so far does; max_end holds that per table.
    # Forward: starts only grow, so the scan stops at the first start more
    # than window after this end.
    max_end = {}
    for i, (t, chrom, start, end, fields) in enumerate(rows):
        if i == 0 or rows[i - 1][1] != chrom:
            max_end = {}
        shared = {u for u, e in max_end.items() if u != t and e + window >= start}
        for j in range(i + 1, len(rows)):
            u, c, s, _, _ = rows[j]
            if c != chrom or s - end > window:
                break
            if u != t:
                shared.add(u)
        names = ",".join(tables[u][0] for u in sorted(shared)) or "."
        out.append(f"{tables[t][0]}\t{fields}\t{names}\n")
        max_end[t] = max(max_end.get(t, end), end)
    return "".join(out)


def write_study_loci(out_path, names, loci_paths, window):
    if len(names) != len(loci_paths):
        raise ValueError(f"{len(names)} table names but {len(loci_paths)} loci files")
    tables = []
    for name, path in zip(names, loci_paths):
        with open(path, newline="", encoding="utf-8", errors="surrogateescape") as f:
            tables.append((name, f.read()))
    text = study_loci_text(tables, int(window))
    with open(out_path, "w", newline="", encoding="utf-8", errors="surrogateescape") as f:
        f.write(text)


def main(argv):
    if len(argv) < 2 or len(argv) % 2 != 0:
        sys.stderr.write(__doc__)
        return 2
    try:
        write_study_loci(argv[0], argv[2::2], argv[3::2], argv[1])
    except ValueError as e:
        sys.stderr.write(f"study_loci.py: {e}\n")
        return 1
    return 0


if "snakemake" in globals():
    write_study_loci(snakemake.output[0],  # noqa: F821 (set by Snakemake)
                     list(snakemake.params.tables),  # noqa: F821
                     list(snakemake.input.loci),  # noqa: F821
                     snakemake.params.window)  # noqa: F821
elif __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
