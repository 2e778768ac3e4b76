#!/usr/bin/env python3
"""Drives a Quorlin table page in headless Chromium and checks that it works.

    check_page_in_browser.py PAGE.html LOCI.tsv [--screenshots DIR]

Over Chromium's DevTools pipe (Python's standard library only): one loci
table row per LOCI.tsv line with its lead id as written, in natural chromosome order; a click on the
lead_log10p header sorts descending as numbers (inf first, NA last); the
status filter shows exactly the rows of each status; a click on a row shows
its regional figure below it; at 390 px the page does not scroll sideways;
no script error; no request but the page's own file. --screenshots saves
page-1280x800.png and page-390x844.png in DIR. Without Chromium: SKIP, 0.
"""
import base64
import fcntl
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe"]
ROWS_JS = ("Array.prototype.map.call(document.querySelectorAll('#loci-table tbody tr.item'), function (r) {"
           " return {hidden: r.hidden, status: r.getAttribute('data-status'),"
           " cells: Array.prototype.map.call(r.cells, function (c) { return c.textContent; })}; })")
FILTER_JS = ("(function(){var s=document.getElementById('status-filter');s.value=%s;"
             "s.dispatchEvent(new Event('change'));})()")
FIGURE_JS = ("(function(){var r=document.querySelector('#loci-table tbody tr.item:is([data-fig],[data-reg])'),d=r.nextElementSibling;"
             "var s=d&&d.classList.contains('detail')&&!d.hidden&&d.querySelector('svg');if(!s)return null;"
             "var b=s.getBoundingClientRect();return {w:b.width,h:b.height,lead:r.getAttribute('data-lead'),"
             "title:s.querySelector('title').textContent};})()")


class Browser:
    """One Chromium and one page session; Chromium reads fd 3 and writes fd 4."""

    def __init__(self, binary, profile):
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()

        def wire():
            high = [fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (to_r, from_w)]
            os.dup2(high[0], 3)
            os.dup2(high[1], 4)
        self.proc = subprocess.Popen([binary] + FLAGS + ["--user-data-dir=" + profile, "about:blank"],
                                     preexec_fn=wire, close_fds=False,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_r)
        os.close(from_w)
        self.buffer, self.last, self.events, self.session = b"", 0, [], None
        page = next(t for t in self.call("Target.getTargets")["targetInfos"] if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", targetId=page["targetId"], flatten=True)["sessionId"]

    def close(self):
        self.proc.kill()
        self.proc.wait()  # its profile folder is removed only after it has gone

    def open(self, path):
        """Loads the page file at 1280 x 800, recording its requests and script errors."""
        for domain in ("Page", "Network", "Runtime"):
            self.call(domain + ".enable")
        self.resize(1280, 800)
        self.call("Page.navigate", url="file://" + os.path.abspath(path))
        self.wait_for("Page.loadEventFired")

    def resize(self, width, height):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                  mobile=width < 600)

    def screenshot(self, folder, name):
        """Saves the viewport as folder/name; nothing without a folder."""
        if folder:
            os.makedirs(folder, exist_ok=True)
            path = os.path.join(folder, name)
            with open(path, "wb") as png:
                png.write(base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"]))
            print("saved", path)

    def check_offline(self, check):
        """No script error happened, and the page asked for nothing but its own file."""
        errors = [e["params"]["exceptionDetails"] for e in self.events if e.get("method") == "Runtime.exceptionThrown"]
        check(not errors, "no script error %s" % errors)
        requests = [e["params"]["request"]["url"] for e in self.events
                    if e.get("method") == "Network.requestWillBeSent"]
        outside = [u for u in requests if not u.startswith(("file:", "data:", "about:"))]
        check(requests and not outside, "%d requests, to anything but the page's file: %s"
              % (len(requests), [urllib.parse.unquote(u)[:80] for u in outside]))

    def receive(self, deadline):
        while b"\0" not in self.buffer:
            if time.time() > deadline:
                raise TimeoutError("no answer from Chromium")
            chunk = os.read(self.from_r, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, **params):
        self.last += 1
        message = {"id": self.last, "method": method, "params": params}
        if self.session:
            message["sessionId"] = self.session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        deadline = time.time() + 60
        while True:
            answer = self.receive(deadline)
            if answer.get("id") != self.last:
                self.events.append(answer)
            elif "error" in answer:
                raise RuntimeError("%s: %s" % (method, answer["error"]))
            else:
                return answer.get("result", {})

    def wait_for(self, method):
        deadline = time.time() + 60
        while not any(e.get("method") == method for e in self.events):
            self.events.append(self.receive(deadline))

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError("script failed: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def click(self, selector):
        """A real mouse click in the middle of the first element that matches."""
        x, y = self.js("(function(){var e=document.querySelector(%s);e.scrollIntoView({block:'center'});"
                       "var r=e.getBoundingClientRect();return [r.left+r.width/2,r.top+r.height/2];})()"
                       % json.dumps(selector))
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)


def take_option(args, word):
    """args without "word VALUE", and VALUE (None when absent)."""
    if word in args[:-1]:
        at = args.index(word)
        return args[:at] + args[at + 2:], args[at + 1]
    return args, None


def chromium():
    """Debian's chromium; None (after printing SKIP) where it is not installed."""
    binary = shutil.which("chromium") or shutil.which("chromium-browser")
    if not binary:
        print("SKIP: chromium is not installed")
    return binary


def read_tsv(path):
    """The fields of each non-blank line of a TSV file."""
    return [l.split("\t") for l in open(path, encoding="utf-8").read().split("\n") if l.strip()]


class Checks:
    """Prints each check as it is made; verdict() gives the exit status."""

    def __init__(self):
        self.failures = []

    def __call__(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        self.failures.extend([] if ok else [what])

    def verdict(self):
        print("PASS" if not self.failures else "FAIL: " + "; ".join(self.failures))
        return 1 if self.failures else 0


def natural_rank(name):
    """1..22, X 23, Y 24, XY 25, MT 26 (with or without chr); other names after them."""
    key = name[3:] if name.lower().startswith("chr") and len(name) > 3 else name
    key = key.upper()
    named = {"X": 23, "Y": 24, "XY": 25, "M": 26, "MT": 26}
    if key.isdigit() and 1 <= int(key) <= 22:
        return int(key)
    return named.get(key, 1000)


def strength(text):
    """lead_log10p as the page ranks it: inf largest; NA, . and other text: None (last)."""
    try:
        value = float(text)
        return None if math.isnan(value) else value
    except ValueError:
        return None


def checks(browser, args, shots, check):
    lines = read_tsv(args[1])
    col = {name: i + 1 for i, name in reversed(list(enumerate(lines[0])))}  # + the figure button's column
    loci = [[""] + l for l in lines[1:]]
    rows = browser.js(ROWS_JS)
    check(len(rows) == len(loci), "loci table: %d rows for %d loci lines" % (len(rows), len(loci)))
    check(sorted(r["cells"][col["lead_id"]] for r in rows) == sorted(l[col["lead_id"]] for l in loci),
          "lead ids shown as written in the loci table")
    ranks = [natural_rank(r["cells"][col["chrom"]]) for r in rows]
    check(ranks == sorted(ranks), "loci rows in natural chromosome order: %s"
          % [r["cells"][col["chrom"]] for r in rows])

    browser.click("#loci-table th[data-col='%d'] button" % col["lead_log10p"])
    values = [strength(r["cells"][col["lead_log10p"]]) for r in browser.js(ROWS_JS)]
    known = [v for v in values if v is not None]
    check(values == sorted(known, reverse=True) + [None] * (len(values) - len(known)),
          "lead_log10p sorts descending as numbers, NA last: %s" % values)

    for status in sorted({l[col["status"]] for l in loci}):
        browser.js(FILTER_JS % json.dumps(status))
        shown = [r for r in browser.js(ROWS_JS) if not r["hidden"]]
        want = sum(1 for l in loci if l[col["status"]] == status)
        check(len(shown) == want and all(r["status"] == status for r in shown),
              "status filter %s: %d rows shown, %d expected" % (status, len(shown), want))
    browser.js(FILTER_JS % "''")

    browser.click("#loci-table tbody tr.item:is([data-fig],[data-reg]) td:nth-child(%d)" % (1 + col["lead_id"]))
    figure = browser.js(FIGURE_JS)
    check(bool(figure) and figure["w"] > 300 and figure["h"] > 150
          and figure["title"].startswith(figure["lead"]),
          "a clicked row shows its regional figure below it: %s" % figure)

    for width, height in ((1280, 800), (390, 844)):
        browser.resize(width, height)
        browser.js("window.scrollTo(0, 0)")
        wide = browser.js("document.documentElement.scrollWidth")
        check(wide <= width, "at %dx%d the page is %d px wide" % (width, height, wide))
        browser.screenshot(shots, "page-%dx%d.png" % (width, height))


def drive(doc, enough, checks):
    """The exit status of a check script: with its arguments (PAGE first, and
    --screenshots DIR) right, the page opened in Chromium, checks(browser,
    args, shots, check) run, and no script error or outside request; 2 with
    the arguments wrong; 0 without Chromium."""
    args, shots = take_option(sys.argv[1:], "--screenshots")
    if not enough(args):
        print(doc)
        return 2
    binary = chromium()
    if not binary:
        return 0
    check = Checks()
    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as work:
        browser = Browser(binary, os.path.join(work, "profile"))
        try:
            browser.open(args[0])
            checks(browser, args, shots, check)
            browser.check_offline(check)
        finally:
            browser.close()
    return check.verdict()


if __name__ == "__main__":
    sys.exit(drive(__doc__, lambda args: len(args) == 2, checks))
