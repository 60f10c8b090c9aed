#!/usr/bin/env python3
"""Writes the small PDF files beside this script that the PDF page tests open.

    /usr/bin/python3 tests/data/pdf/make_fixtures.py

Needs Debian's python3-cairo and qpdf (for the encrypted files); README.md beside this script
says what each file holds and where. Cairo output is reproducible (fixed creation date); the
encrypted files are not byte for byte (qpdf draws new salts and keys each time), but hold the
same pages and passwords. Run by developers when a fixture changes, never by the build.
"""
import os
import math
import random
import subprocess
import sys
import tempfile

import cairo

HERE = os.path.dirname(os.path.abspath(__file__))
FIXED_DATE = "2024-01-01T00:00:00"
USER_PASSWORD, OWNER_PASSWORD = "secret", "owner"


def surface(path, width, height):
    s = cairo.PDFSurface(path, width, height)
    s.set_metadata(cairo.PDFMetadata.CREATE_DATE, FIXED_DATE)
    s.set_metadata(cairo.PDFMetadata.CREATOR, "Korvane tests/data/pdf/make_fixtures.py")
    return s


def filled_rect(cr, rgb, x0, y0, x1, y1):
    cr.set_source_rgb(*rgb)
    cr.rectangle(x0, y0, x1 - x0, y1 - y0)
    cr.fill()


def three_pages(path):
    """A4 portrait, US letter landscape and a small page, each with its own drawing."""
    s = surface(path, 595, 842)
    cr = cairo.Context(s)
    # page 1: black diagonal 4 pt wide from (100,100) to (500,700); red rectangle
    cr.set_source_rgb(0, 0, 0)
    cr.set_line_width(4)
    cr.set_line_cap(cairo.LINE_CAP_BUTT)
    cr.move_to(100, 100)
    cr.line_to(500, 700)
    cr.stroke()
    filled_rect(cr, (1, 0, 0), 350, 100, 500, 250)
    cr.show_page()
    # page 2: blue disc, centre (396,306), radius 150
    s.set_size(792, 612)
    cr.set_source_rgb(0, 0, 1)
    cr.arc(396, 306, 150, 0, 2 * 3.141592653589793)
    cr.fill()
    cr.show_page()
    # page 3: green square in the right half
    s.set_size(200, 100)
    filled_rect(cr, (0, 1, 0), 120, 20, 180, 80)
    cr.show_page()
    s.finish()


def one_page(path, rgb):
    """200 x 200 pt, a filled square from (50,50) to (150,150)."""
    s = surface(path, 200, 200)
    cr = cairo.Context(s)
    filled_rect(cr, rgb, 50, 50, 150, 150)
    cr.show_page()
    s.finish()


def sixty_pages(path):
    """60 pages of 200 x 150 pt: "Page N" and a black bar whose length tells N. Cairo writes
    each page's objects on their own (43 KB); qpdf packs them into object streams (17 KB)."""
    s = surface(path, 200, 150)
    cr = cairo.Context(s)
    cr.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(24)
    for n in range(1, 61):
        cr.set_source_rgb(0, 0, 0)
        cr.move_to(10, 40)
        cr.show_text("Page %d" % n)
        filled_rect(cr, (0, 0, 0), 10, 120, 10 + 3 * n, 130)
        cr.show_page()
    s.finish()


def figure(path):
    """A 5 x 4 in chart: a 1 pt frame whose outer edges are x = 54, 342 and y = 36, 252 (the line
    lies wholly inside that box, on whole pixels at 72 dpi), tick marks outside it and a black
    1 pt sine y = 144 - 72 sin(2 pi (x - 54) / 144) from x = 60 to 336."""
    s = surface(path, 360, 288)
    cr = cairo.Context(s)
    cr.set_source_rgb(0, 0, 0)
    cr.set_line_width(1)
    cr.set_line_cap(cairo.LINE_CAP_BUTT)
    cr.set_line_join(cairo.LINE_JOIN_MITER)
    cr.rectangle(54.5, 36.5, 287, 215)
    cr.stroke()
    for k in range(1, 8):
        cr.move_to(54.5 + 36 * k, 252)
        cr.line_to(54.5 + 36 * k, 256)
    for k in range(1, 6):
        cr.move_to(54, 36.5 + 36 * k)
        cr.line_to(50, 36.5 + 36 * k)
    cr.stroke()
    cr.set_line_join(cairo.LINE_JOIN_ROUND)
    for i in range(553):  # 0.5 pt steps
        x = 60 + 0.5 * i
        y = 144 - 72 * math.sin(2 * math.pi * (x - 54) / 144)
        if i == 0:
            cr.move_to(x, y)
        else:
            cr.line_to(x, y)
    cr.stroke()
    cr.show_page()
    s.finish()


def no_pages(path):
    """A valid PDF whose page tree is empty, with a correct cross-reference table."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [] /Count 0 >>"]
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n" % (len(objects) + 1)
    out += b"0000000000 65535 f \n"
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


def encrypt(source, target, user, owner, bits, restrictions=()):
    subprocess.run(["qpdf", "--encrypt", user, owner, str(bits), *restrictions, "--", source, target],
                   check=True)


def main():
    if subprocess.run(["which", "qpdf"], capture_output=True).returncode != 0:
        sys.exit("make_fixtures.py: qpdf is missing (apt-get install qpdf)")
    three = os.path.join(HERE, "three_pages.pdf")
    three_pages(three)
    with tempfile.TemporaryDirectory() as work:
        red, blue = os.path.join(work, "red.pdf"), os.path.join(work, "blue.pdf")
        one_page(red, (1, 0, 0))
        one_page(blue, (0, 0, 1))
        encrypt(red, os.path.join(HERE, "encrypted_user.pdf"), USER_PASSWORD, OWNER_PASSWORD, 256)
        encrypt(blue, os.path.join(HERE, "encrypted_owner_only.pdf"), "", OWNER_PASSWORD, 128,
                ["--use-aes=y", "--print=none", "--extract=n", "--modify=none"])
    no_pages(os.path.join(HERE, "no_pages.pdf"))
    with open(three, "rb") as f:
        data = f.read()
    with open(os.path.join(HERE, "truncated.pdf"), "wb") as f:
        f.write(data[:len(data) // 2])
    with open(os.path.join(HERE, "damaged.pdf"), "wb") as f:
        garbage = bytes(random.Random(20240101).getrandbits(8) for _ in range(2048))
        f.write(b"%PDF-1.5\n" + garbage)
    with tempfile.TemporaryDirectory() as work:
        plain = os.path.join(work, "sixty.pdf")
        sixty_pages(plain)
        subprocess.run(["qpdf", "--object-streams=generate", "--compression-level=9", "--recompress-flate",
                        "--deterministic-id", plain, os.path.join(HERE, "sixty_pages.pdf")], check=True)
    figure(os.path.join(HERE, "figure.pdf"))
    for name in sorted(os.listdir(HERE)):
        if name.endswith(".pdf"):
            print("%-26s %6d bytes" % (name, os.path.getsize(os.path.join(HERE, name))))


if __name__ == "__main__":
    main()
