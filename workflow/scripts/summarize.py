#!/usr/bin/env python3
"""One summary row per Quorlin peak report.

Columns (tab-separated, with a header line):
  table           the table's name as given in the workflow's config
  peaks           number of peaks in its report (data lines of the report)
  strongest_peak  chrom:first-last of the peak with the largest `max`
                  (column 4, the summit -log10 p); empty when there is none
  strongest_max   that peak's `max`, exactly as the report writes it
  report          path of the report
  status          only with the workflow's keep_going: ok, failed (Quorlin
                  ended with an error) or missing (no report); the columns
                  before it are empty but for `table` where it is not ok

Run by the workflow's `summary` rule through Snakemake's `script:` directive,
or by hand:
  python3 summarize.py OUT.tsv TABLE_NAME REPORT [TABLE_NAME REPORT ...]

Standard library only. The report's header names `range` twice, so its
columns are read by position, not by name.
"""

import csv
import math
import sys

HEADER = ["table", "peaks", "strongest_peak", "strongest_max", "report"]
CHROM, RANGE, MAX = 1, 2, 3  # report columns 2, 3 and 4


def summarize_report(path):
    """(peak count, 'chrom:range' or '', max text or '') of one report."""
    with open(path, newline="", encoding="utf-8", errors="surrogateescape") as f:
        rows = csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE)
        header = next(rows, None)
        if header is None or len(header) <= MAX or header[MAX] != "max":
            raise ValueError(f"{path}: not a Quorlin report (header {header!r})")
        peaks, best, best_value = 0, None, -math.inf
        for lineno, row in enumerate(rows, start=2):
            if len(row) != len(header):
                raise ValueError(
                    f"{path}:{lineno}: {len(row)} columns, the header has {len(header)}")
            peaks += 1
            try:
                value = float(row[MAX])
            except ValueError:
                raise ValueError(f"{path}:{lineno}: max {row[MAX]!r} is not a number")
            if not math.isnan(value) and (best is None or value > best_value):
                best, best_value = row, value
    if best is None:
        return peaks, "", ""
    return peaks, f"{best[CHROM]}:{best[RANGE]}", best[MAX]


def write_summary(out_path, tables, reports, statuses=None):
    """The summary of every table; with statuses (one per table) a last
    `status` column, and only the tables whose status is ok read a report."""
    if len(tables) != len(reports) or (statuses is not None and len(statuses) != len(tables)):
        raise ValueError(f"{len(tables)} table names but {len(reports)} reports"
                         + ("" if statuses is None else f" and {len(statuses)} statuses"))
    rows = []
    for i, (table, report) in enumerate(zip(tables, reports)):
        if statuses is None:
            rows.append([table, *summarize_report(report), report])
        elif statuses[i] == "ok":
            rows.append([table, *summarize_report(report), report, "ok"])
        else:
            rows.append([table, "", "", "", "", statuses[i]])
    with open(out_path, "w", newline="", encoding="utf-8", errors="surrogateescape") as f:
        out = csv.writer(f, delimiter="\t", lineterminator="\n",
                         quoting=csv.QUOTE_NONE, quotechar=None)
        out.writerow(HEADER + (["status"] if statuses is not None else []))
        out.writerows(rows)


def main(argv):
    if len(argv) < 3 or len(argv) % 2 == 0:
        sys.stderr.write(__doc__)
        return 2
    write_summary(argv[0], argv[1::2], argv[2::2])
    return 0


if "snakemake" in globals():
    _reports = list(snakemake.input.reports)  # noqa: F821 (set by Snakemake)
    write_summary(snakemake.output[0],  # noqa: F821
                  list(snakemake.params.tables),  # noqa: F821
                  _reports,
                  ["ok"] * len(_reports) if snakemake.params.keep_going else None)  # noqa: F821
elif __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
