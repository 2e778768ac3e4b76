#!/usr/bin/env python3
"""Drives a list's index page in headless Chromium: the study-wide search.

    check_index_in_browser.py INDEX.html STUDY_LOCI.tsv TABLES GENE...

TABLES is the number of tables of the list: the index has a row for each.
For each GENE (and for the lead id of the study's strongest locus) the
search lists exactly the tables with a locus that names it (lead_id,
nearest_gene or genes of STUDY_LOCI.tsv), each linked to its page, and
selects their rows; no script error; no request but the page's own file.
Without Chromium: SKIP, 0.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_page_in_browser import drive, read_tsv  # noqa: E402

RESULTS_JS = ("Array.prototype.map.call(document.querySelectorAll('#search-results li'),function(l){"
              "var a=l.querySelector('a');return [l.getAttribute('data-table'),a?a.getAttribute('href'):'']})")
SELECTED_JS = ("Array.prototype.map.call(document.querySelectorAll('#tables tr.item[aria-selected=true]'),"
               "function(r){return r.getAttribute('data-table')})")


def checks(browser, args, shots, check):
    tables = int(args[2])
    lines = read_tsv(args[1])
    col = {name: i for i, name in enumerate(lines[0])}
    rows = lines[1:]
    strongest = max(rows, key=lambda r: float(r[col["lead_log10p"]]))

    def holders(word):
        w = word.lower()
        found = []
        for r in rows:
            names = [r[col["lead_id"]]] + [r[col[c]] for c in ("nearest_gene",) if c in col]
            names += r[col["genes"]].split(",") if "genes" in col else []
            if w in [n.lower() for n in names] and r[col["table"]] not in found:
                found.append(r[col["table"]])
        return found

    count = browser.js("document.querySelectorAll('#tables tbody tr.item').length")
    check(count == tables, "the index has %d rows for %d tables" % (count, tables))
    for word in args[3:] + [strongest[col["lead_id"]]]:
        browser.js("(function(){var s=document.getElementById('search');s.value=%r;"
                   "s.dispatchEvent(new Event('change'));})()" % word)
        results = browser.js(RESULTS_JS)
        want = holders(word)
        check([r[0] for r in results] == want and all(r[1].endswith(".html") for r in results),
              "search %s lists %s: %s" % (word, want, results))
        check(sorted(browser.js(SELECTED_JS)) == sorted(want), "search %s selects their rows" % word)


if __name__ == "__main__":
    sys.exit(drive(__doc__, lambda args: len(args) >= 4, checks))
