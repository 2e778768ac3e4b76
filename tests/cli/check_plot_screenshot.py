#!/usr/bin/env python3
"""Renders a Quorlin figure in a real browser and checks the picture.

    check_plot_screenshot.py FIGURE.svg

Takes a headless Chromium screenshot of the SVG and checks that the PNG
exists with the window's size, is not blank (many distinct colours) and shows
the first peak band's colour as the browser blends it over white. Exits 77
(skipped) when Chromium is not installed.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH, HEIGHT = 1600, 900


def read_png(path):
    """Width, height and rows of RGB pixels of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG layout %s" % (header,)
    channels = 3 if colour == 2 else 4
    raw, stride, rows, previous = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def band_colour(svg):
    match = re.search(r'class="peak-band"[^>]*fill="#([0-9a-f]{6})" fill-opacity="([0-9.]+)"', svg)
    assert match, "the figure has no peak band"
    rgb, alpha = bytes.fromhex(match.group(1)), float(match.group(2))
    return tuple(round(255 + alpha * (c - 255)) for c in rgb)


def main():
    figure = sys.argv[1]
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        print("SKIP: chromium not installed")
        return 77
    with tempfile.TemporaryDirectory() as work:
        png = os.path.join(work, "figure.png")
        subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync", "--no-first-run",
                        "--user-data-dir=" + os.path.join(work, "profile"), "--screenshot=" + png,
                        "--window-size=%d,%d" % (WIDTH, HEIGHT), "file://" + os.path.abspath(figure)],
                       check=True, capture_output=True, timeout=120)
        width, height, rows = read_png(png)
    colours = {pixel for row in rows for pixel in row}
    band = band_colour(open(figure, encoding="utf-8").read())
    near = any(all(abs(a - b) <= 3 for a, b in zip(pixel, band)) for pixel in colours)
    print("screenshot %dx%d, %d colours, band colour %s %s" % (width, height, len(colours), band,
                                                              "present" if near else "MISSING"))
    ok = (width, height) == (WIDTH, HEIGHT) and len(colours) >= 20 and near
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
