#!/usr/bin/env python3
"""Drives the interactive views of a Quorlin table page in headless Chromium.

    check_view_in_browser.py PAGE.html LOCI.tsv GENE [--screenshots DIR]

Checks, with real mouse events over Chromium's DevTools pipe: a hover over
the strongest marker shows its id and p; a click on a chromosome's label
zooms to it and only its markers are drawn; searching GENE selects exactly
the loci table rows whose genes column names it; searching the strongest
marker's id rings it; a click on a locus mark opens the regional view with
that locus's lead in its title; both figures export as well-formed SVG; at
390 px the page does not scroll sideways; no script error; no request but
the page's own file. Without Chromium: SKIP, 0.
"""
import json
import os
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_page_in_browser import drive, read_tsv  # noqa: E402

DATA_JS = "JSON.parse(document.getElementById('view-data').textContent)"
POINT_JS = """(function(chrom){
  var p=document.querySelector('#manhattan-view path.points[data-chrom="'+chrom+'"]');
  var svg=p.ownerSVGElement, r=svg.getBoundingClientRect(), s=r.width/svg.viewBox.baseVal.width;
  var m=/M([-\\d.]+) ([-\\d.]+)/.exec(p.getAttribute('d'));
  return [r.left+Number(m[1])*s, r.top+Number(m[2])*s];})(%s)"""
EXPORT_JS = """(function(){var a=document.getElementById('export-link');if(!a)return null;
  return decodeURIComponent(a.href.replace(/^data:image\\/svg\\+xml;charset=utf-8,/,''));})()"""


def checks(browser, args, shots, check):
    browser.call("Browser.setDownloadBehavior", behavior="deny")
    gene = args[2]
    lines = read_tsv(args[1])
    col = {name: i for i, name in reversed(list(enumerate(lines[0])))}

    def exported(browser, selector):
        browser.js("var a=document.getElementById('export-link');if(a)a.removeAttribute('href')")
        browser.click(selector)
        text = browser.js(EXPORT_JS)
        try:
            root = ET.fromstring(text.encode("utf-8"))
            return root.tag == "{http://www.w3.org/2000/svg}svg" and len(list(root.iter())) > 10
        except (ET.ParseError, AttributeError):
            return False

    data = browser.js(DATA_JS)
    chroms = data["chroms"]
    pts = browser.js("(function(){var P=window.quorlinView.points;"
                     "return {c:P.c,x:P.x,y:P.y.map(function(y){return isFinite(y)?y:1e9}),p:P.p,id:P.id}})()")
    check(len(pts["x"]) > 0, "the view holds %d points" % len(pts["x"]))

    # Hover: the first drawn point of the strongest marker's chromosome.
    strongest = max(range(len(pts["y"])), key=lambda i: pts["y"][i] if pts["y"][i] is not None else -1)
    chrom = chroms[pts["c"][strongest]]["n"]
    first = next(i for i in range(len(pts["c"])) if pts["c"][i] == pts["c"][strongest])
    browser.js("document.getElementById('manhattan-view').scrollIntoView()")
    x, y = browser.js(POINT_JS % json.dumps(chrom))
    browser.call("Input.dispatchMouseEvent", type="mouseMoved", x=x, y=y)
    card = browser.js("(function(){var t=document.getElementById('tooltip');return t.hidden?'':t.textContent})()")
    check(pts["id"][first] in card and "p = " + pts["p"][first] in card,
          "hover over %s shows its id and p: %r" % (pts["id"][first], card))

    # Zoom to one chromosome by its label.
    browser.click("#manhattan-view text.chrom[data-c='%d']" % pts["c"][strongest])
    drawn = browser.js("Array.prototype.map.call(document.querySelectorAll('#manhattan-view path.points'),"
                       "function(p){return p.getAttribute('data-chrom')})")
    want = sum(1 for c in pts["c"] if c == pts["c"][strongest])
    count = browser.js("Array.prototype.reduce.call(document.querySelectorAll('#manhattan-view path.points'),"
                       "function(n,p){return n+Number(p.getAttribute('data-n'))},0)")
    check(drawn == [chrom] and count == want,
          "zoom to %s draws only its %d markers: %s, %s" % (chrom, want, drawn, count))
    browser.screenshot(shots, "view-zoomed-1280x800.png")
    browser.click("#reset-zoom")

    # Gene search: the loci whose genes column names it.
    def search(text):
        browser.js("(function(){var s=document.getElementById('search');s.value=%s;"
                   "s.dispatchEvent(new Event('change'));})()" % json.dumps(text))
    search(gene)
    selected = browser.js("Array.prototype.map.call(document.querySelectorAll("
                          "'#loci-table tr.item[aria-selected=true]'),function(r){return r.getAttribute('data-lead')})")
    want = [l[col["lead_id"]] for l in lines[1:] if gene in l[col["genes"]].split(",")]
    check(want and sorted(selected) == sorted(want),
          "search %s selects the loci rows holding it: %s, want %s" % (gene, selected, want))
    browser.screenshot(shots, "view-search-1280x800.png")

    # rsID search rings the marker.
    marker = pts["id"][strongest]
    search(marker)
    rings = browser.js("document.querySelectorAll('#manhattan-view circle.hit').length")
    status = browser.js("document.getElementById('search-status').textContent")
    check(rings >= 1 and "1 marker" in status, "search %s rings it: %d, %r" % (marker, rings, status))
    search("")
    browser.click("#reset-zoom")

    # A locus mark opens the regional view with its lead in the title.
    k = browser.js("(function(){var m=document.querySelectorAll('#manhattan-view .locus-mark');"
                   "for(var i=0;i<m.length;i++){var k=Number(m[i].getAttribute('data-k'));"
                   "if(window.quorlinRegional.has(k))return k;}return -1})()")
    check(k >= 0, "a locus mark with a regional figure")
    if k >= 0:
        browser.click("#manhattan-view .locus-mark[data-k='%d']" % k)
        title = browser.js("(function(){var t=document.querySelector('#regional-view svg title');"
                           "return t?t.textContent:''})()")
        lead = data["loci"][k]["id"]
        check(lead and title.startswith(lead), "the locus mark opens %s: %r" % (lead, title))
        check(exported(browser, "#regional-view button.export"), "the regional view exports well-formed SVG")
        browser.click("#regional-view button.next")
        check(browser.js("document.querySelector('#regional-view svg').getAttribute('data-k')") != str(k),
              "the next-locus control steps to another locus")
    check(exported(browser, "button.export[data-figure='manhattan-view']"),
          "the Manhattan view exports well-formed SVG")

    browser.resize(390, 844)
    browser.js("window.scrollTo(0, 0)")
    browser.js("window.dispatchEvent(new Event('resize'))")
    wide = browser.js("document.documentElement.scrollWidth")
    check(wide <= 390, "at 390 px the page is %d px wide" % wide)
    browser.click("#manhattan-view text.chrom[data-c='%d']" % pts["c"][strongest])
    check(browser.js("document.getElementById('manhattan-view').getAttribute('data-view')") == chrom,
          "at 390 px a chromosome label zooms to it")
    browser.screenshot(shots, "view-zoomed-390x844.png")


if __name__ == "__main__":
    sys.exit(drive(__doc__, lambda args: len(args) == 3, checks))
