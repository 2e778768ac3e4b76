#!/usr/bin/env python3
"""Drives a Quorlin table page in headless Chromium and checks it works.

    check_page_in_browser.py PAGE.html LOCI.tsv [--screenshots DIR]

Talks to Debian's Chromium over its DevTools pipe (no other package) and
checks that: the loci table has one row per line of LOCI.tsv, with the lead
ids as written there; clicking the lead_log10p header sorts the rows by that
number, descending (inf first, NA and . last); the status filter shows
exactly the rows of the chosen status; clicking a row shows its regional
figure right below it; at 390 px the page itself does not scroll sideways;
no script error occurs; and the page requests nothing but its own file.
With --screenshots, saves page-1280x800.png and page-390x844.png in DIR.
Prints SKIP and exits 0 without Chromium or Python's standard library parts.
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

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe"]


class Browser:
    """One Chromium process and one page session over the DevTools pipe."""

    def __init__(self, binary, profile):
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()

        def wire():  # Chromium reads commands on fd 3 and answers on fd 4
            high = [fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (to_r, from_w)]
            os.dup2(high[0], 3)
            os.dup2(high[1], 4)
        self.proc = subprocess.Popen([binary] + FLAGS + ["--user-data-dir=" + profile, "about:blank"],
                                     preexec_fn=wire, close_fds=False,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_r)
        os.close(from_w)
        self.buffer, self.next_id, self.events, self.session = b"", 0, [], None
        targets = self.call("Target.getTargets")["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", targetId=page["targetId"], flatten=True)["sessionId"]

    def read_message(self, deadline):
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
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if self.session and not method.startswith("Target."):
            message["sessionId"] = self.session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        deadline = time.time() + 60
        while True:
            answer = self.read_message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def wait_event(self, method, seconds=60):
        deadline = time.time() + seconds
        while True:
            for i, event in enumerate(self.events):
                if event.get("method") == method:
                    return self.events.pop(i)
            self.events.append(self.read_message(deadline))

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError("script failed: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def click(self, selector):
        """A real mouse click in the middle of the first element matching selector."""
        box = self.js("(function(){var e=document.querySelector(%s);e.scrollIntoView({block:'center'});"
                      "var r=e.getBoundingClientRect();return [r.left+r.width/2,r.top+r.height/2];})()"
                      % json.dumps(selector))
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=box[0], y=box[1], button="left", clickCount=1)

    def viewport(self, width, height, mobile):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                  mobile=mobile)

    def close(self):
        self.proc.kill()
        self.proc.wait()


def strength(text):
    """lead_log10p as the page should rank it: inf largest, NA and . (and non-numbers) last."""
    t = text.strip()
    if t in ("inf", "+inf", "Inf"):
        return math.inf
    try:
        value = float(t)
        return None if math.isnan(value) else value
    except ValueError:
        return None


def read_loci(path):
    lines = [line for line in open(path, encoding="utf-8").read().split("\n") if line.strip()]
    header = lines[0].split("\t")
    return header, [line.split("\t") for line in lines[1:]]


ROWS_JS = ("Array.prototype.map.call(document.querySelectorAll('#loci tbody tr.item'), function (r) {"
           " return {hidden: r.hidden, lead: r.getAttribute('data-lead'), status: r.getAttribute('data-status'),"
           " cells: Array.prototype.map.call(r.cells, function (c) { return c.textContent; })}; })")


def main():
    args = sys.argv[1:]
    shots = None
    if "--screenshots" in args:
        i = args.index("--screenshots")
        shots = args[i + 1]
        del args[i:i + 2]
    if len(args) != 2:
        print(__doc__)
        return 2
    page_path, loci_path = (os.path.abspath(a) for a in args)
    binary = shutil.which("chromium") or shutil.which("chromium-browser")
    if not binary:
        print("SKIP: chromium is not installed")
        return 0
    header, loci = read_loci(loci_path)
    col = {name: i for i, name in reversed(list(enumerate(header)))}
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as work:
        browser = Browser(binary, os.path.join(work, "profile"))
        try:
            for domain in ("Page", "Network", "Runtime"):
                browser.call(domain + ".enable")
            browser.viewport(1280, 800, False)
            browser.call("Page.navigate", url="file://" + page_path)
            browser.wait_event("Page.loadEventFired")

            rows = browser.js(ROWS_JS)
            check(len(rows) == len(loci), "loci table: %d rows for %d loci lines" % (len(rows), len(loci)))
            check([r["cells"][1 + col["lead_id"]] for r in rows] == [l[col["lead_id"]] for l in loci],
                  "lead ids shown as written in the loci table")

            browser.click("#loci th[data-col='%d'] button" % (1 + col["lead_log10p"]))
            values = [strength(r["cells"][1 + col["lead_log10p"]]) for r in browser.js(ROWS_JS)]
            known = [v for v in values if v is not None]
            check(known == sorted(known, reverse=True) and values == known + [None] * (len(values) - len(known)),
                  "lead_log10p sorts descending as numbers, NA last")

            statuses = sorted({l[col["status"]] for l in loci})
            for status in statuses:
                browser.js("(function(){var s=document.getElementById('status-filter');s.value=%s;"
                           "s.dispatchEvent(new Event('change'));})()" % json.dumps(status))
                shown = [r for r in browser.js(ROWS_JS) if not r["hidden"]]
                want = sum(1 for l in loci if l[col["status"]] == status)
                check(len(shown) == want and all(r["status"] == status for r in shown),
                      "status filter %s: %d rows shown, %d expected" % (status, len(shown), want))
            browser.js("(function(){var s=document.getElementById('status-filter');s.value='';"
                       "s.dispatchEvent(new Event('change'));})()")

            browser.click("#loci tbody tr.item[data-fig] td:nth-child(%d)" % (2 + col["lead_id"]))
            figure = browser.js("(function(){var r=document.querySelector('#loci tbody tr.item[data-fig]');"
                                "var d=r.nextElementSibling;if(!d||!d.classList.contains('detail')||d.hidden)"
                                "return null;var s=d.querySelector('svg');if(!s)return null;"
                                "var b=s.getBoundingClientRect();return {w:b.width,h:b.height,"
                                "lead:r.getAttribute('data-lead'),title:s.querySelector('title').textContent};})()")
            check(bool(figure) and figure["w"] > 300 and figure["h"] > 150
                  and figure["title"].startswith(figure["lead"]),
                  "a clicked row shows its regional figure below it: %s" % figure)

            if shots:
                os.makedirs(shots, exist_ok=True)
            for width, height, mobile in ((1280, 800, False), (390, 844, True)):
                browser.viewport(width, height, mobile)
                browser.js("window.scrollTo(0, 0)")
                overflow = browser.js("document.documentElement.scrollWidth")
                check(overflow <= width, "at %dx%d the page is %d px wide" % (width, height, overflow))
                if shots:
                    png = browser.call("Page.captureScreenshot", format="png")["data"]
                    name = os.path.join(shots, "page-%dx%d.png" % (width, height))
                    open(name, "wb").write(base64.b64decode(png))
                    print("saved", name)

            browser.call("Runtime.evaluate", expression="0")  # collects the events still in the pipe
            errors = [e for e in browser.events if e.get("method") == "Runtime.exceptionThrown"]
            check(not errors, "no script error %s" % [e["params"]["exceptionDetails"].get("text") for e in errors])
            requests = [e["params"]["request"]["url"] for e in browser.events
                        if e.get("method") == "Network.requestWillBeSent"]
            outside = [u for u in requests if not u.startswith(("file:", "data:", "about:"))]
            check(not outside and requests, "requests: %d, to anything but the page's file: %s"
                  % (len(requests), outside))
        finally:
            browser.close()
    print("PASS" if not failures else "FAIL: " + "; ".join(failures))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
