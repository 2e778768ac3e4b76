#!/usr/bin/env python3
"""Writes the genome-build fingerprint: rsIDs with their GRCh37 and GRCh38
positions, from published association tables of each build.

Usage: make_build_fingerprint.py REAL_DATA_FOLDER > rsid_builds.tsv

GRCh38 positions come from the three topr tables, GRCh37 positions from the
T1D ImmunoChip, PGC3 schizophrenia and breast-cancer tables. An rsID is kept
when both builds place it on the same chromosome at different positions and
no table of a build places it twice differently. Output: a header line, then
'rsid<TAB>grch37<TAB>grch38' sorted by the rsID's number."""
import gzip
import os
import sys

GRCH38 = [  # file, id column, chromosome column, position column (0-based)
    ("topr_CD_UKBB_p1e-3.tsv", 2, 0, 1),
    ("topr_UC_UKBB_p1e-3.tsv", 2, 0, 1),
    ("topr_CD_FINNGEN_p1e-3.tsv", 6, 0, 1),
]
GRCH37 = [
    ("fcfdr_T1D_ImmunoChip_OnengutGumuscu2015.tsv", 0, 1, 2),
    ("tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz", 2, 0, 1),
    ("RapidoPGS_michailidou19_BRCA_100k.tsv", 0, 1, 2),
]


def chromosome_key(name):
    return name[3:] if name.lower().startswith("chr") else name


def rs_number(text):
    """The number of an rsID, also at the start of 'rsN:pos:ref:alt'."""
    if not text.startswith("rs"):
        return None
    digits = text[2:].split(":")[0]
    return int(digits) if digits.isdigit() else None


def positions(folder, tables):
    """rs number -> (chromosome, position); None where the tables disagree."""
    out = {}
    for name, idc, chrc, posc in tables:
        path = os.path.join(folder, name)
        opener = gzip.open if name.endswith(".gz") else open
        with opener(path, "rt") as f:
            next(f)
            for line in f:
                fields = line.rstrip("\n").split("\t")
                rs = rs_number(fields[idc])
                if rs is None or not fields[posc].isdigit():
                    continue
                place = (chromosome_key(fields[chrc]), int(fields[posc]))
                if out.setdefault(rs, place) != place:
                    out[rs] = None
    return out


def main():
    folder = sys.argv[1]
    new, old = positions(folder, GRCH38), positions(folder, GRCH37)
    print("rsid\tgrch37\tgrch38")
    for rs in sorted(set(new) & set(old)):
        a, b = old[rs], new[rs]
        if a and b and a[0] == b[0] and a[1] != b[1]:
            print("rs%d\t%d\t%d" % (rs, a[1], b[1]))


if __name__ == "__main__":
    main()
