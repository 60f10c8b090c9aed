#!/usr/bin/env python3
"""Vector PDF charts with exact truth, for following curves on PDF pages.

Draws the curves of some cases of the shared chart benchmark (../shared/bench/cases) again as
one-page vector PDFs, with two independent producers: matplotlib's PDF backend and Cairo
(pycairo's PDFSurface). Each PDF gets a case folder OUTDIR/<case>_<producer>/ holding the PDF and
a truth.json in the benchmark's format ("korvane-bench-truth/1") that describes the page as
rendered at --dpi: `width`/`height` of the rendered page, `image` = the PDF, the extra field
`"pdf": {"page": 1, "dpi": D}`, axes whose whole reference pixels carry their values exactly at
their centres, and for each curve the polyline that was drawn (`truth`), its colour, width in
rendered pixels and a start pixel on the stroke. bench/accuracy.py passes `--page` and `--dpi`
to `korvane-cli follow` for such cases.

Cases: p01, p02, p03 (log Y, grid), p04 (log-log, interior reference values), p05 (X reversed),
p06 (same-colour crossings) and p11 (non-functional: ellipse, spiral); curves keep their real
values and colours and are stroked 0.72-1.44 pt wide (3-6 px at 300 dpi).

The page (6 x 4.5 in) and the plot box are laid out in whole pixels at --dpi first; points are
pixels * 72 / dpi. matplotlib draws with simplification and snapping off into axes placed
exactly on that box (its transData is checked against the plan) and writes six decimals; Cairo
keeps path coordinates in 1/256 pt, drops a vertex where the path goes straight on, and writes
three decimals. Each producer gets vertices already on its grid, so the truth is exactly what
the PDF holds: every curve is read back from the content stream and compared (< 1e-7 px).
--check also renders each page with pdftoppm (poppler-utils) and measures, per curve: the
distance from each truth point to the nearest pixel centre of the curve's colour, the offset
of the colour-weighted ink centroid across the stroke (median, and as one shift of the whole
curve), stray ink of the curve's colour in the plot box away from the truth, the start pixel's
colour, and the frame and grid lines' positions against the axes. --dpi goes from 150 up.

    /usr/bin/python3 bench/pdf_charts.py OUTDIR [--dpi 300] [--cases DIR] [--only CASE...] [--check]
    /usr/bin/python3 bench/accuracy.py --enhanced --cases OUTDIR

Needs Debian's python3-matplotlib, python3-numpy, python3-cairo; --check also python3-pil and
poppler-utils.
"""
import argparse
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zlib

import numpy as np

import matplotlib

matplotlib.use("pdf")
from matplotlib.figure import Figure  # noqa: E402

import cairo  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED_CASES = os.path.normpath(os.path.join(ROOT, "..", "shared", "bench", "cases"))

matplotlib.rcParams.update({
    "path.simplify": False,        # every truth vertex is drawn
    "path.snap": False,            # nothing is moved to the pixel grid
    "lines.solid_capstyle": "butt",
    "lines.solid_joinstyle": "round",
    "font.family": "DejaVu Sans",
    "savefig.bbox": None,          # the page is the figure, never a tight box
    "figure.autolayout": False,
})

TOL = 0.1 * 765.0          # the follower's default colour tolerance (Euclidean RGB distance)
PAGE_IN = (6.0, 4.5)       # page size, inches
BOX_IN = (0.8, 0.4, 0.2, 0.7)  # plot box margins (left, top, right, bottom), inches
FRAME_PT = 0.72            # frame line (3 px at 300 dpi)
GRID_PT = 0.24             # grid lines (1 px at 300 dpi)
TICK_PT = 3.5              # tick marks, outwards
FONT_PT = 9.0
FIXED_DATE = "2024-01-01T00:00:00"  # both producers write no clock time: the output is reproducible

# The charts: axis limits, labels and grid per case; the reference values, the log flags and the
# curves come from the case's truth.json.
CHARTS = {
    "p01_clean_black_1px": dict(xlim=(0, 10), ylim=(0, 5), xlabel="Time (s)", ylabel="Amplitude (V)"),
    "p02_colour_aa_curves": dict(xlim=(0, 13), ylim=(-1, 1.5), xlabel="x", ylabel="response"),
    "p03_log_y_grid": dict(xlim=(0, 50), ylim=(1e-3, 1e3), xlabel="Time (min)",
                           ylabel="Concentration (mg/l)",
                           grid=dict(color=(200, 200, 200), minor_color=(228, 228, 228))),
    "p04_log_log": dict(xlim=(1, 1e4), ylim=(1e-3, 1e1), xlabel="Frequency (Hz)", ylabel="|H|",
                        grid=dict(color=(190, 190, 190))),
    "p05_x_reversed_steep": dict(xlim=(4000, 400), ylim=(0, 100), xlabel="Wavenumber (1/cm)",
                                 ylabel="Transmittance (%)", case_expect=True),
    "p06_same_colour_crossing": dict(xlim=(0, 7), ylim=(-1.25, 1.25), xlabel="Phase (rad)",
                                     ylabel="Value", case_expect=True),
    "p11_ellipse_and_spiral": dict(xlim=(-3.5, 3.5), ylim=(-3.5, 3.5), case_expect=True),
}

DEFAULT_EXPECT = {
    "functional": "followed from start_pixel to the right end: coverage >= 0.98, mean <= 0.5 px, no outliers",
    "nonfunctional": "followed along the whole curve from start_pixel in start_direction: coverage >= 0.98, "
                     "mean <= 0.7 px, no outliers",
}


class ChartError(Exception):
    pass


def line_pt(case_width_px):
    """Stroke width in points for a curve drawn case_width_px wide in the raster case."""
    return max(0.72, 0.48 * case_width_px)


def rgb01(c):
    return tuple(v / 255.0 for v in c)


def cdist(a, b):
    return np.sqrt(((np.asarray(a, float) - np.asarray(b, float)) ** 2).sum(axis=-1))


def number(v):
    """A JSON number: an int when whole."""
    return int(round(v)) if abs(v - round(v)) < 1e-9 else round(float(v), 6)


# ---------------------------------------------------------------------------
# The planned transform, in continuous image coordinates of the page rendered at dpi
# ---------------------------------------------------------------------------

class Layout:
    def __init__(self, dpi, chart, log_x, log_y):
        self.dpi = dpi
        self.W, self.H = round(PAGE_IN[0] * dpi), round(PAGE_IN[1] * dpi)
        # pixel indices at whose centres the axis limits lie
        self.cl, self.rt = round(BOX_IN[0] * dpi), round(BOX_IN[1] * dpi)
        self.cr, self.rb = self.W - round(BOX_IN[2] * dpi), self.H - round(BOX_IN[3] * dpi)
        self.xlim, self.ylim = [float(v) for v in chart["xlim"]], [float(v) for v in chart["ylim"]]
        self.log_x, self.log_y = log_x, log_y
        # The frame and grid lines are an odd number of pixels wide at dpi: centred on pixel centres,
        # they cover whole pixels, which poppler's stroke adjustment (it moves horizontal and
        # vertical lines onto whole pixels) then leaves where they are.
        self.frame_pt = self.pt(2 * math.floor(self.px(FRAME_PT) / 2) + 1)
        self.grid_pt = self.pt(2 * math.floor(self.px(GRID_PT) / 2) + 1)
        for log, lim in ((log_x, self.xlim), (log_y, self.ylim)):
            if log and min(lim) <= 0:
                raise ChartError("log axis with limits %r" % (lim,))

    def pt(self, px):
        return px * 72.0 / self.dpi

    def px(self, pt):
        return pt * self.dpi / 72.0

    @staticmethod
    def _frac(v, lim, log):
        v = np.asarray(v, float)
        if log:
            return (np.log10(v) - math.log10(lim[0])) / (math.log10(lim[1]) - math.log10(lim[0]))
        return (v - lim[0]) / (lim[1] - lim[0])

    @staticmethod
    def _unfrac(f, lim, log):
        f = np.asarray(f, float)
        if log:
            a, b = math.log10(lim[0]), math.log10(lim[1])
            return 10.0 ** (a + f * (b - a))
        return lim[0] + f * (lim[1] - lim[0])

    def to_px(self, X, Y):
        """Real values -> continuous image coordinates (x right, y down)."""
        x = self.cl + 0.5 + self._frac(X, self.xlim, self.log_x) * (self.cr - self.cl)
        y = self.rb + 0.5 - self._frac(Y, self.ylim, self.log_y) * (self.rb - self.rt)
        return x, y

    def from_px(self, x, y):
        return (self._unfrac((np.asarray(x, float) - self.cl - 0.5) / (self.cr - self.cl), self.xlim, self.log_x),
                self._unfrac((self.rb + 0.5 - np.asarray(y, float)) / (self.rb - self.rt), self.ylim, self.log_y))

    def reference_axes(self, case_axes):
        """The case's reference values at whole pixels of this page. A value that does not fall
        on a pixel centre (another dpi) is replaced by the value at the nearest pixel centre."""
        pix, vals = [], []
        for X, Y in (case_axes["first"]["value"], case_axes["second"]["value"]):
            x, y = self.to_px(X, Y)
            c, r = float(x) - 0.5, float(y) - 0.5
            if abs(c - round(c)) > 1e-6 or abs(r - round(r)) > 1e-6:
                c, r = round(c), round(r)
                X, Y = (float(v) for v in self.from_px(c + 0.5, r + 0.5))
            pix.append([int(round(c)), int(round(r))])
            vals.append([float(X), float(Y)])
        axes = {"first": {"pixel": pix[0], "value": vals[0]},
                "skew": {"pixel": [pix[1][0], pix[0][1]]},
                "second": {"pixel": pix[1], "value": vals[1]},
                "log_x": self.log_x, "log_y": self.log_y}
        # the values at the reference pixel centres, read back through the plan
        for key, (c, r) in (("first", pix[0]), ("second", pix[1])):
            got = self.from_px(c + 0.5, r + 0.5)
            for g, want in zip(got, axes[key]["value"]):
                if abs(g - want) > 1e-9 * max(1.0, abs(want)):
                    raise ChartError("reference %s: %r at the pixel centre, not %r" % (key, float(g), want))
        return axes


def nice_ticks(lim, log):
    lo, hi = min(lim), max(lim)
    if log:
        return [10.0 ** k for k in range(math.ceil(math.log10(lo) - 1e-9), math.floor(math.log10(hi) + 1e-9) + 1)]
    raw = (hi - lo) / 5.0
    mag = 10.0 ** math.floor(math.log10(raw))
    step = min((s * mag for s in (1, 2, 2.5, 5, 10) if s * mag >= raw * 0.999), default=10 * mag)
    first = math.ceil(lo / step - 1e-9)
    return [k * step for k in range(first, math.floor(hi / step + 1e-9) + 1)]


def minor_ticks(lim, log):
    lo, hi = min(lim), max(lim)
    out = []
    if log:
        for k in range(math.floor(math.log10(lo)), math.ceil(math.log10(hi)) + 1):
            out += [m * 10.0 ** k for m in range(2, 10) if lo <= m * 10.0 ** k <= hi]
        return out
    major = nice_ticks(lim, log)
    step = (major[1] - major[0]) / 5.0
    k0 = math.ceil(lo / step - 1e-9)
    return [k * step for k in range(k0, math.floor(hi / step + 1e-9) + 1) if k % 5]


def tick_text(v):
    return "%g" % v


# ---------------------------------------------------------------------------
# Producers. Each gets the curves as real values and returns the real values it drew.
# ---------------------------------------------------------------------------

def draw_matplotlib(path, lay, chart, curves, title):
    fig = Figure(figsize=(lay.W / lay.dpi, lay.H / lay.dpi), dpi=lay.dpi, facecolor="white")
    W, H = lay.W, lay.H
    ax = fig.add_axes([(lay.cl + 0.5) / W, (H - lay.rb - 0.5) / H, (lay.cr - lay.cl) / W, (lay.rb - lay.rt) / H])
    if lay.log_x:
        ax.set_xscale("log")
    if lay.log_y:
        ax.set_yscale("log")
    ax.set_xlim(*lay.xlim)
    ax.set_ylim(*lay.ylim)
    ax.set_autoscale_on(False)
    for s in ax.spines.values():
        s.set_linewidth(lay.frame_pt)
        s.set_color("black")
    ax.tick_params(which="both", direction="out", labelsize=FONT_PT, width=lay.frame_pt)
    ax.tick_params(which="major", length=TICK_PT)
    ax.tick_params(which="minor", length=TICK_PT * 0.6)
    g = chart.get("grid")
    if g:
        ax.set_axisbelow(True)
        ax.grid(True, which="major", color=rgb01(g["color"]), linewidth=lay.grid_pt, linestyle="-")
        if g.get("minor_color"):
            ax.minorticks_on()
            ax.grid(True, which="minor", color=rgb01(g["minor_color"]), linewidth=lay.grid_pt, linestyle="-")
    if chart.get("xlabel"):
        ax.set_xlabel(chart["xlabel"], fontsize=FONT_PT + 1)
    if chart.get("ylabel"):
        ax.set_ylabel(chart["ylabel"], fontsize=FONT_PT + 1)
    ax.set_title(title, fontsize=FONT_PT + 1)
    drawn = []
    for z, c in enumerate(curves):
        # the PDF backend writes path coordinates (pt, y up) with six decimals: the curve is given
        # to it on that grid, so that what it writes is the truth exactly (no rounding ties)
        x, y = lay.to_px(c["X"], c["Y"])
        x = lay.px(matplotlib_written(lay.pt(x)))
        y = H - lay.px(matplotlib_written(lay.pt(H) - lay.pt(y)))
        X, Y = lay.from_px(x, y)
        if c.get("closed"):
            X[-1], Y[-1] = X[0], Y[0]
        ax.plot(X, Y, color=rgb01(c["color"]), linewidth=c["width_pt"], solid_capstyle="butt",
                solid_joinstyle="round", antialiased=True, zorder=3 + z)
        # matplotlib's display coordinates at the figure's dpi: y up from the page bottom
        d = ax.transData.transform(np.column_stack([X, Y]))
        err = max(np.abs(d[:, 0] - x).max(), np.abs(d[:, 1] - (H - y)).max())
        if err > 1e-6:
            raise ChartError("matplotlib's transData is %.3g px off the planned transform" % err)
        drawn.append((X, Y))
    for X, Y in ((lay.xlim[0], lay.ylim[0]), (lay.xlim[1], lay.ylim[1])):
        d = ax.transData.transform((X, Y))
        x, y = lay.to_px(X, Y)
        if abs(d[0] - x) > 1e-6 or abs(d[1] - (H - y)) > 1e-6:
            raise ChartError("matplotlib's axes are not on the planned box")
    fig.savefig(path, format="pdf", dpi=lay.dpi, facecolor="white",
                metadata={"CreationDate": None, "Creator": "Korvane bench/pdf_charts.py"})
    return drawn, "matplotlib %s (pdf backend)" % matplotlib.__version__


def matplotlib_written(pt):
    """What matplotlib's PDF backend writes for a path coordinate (pt): six decimals."""
    return np.array([float("%.6f" % v) for v in pt])


def cairo_written(xs, ys, functional):
    """The vertices Cairo writes for a polyline through (xs, ys) (pt, y down): coordinates on its
    24.8 fixed-point grid, a point equal to the current one skipped, a vertex dropped where the
    next segment goes on in exactly the same direction, printed with three decimals. A functional
    curve also loses the vertices that the grid would make go back or stand still in X."""
    kx = [int(round(v * 256.0)) for v in xs]
    ky = [int(round(v * 256.0)) for v in ys]
    if functional:
        sign = 1 if kx[-1] > kx[0] else -1
        keep = [0]
        for i in range(1, len(kx)):
            if sign * (kx[i] - kx[keep[-1]]) > 0:
                keep.append(i)
        kx, ky = [kx[i] for i in keep], [ky[i] for i in keep]
    out = [(kx[0], ky[0])]
    after_move = True
    for p in zip(kx[1:], ky[1:]):
        if not after_move and p == out[-1]:
            continue
        if not after_move:
            a, b = out[-2], out[-1]
            if a == b:
                out.pop()
            else:
                d1 = (b[0] - a[0], b[1] - a[1])
                d2 = (p[0] - b[0], p[1] - b[1])
                if d1[1] * d2[0] == d2[1] * d1[0] and d1[0] * d2[0] + d1[1] * d2[1] >= 0:
                    out.pop()
        out.append(p)
        after_move = False
    q = np.array(out, float) / 256.0
    return (np.array([float("%.3f" % v) for v in q[:, 0]]), np.array([float("%.3f" % v) for v in q[:, 1]]))


def draw_cairo(path, lay, chart, curves, title):
    Wpt, Hpt = lay.pt(lay.W), lay.pt(lay.H)
    surface = cairo.PDFSurface(path, Wpt, Hpt)
    surface.set_metadata(cairo.PDFMetadata.CREATE_DATE, FIXED_DATE)
    surface.set_metadata(cairo.PDFMetadata.CREATOR, "Korvane bench/pdf_charts.py")
    cr = cairo.Context(surface)  # user space: points, y down from the page top
    cr.set_source_rgb(1, 1, 1)
    cr.paint()
    x0, x1 = lay.pt(lay.cl + 0.5), lay.pt(lay.cr + 0.5)
    y0, y1 = lay.pt(lay.rt + 0.5), lay.pt(lay.rb + 0.5)

    def xpt(X):
        return lay.pt(lay.to_px(X, lay.ylim[0])[0])

    def ypt(Y):
        return lay.pt(lay.to_px(lay.xlim[0], Y)[1])

    cr.set_line_cap(cairo.LINE_CAP_BUTT)
    g = chart.get("grid")
    if g:
        cr.set_line_width(lay.grid_pt)
        for which, colour in (("minor", g.get("minor_color")), ("major", g["color"])):
            if not colour:
                continue
            cr.set_source_rgb(*rgb01(colour))
            pick = minor_ticks if which == "minor" else nice_ticks
            for X in pick(lay.xlim, lay.log_x):
                cr.move_to(float(xpt(X)), y0)
                cr.line_to(float(xpt(X)), y1)
            for Y in pick(lay.ylim, lay.log_y):
                cr.move_to(x0, float(ypt(Y)))
                cr.line_to(x1, float(ypt(Y)))
            cr.stroke()
    # frame, tick marks and labels
    cr.set_source_rgb(0, 0, 0)
    cr.set_line_width(lay.frame_pt)
    cr.set_line_join(cairo.LINE_JOIN_MITER)
    cr.rectangle(x0, y0, x1 - x0, y1 - y0)
    cr.stroke()
    cr.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    cr.set_font_size(FONT_PT)
    for X in nice_ticks(lay.xlim, lay.log_x):
        x = float(xpt(X))
        cr.move_to(x, y1)
        cr.line_to(x, y1 + TICK_PT)
        cr.stroke()
        e = cr.text_extents(tick_text(X))
        cr.move_to(x - e.x_advance / 2, y1 + TICK_PT + 3 + FONT_PT)
        cr.show_text(tick_text(X))
    for Y in nice_ticks(lay.ylim, lay.log_y):
        y = float(ypt(Y))
        cr.move_to(x0, y)
        cr.line_to(x0 - TICK_PT, y)
        cr.stroke()
        e = cr.text_extents(tick_text(Y))
        cr.move_to(x0 - TICK_PT - 3 - e.x_advance, y + FONT_PT * 0.35)
        cr.show_text(tick_text(Y))
    cr.set_font_size(FONT_PT + 1)
    for text, cx, cy, angle in ((title, (x0 + x1) / 2, y0 - 8, 0.0),
                                (chart.get("xlabel"), (x0 + x1) / 2, y1 + TICK_PT + 2 * FONT_PT + 12, 0.0),
                                (chart.get("ylabel"), x0 - 36, (y0 + y1) / 2, -math.pi / 2)):
        if not text:
            continue
        e = cr.text_extents(text)
        cr.save()
        cr.translate(cx, cy)
        cr.rotate(angle)
        cr.move_to(-e.x_advance / 2, 0)
        cr.show_text(text)
        cr.restore()
    # the curves, from coordinates on Cairo's grid; the truth is what gets written
    drawn = []
    for c in curves:
        x, y = lay.to_px(c["X"], c["Y"])
        cr.set_source_rgb(*rgb01(c["color"]))
        cr.set_line_width(c["width_pt"])
        cr.set_line_cap(cairo.LINE_CAP_BUTT)
        cr.set_line_join(cairo.LINE_JOIN_ROUND)
        xq, yq = cairo_written(lay.pt(x), lay.pt(y), c["kind"] == "functional")
        cr.move_to(xq[0], yq[0])
        for a, b in zip(xq[1:], yq[1:]):
            cr.line_to(a, b)
        cr.stroke()
        X, Y = lay.from_px(lay.px(xq), lay.px(yq))
        if c.get("closed"):
            X[-1], Y[-1] = X[0], Y[0]
        drawn.append((X, Y))
    surface.finish()
    return drawn, "cairo %s (pycairo %s)" % (cairo.cairo_version_string(), cairo.version)


PRODUCERS = {"matplotlib": draw_matplotlib, "cairo": draw_cairo}


# ---------------------------------------------------------------------------
# Reading the drawn paths back from the PDF
# ---------------------------------------------------------------------------

TOKEN = re.compile(rb"\((?:\\.|[^\\)])*\)|<[0-9A-Fa-f\s]*>|/[^\s/\[\]()<>{}%]*|%[^\n]*|"
                   rb"[-+]?(?:\d+\.?\d*|\.\d+)|[A-Za-z'\"*]+|[\[\]{}]|<<|>>")
NUMBER = re.compile(rb"[-+]?(?:\d+\.?\d*|\.\d+)$")


def content_streams(data):
    for m in re.finditer(rb"stream\r?\n", data):
        try:
            d = zlib.decompressobj()
            yield d.decompress(data[m.end():])
        except zlib.error:
            continue


def stroked_paths(pdf_path, page_height_pt):
    """Every stroked polyline of the PDF's flate streams, as (N, 2) arrays of page points with
    y down from the top (the transformation matrices applied)."""
    with open(pdf_path, "rb") as f:
        data = f.read()
    paths = []
    for stream in content_streams(data):
        ctm, stack, operands, current, subpaths = np.eye(3), [], [], None, []
        for tok in TOKEN.findall(stream):
            if NUMBER.match(tok):
                operands.append(float(tok))
                continue
            op = tok.decode("latin-1")
            if op == "q":
                stack.append(ctm.copy())
            elif op == "Q" and stack:
                ctm = stack.pop()
            elif op == "cm" and len(operands) >= 6:
                a, b, c, d, e, f = operands[-6:]
                ctm = np.array([[a, b, 0], [c, d, 0], [e, f, 1]]) @ ctm
            elif op in ("m", "l") and len(operands) >= 2:
                p = np.array([operands[-2], operands[-1], 1.0]) @ ctm
                if op == "m" or current is None:
                    current = [p[:2]]
                    subpaths.append(current)
                else:
                    current.append(p[:2])
            elif op in ("S", "s"):
                paths += [np.array(s) for s in subpaths if len(s) > 1]
                subpaths, current = [], None
            elif op in ("n", "f", "F", "f*", "B", "B*", "b", "b*", "W", "W*"):
                if op != "W" and op != "W*":
                    subpaths, current = [], None
            if not (op.startswith("/") or op in ("[", "]")):
                operands = []
    for p in paths:
        p[:, 1] = page_height_pt - p[:, 1]
    return paths


def check_paths_written(pdf_path, lay, truths):
    """The largest distance (px) between a truth vertex and the vertex written into the PDF."""
    paths = stroked_paths(pdf_path, lay.pt(lay.H))
    worst = 0.0
    for name, X, Y in truths:
        x, y = lay.to_px(X, Y)
        want = np.column_stack([x, y])
        best = None
        for p in paths:
            if len(p) == len(want):
                err = float(np.abs(lay.px(p) - want).max())
                best = err if best is None else min(best, err)
        if best is None or best > 1e-7:
            raise ChartError("curve %s: the PDF holds no path with its %d vertices (best %s px)"
                             % (name, len(want), best))
        worst = max(worst, best)
    return worst


# ---------------------------------------------------------------------------
# Start pixels
# ---------------------------------------------------------------------------

def dist_to_polyline(px, py, pts):
    a, b = pts[:-1], pts[1:]
    d = b - a
    L2 = (d ** 2).sum(axis=1)
    t = np.clip(((px - a[:, 0]) * d[:, 0] + (py - a[:, 1]) * d[:, 1]) / np.where(L2 > 0, L2, 1), 0, 1)
    return float(np.hypot(a[:, 0] + t * d[:, 0] - px, a[:, 1] + t * d[:, 1] - py).min())


def pick_start(lay, curve, pts, others, case_k0, direction):
    """A start pixel, searched from vertex case_k0 in the given direction (+1 along the truth, -1
    against it): away from the other curves, the frame and the butt ends, not where the curve is
    steep (the follower's start check wants the line to end within 50 px across it), and if
    possible one whose square lies wholly inside the stroke, so that it has the curve's colour
    exactly (a thin stroke at a low dpi may have none: then the pixel whose centre is nearest to
    the line). Returns the pixel, the drag direction (non-functional curves) and whether the
    pixel is wholly covered."""
    w = curve["width_px"]
    margin = 10 + w
    s = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
    found = []
    for step in range(0, 400):
        k = int(np.clip(np.searchsorted(s, s[case_k0] + direction * step), 1, len(pts) - 2))
        x, y = pts[k]
        local = pts[max(0, k - 12):min(len(pts), k + 13)]
        d, c, r = min((dist_to_polyline(c + 0.5, r + 0.5, local), c, r)
                      for r in range(int(math.floor(y)) - 2, int(math.floor(y)) + 3)
                      for c in range(int(math.floor(x)) - 2, int(math.floor(x)) + 3))
        if d > max(w / 2.0 - math.sqrt(0.5), 0.35):
            continue
        if not curve.get("closed") and min(s[k], s[-1] - s[k]) < 3.0:
            continue
        if not (lay.cl + margin < c < lay.cr - margin and lay.rt + margin < r < lay.rb - margin):
            continue
        if any(dist_to_polyline(c + 0.5, r + 0.5, o) < 12 + (w + ow) / 2.0 for o, ow in others):
            continue
        # the same curve elsewhere (closed curves, spiral arms)
        far = np.abs(s - s[k]) > 2 * (12 + w)
        if far.any() and np.hypot(pts[far, 0] - c - 0.5, pts[far, 1] - r - 0.5).min() < 12 + w:
            continue
        t = pts[min(k + 4, len(pts) - 1)] - pts[max(k - 4, 0)]
        t = t / np.hypot(*t)
        if curve["kind"] == "functional" and (abs(t[0]) < 1e-9 or w / abs(t[0]) > 40):
            continue
        drag = None if curve["kind"] == "functional" else \
            [int(round(20 * t[0] * direction)), int(round(20 * t[1] * direction))]
        covered = d + math.sqrt(0.5) <= w / 2.0
        if covered:
            return [c, r], drag, True
        found.append((d, [c, r], drag))
    if found:
        d, pixel, drag = min(found, key=lambda f: f[0])
        return pixel, drag, False
    raise ChartError("no start pixel for curve %s" % curve["name"])


def case_start(case, curve):
    """The case's own start: the real values of the truth vertex at its start pixel, and whether
    the case follows the truth forwards (+1) or backwards (-1) from there."""
    from evaluate import Calibration  # the benchmark's own mapping
    cal = Calibration(case["axes"])
    T = curve["truth"]
    pts = np.array([cal.real_to_pixel(X, Y) for X, Y in T])
    sx, sy = curve["start_pixel"]
    k0 = int(np.argmin(np.hypot(pts[:, 0] - sx, pts[:, 1] - sy)))
    direction = 1
    if curve.get("start_direction"):
        t = pts[min(len(pts) - 1, k0 + 4)] - pts[max(0, k0 - 4)]
        direction = 1 if t[0] * curve["start_direction"][0] + t[1] * curve["start_direction"][1] >= 0 else -1
    return T[k0], direction


# ---------------------------------------------------------------------------
# truth.json
# ---------------------------------------------------------------------------

def write_truth(path, doc, truth_arrays):
    text = json.dumps(doc, indent=1)
    text = re.sub(r"\[\s*([^\[\]{}\n]*(?:\n[^\[\]{}\n]*){0,4})\s*\]",  # short arrays on one line
                  lambda m: "[" + ", ".join(v.strip() for v in m.group(1).split(",")) + "]", text)
    for i, (X, Y) in enumerate(truth_arrays):
        arr = "[\n" + ",\n".join("[%.12g,%.12g]" % (x, y) for x, y in zip(X, Y)) + "\n]"
        text = text.replace('"@@TRUTH%d@@"' % i, arr)
    with open(path, "w") as f:
        f.write(text + "\n")


def build(case_dir, producer, out_dir, dpi):
    with open(os.path.join(case_dir, "truth.json")) as f:
        case = json.load(f)
    cid = case["id"]
    chart = CHARTS[cid]
    lay = Layout(dpi, chart, bool(case["axes"].get("log_x")), bool(case["axes"].get("log_y")))
    axes = lay.reference_axes(case["axes"])
    curves = []
    for c in case["curves"]:
        if c["kind"] not in ("functional", "nonfunctional"):
            raise ChartError("%s: curve %s is %s" % (cid, c["name"], c["kind"]))
        T = np.array(c["truth"], float)
        closed = c["kind"] == "nonfunctional" and np.array_equal(T[0], T[-1])
        w_pt = line_pt(c["width_px"])
        curves.append(dict(name=c["name"], kind=c["kind"], color=c["color"], X=T[:, 0], Y=T[:, 1],
                           closed=closed, width_pt=w_pt, width_px=lay.px(w_pt), case=c))
    name = "%s_%s" % (cid, producer)
    folder = os.path.join(out_dir, name)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    pdf_name = name + ".pdf"
    pdf_path = os.path.join(folder, pdf_name)
    drawn, made_by = PRODUCERS[producer](pdf_path, lay, chart, curves, "%s (%s)" % (cid, producer))
    for c, (X, Y) in zip(curves, drawn):
        if c["kind"] == "functional":
            x, _ = lay.to_px(X, Y)
            if not (np.all(np.diff(X) > 0) and (np.all(np.diff(x) > 0) or np.all(np.diff(x) < 0))):
                raise ChartError("%s: functional curve %s not monotonic as drawn" % (name, c["name"]))
        x, y = lay.to_px(X, Y)
        if x.min() < lay.cl + 1 or x.max() > lay.cr or y.min() < lay.rt + 1 or y.max() > lay.rb:
            raise ChartError("%s: curve %s leaves the plot box" % (name, c["name"]))
        c["X"], c["Y"], c["px"] = X, Y, np.column_stack([x, y])
    written_err = check_paths_written(pdf_path, lay, [(c["name"], c["X"], c["Y"]) for c in curves])

    docs = []
    for i, c in enumerate(curves):
        others = [(o["px"], o["width_px"]) for o in curves if o is not c]
        (Xs, Ys), direction = case_start(case, c["case"])
        xs, ys = lay.to_px(Xs, Ys)
        k0 = int(np.argmin(np.hypot(c["px"][:, 0] - xs, c["px"][:, 1] - ys)))
        if c["kind"] == "functional":  # the follower walks right: search to the right
            direction = 1 if c["px"][-1, 0] > c["px"][0, 0] else -1
        start, start_dir, covered = pick_start(lay, c, c["px"], others, k0, direction)
        doc = {"name": c["name"], "kind": c["kind"], "color": list(c["color"]),
               "width_px": number(c["width_px"]),
               "style": "anti-aliased vector stroke %.2f pt, butt caps, round joins" % c["width_pt"],
               "start_pixel": start}
        if covered:  # wholly inside the stroke: the colour as drawn
            doc["start_pixel_color"] = list(c["color"])
        if start_dir:
            doc["start_direction"] = start_dir
        doc["expect"] = c["case"].get("expect") if chart.get("case_expect") else DEFAULT_EXPECT[c["kind"]]
        doc["truth"] = "@@TRUTH%d@@" % i
        docs.append(doc)
    truth = {
        "format": "korvane-bench-truth/1",
        "id": name,
        "set": case.get("set", "public"),
        "image": pdf_name,
        "image_format": "PDF, vector, one page of %g x %g pt" % (lay.pt(lay.W), lay.pt(lay.H)),
        "pdf": {"page": 1, "dpi": dpi},
        "width": lay.W,
        "height": lay.H,
        "pixel_convention": case["pixel_convention"],
        "axes": axes,
        "notes": "The curves of %s (the same real values) drawn again by %s as a one-page vector PDF, "
                 "anti-aliased strokes with butt caps, %s px wide when the page is rendered at %d dpi."
                 % (cid, producer, "/".join(str(number(c["width_px"])) for c in curves), dpi),
        "generator": {"script": "bench/pdf_charts.py", "producer": made_by, "from_case": cid, "dpi": dpi},
        "curves": docs,
    }
    write_truth(os.path.join(folder, "truth.json"), truth, [(c["X"], c["Y"]) for c in curves])

    # the written truth, read back through the benchmark's mapping, is the drawn polyline
    with open(os.path.join(folder, "truth.json")) as f:
        back = json.load(f)
    from evaluate import Calibration
    cal = Calibration(back["axes"])
    map_err = 0.0
    for c, bc in zip(curves, back["curves"]):
        P = np.array([cal.real_to_pixel(X, Y) for X, Y in bc["truth"]]) + 0.5
        map_err = max(map_err, float(np.abs(P - c["px"]).max()))
    if map_err > 1e-5:
        raise ChartError("%s: the truth's axes map the truth %.3g px off the drawing" % (name, map_err))
    return folder, lay, chart, curves, back, dict(written_err=written_err, map_err=map_err)


# ---------------------------------------------------------------------------
# --check: the page rendered by poppler
# ---------------------------------------------------------------------------

def render(pdf_path, dpi, work):
    stem = os.path.join(work, "page")
    subprocess.run(["pdftoppm", "-r", str(dpi), "-png", "-f", "1", "-l", "1", "-singlefile", pdf_path, stem],
                   check=True)
    from PIL import Image
    return np.asarray(Image.open(stem + ".png").convert("RGB")).astype(float)


def near_mask(shape, pts, radius):
    """Pixels whose centres lie within radius of the polyline (densified to 0.2 px)."""
    seg = np.diff(pts, axis=0)
    n = np.maximum(1, np.ceil(np.hypot(*seg.T) / 0.2)).astype(int)
    dense = [pts[:1]] + [pts[i] + seg[i] * (np.arange(1, n[i] + 1)[:, None] / n[i]) for i in range(len(seg))]
    dense = np.concatenate(dense)
    H, W = shape
    mask = np.zeros((H, W), bool)
    R = int(math.ceil(radius)) + 1
    base_c, base_r = np.floor(dense[:, 0]).astype(int), np.floor(dense[:, 1]).astype(int)
    for dr in range(-R, R + 1):
        for dc in range(-R, R + 1):
            c, r = base_c + dc, base_r + dr
            ok = (c >= 0) & (c < W) & (r >= 0) & (r < H)
            close = np.hypot(c + 0.5 - dense[:, 0], r + 0.5 - dense[:, 1]) <= radius
            mask[r[ok & close], c[ok & close]] = True
    return mask


def bilinear(img, x, y):
    """Image values at continuous coordinates (pixel centres at +0.5)."""
    H, W = img.shape[:2]
    fx, fy = np.clip(x - 0.5, 0, W - 1.001), np.clip(y - 0.5, 0, H - 1.001)
    c, r = np.floor(fx).astype(int), np.floor(fy).astype(int)
    ax, ay = (fx - c)[..., None], (fy - r)[..., None]
    return ((img[r, c] * (1 - ax) + img[r, c + 1] * ax) * (1 - ay)
            + (img[r + 1, c] * (1 - ax) + img[r + 1, c + 1] * ax) * ay)


def line_centre(img, lay, pos, vertical):
    """Where a frame or grid line near pos (continuous coordinate) is, from the darkness across
    it: the median over the rows (columns) of the box's middle part."""
    grey = 255.0 - img.mean(axis=2)
    offs = np.arange(-3, 4)
    if vertical:
        along = np.arange(lay.rt + (lay.rb - lay.rt) // 5, lay.rb - (lay.rb - lay.rt) // 5)
        col = int(math.floor(pos)) + offs
        prof = grey[np.ix_(along, col)]
    else:
        along = np.arange(lay.cl + (lay.cr - lay.cl) // 5, lay.cr - (lay.cr - lay.cl) // 5)
        row = int(math.floor(pos)) + offs
        prof = grey[np.ix_(row, along)].T
    centres = (int(math.floor(pos)) + offs + 0.5)
    keep = prof.sum(axis=1) > 0
    return float(np.median((prof[keep] * centres).sum(axis=1) / prof[keep].sum(axis=1)))


def check_render(folder, lay, chart, curves, truth, work):
    img = render(os.path.join(folder, truth["image"]), lay.dpi, work)
    H, W = img.shape[:2]
    if (W, H) != (truth["width"], truth["height"]):
        raise ChartError("rendered %dx%d, truth says %dx%d" % (W, H, truth["width"], truth["height"]))
    paper = np.array([255.0, 255.0, 255.0])
    report = []
    box = np.zeros((H, W), bool)
    inset = 8
    box[lay.rt + inset:lay.rb - inset, lay.cl + inset:lay.cr - inset] = True
    for c, doc in zip(curves, truth["curves"]):
        colour = np.array(doc["color"], float)
        w = c["width_px"]
        pts = c["px"]
        ink = cdist(img, colour) <= TOL
        # nearest pixel centre of the curve's colour to each truth vertex, leaving out the ends
        # (butt caps) and where a curve drawn later covers this one
        xs, ys = pts[:, 0], pts[:, 1]
        cols, rows = np.clip(xs.astype(int), 0, W - 1), np.clip(ys.astype(int), 0, H - 1)
        s = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
        judged = np.ones(len(pts), bool)
        if not c.get("closed"):
            judged &= (s > w / 2.0 + 1) & (s < s[-1] - w / 2.0 - 1)
        for o in curves[curves.index(c) + 1:]:
            judged &= ~near_mask((H, W), o["px"], (w + o["width_px"]) / 2.0 + 1)[rows, cols]
        best = np.full(len(pts), np.inf)
        for dr in range(-3, 4):
            for dc in range(-3, 4):
                cc, rr = np.floor(xs).astype(int) + dc, np.floor(ys).astype(int) + dr
                hit = ink[np.clip(rr, 0, H - 1), np.clip(cc, 0, W - 1)]
                d = np.hypot(cc + 0.5 - xs, rr + 0.5 - ys)
                best = np.where(hit & (d < best), d, best)
        # colour-weighted ink centroid across the stroke, away from other curves
        others = [o["px"] for o in curves if o is not c]
        t = np.gradient(pts, axis=0)
        t /= np.hypot(t[:, 0], t[:, 1])[:, None]
        nrm = np.column_stack([-t[:, 1], t[:, 0]])
        clear = np.ones(len(pts), bool)
        for o in others:
            clear &= ~near_mask((H, W), o, w + 6)[rows, cols]
        clear &= (xs > lay.cl + w + 6) & (xs < lay.cr - w - 6) & (ys > lay.rt + w + 6) & (ys < lay.rb - w - 6)
        idx = np.nonzero(clear)[0]
        R = w / 2.0 + 2.0
        steps = np.arange(-R, R + 1e-9, 0.25)
        sx = xs[idx, None] + nrm[idx, 0, None] * steps
        sy = ys[idx, None] + nrm[idx, 1, None] * steps
        samp = bilinear(img, sx, sy)
        span = colour - paper
        weight = np.clip(((samp - paper) @ span) / max((span ** 2).sum(), 1.0), 0, 1)
        offset = (weight * steps).sum(axis=1) / np.maximum(weight.sum(axis=1), 1e-9)
        # the one shift of the whole curve that best explains the offsets across it
        shift = np.linalg.lstsq(nrm[idx], offset, rcond=None)[0]
        # ink of the curve's colour in the box that no curve of that colour explains
        own = np.zeros((H, W), bool)
        for o, od in zip(curves, truth["curves"]):
            if cdist(od["color"], colour) <= TOL:
                own |= near_mask((H, W), o["px"], o["width_px"] / 2.0 + 1.0)
        stray = int((ink & box & ~own).sum())
        sc, sr = doc["start_pixel"]
        start_d = float(cdist(img[sr, sc], colour))
        report.append(dict(curve=doc["name"], n=len(pts), judged=int(judged.sum()), width_px=w,
                           ink_max=float(best[judged].max()), ink_mean=float(best[judged].mean()),
                           centroid_median=float(np.median(offset)),
                           centroid_p95=float(np.percentile(np.abs(offset), 95)), centroid_n=len(idx),
                           shift=(float(shift[0]), float(shift[1])),
                           stray=stray, start_colour_dist=start_d))
    # the frame and the grid lines where the axes say they are
    from evaluate import Calibration
    cal = Calibration(truth["axes"])
    lines = []
    xs_ = [lay.xlim[0], lay.xlim[1]] + (nice_ticks(lay.xlim, lay.log_x) if chart.get("grid") else [])
    ys_ = [lay.ylim[0], lay.ylim[1]] + (nice_ticks(lay.ylim, lay.log_y) if chart.get("grid") else [])
    # (only lines centred on pixel centres: poppler moves the others onto whole pixels)
    for X in xs_:
        want = cal.real_to_pixel(X, lay.ylim[0])[0] + 0.5
        if lay.cl - 1 <= want <= lay.cr + 2 and abs(want - 0.5 - round(want - 0.5)) < 1e-6:
            lines.append(line_centre(img, lay, want, True) - want)
    for Y in ys_:
        want = cal.real_to_pixel(lay.xlim[0], Y)[1] + 0.5
        if lay.rt - 1 <= want <= lay.rb + 2 and abs(want - 0.5 - round(want - 0.5)) < 1e-6:
            lines.append(line_centre(img, lay, want, False) - want)
    return report, lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("outdir")
    parser.add_argument("--dpi", type=int, default=300,
                        help="resolution the truth describes, 150 to 1200 (default 300)")
    parser.add_argument("--cases", default=SHARED_CASES, help="the benchmark's cases folder")
    parser.add_argument("--only", nargs="+", metavar="CASE", help="some of: " + ", ".join(CHARTS))
    parser.add_argument("--producers", nargs="+", choices=sorted(PRODUCERS), default=["matplotlib", "cairo"])
    parser.add_argument("--check", action="store_true", help="render with pdftoppm and measure the truth")
    args = parser.parse_args()
    if not 150 <= args.dpi <= 1200:
        # below 150 dpi the 0.72 pt curves are under 1.5 px wide: anti-aliased, they may have
        # no pixel of their own colour to start on
        parser.error("--dpi from 150 to 1200")
    bench = os.path.dirname(os.path.abspath(args.cases))
    for candidate in (bench, os.path.dirname(bench), os.path.dirname(SHARED_CASES)):
        if os.path.exists(os.path.join(candidate, "evaluate.py")):
            sys.path.insert(0, candidate)
            break
    else:
        sys.exit("pdf_charts.py: no evaluate.py beside %s" % args.cases)
    check = args.check
    if check and not shutil.which("pdftoppm"):
        print("pdf_charts.py: pdftoppm not found (apt-get install poppler-utils): no render check")
        check = False
    ids = args.only or list(CHARTS)
    for cid in ids:
        if cid not in CHARTS:
            sys.exit("pdf_charts.py: no chart for %s (known: %s)" % (cid, ", ".join(CHARTS)))
    os.makedirs(args.outdir, exist_ok=True)
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        for cid in ids:
            for producer in args.producers:
                try:
                    folder, lay, chart, curves, truth, info = build(os.path.join(args.cases, cid), producer,
                                                                    args.outdir, args.dpi)
                except ChartError as e:
                    print("FAILED %s_%s: %s" % (cid, producer, e))
                    failed += 1
                    continue
                size = os.path.getsize(os.path.join(folder, truth["image"]))
                print("%s: %dx%d px at %d dpi, %d bytes; PDF vertices vs truth %.2g px, axes vs plan %.2g px"
                      % (truth["id"], lay.W, lay.H, args.dpi, size, info["written_err"], info["map_err"]))
                if not check:
                    continue
                report, lines = check_render(folder, lay, chart, curves, truth, work)
                bad = []
                for r in report:
                    print("  %-9s %d vertices; nearest ink (%d) max %.3f mean %.3f px | ink centroid (%d) median "
                          "%+.3f p95 %.3f px, as a shift (%+.3f, %+.3f) px | stray ink px %d | start colour dist %.1f"
                          % (r["curve"], r["n"], r["judged"], r["ink_max"], r["ink_mean"], r["centroid_n"],
                             r["centroid_median"], r["centroid_p95"], r["shift"][0], r["shift"][1],
                             r["stray"], r["start_colour_dist"]))
                    # a point is never farther than sqrt(0.5) px from the nearest pixel centre,
                    # which a stroke 3 px wide or more covers; thinner ones are anti-aliased paler
                    if r["ink_max"] > (0.75 if r["width_px"] >= 3 else 1.0) or abs(r["centroid_median"]) > 0.1 \
                            or math.hypot(*r["shift"]) > 0.1 \
                            or r["stray"] or r["start_colour_dist"] > 0.6 * TOL:
                        bad.append(r["curve"])
                print("  frame/grid lines vs axes: %d lines, max offset %.3f px"
                      % (len(lines), max(abs(v) for v in lines)))
                if max(abs(v) for v in lines) > 0.15:
                    bad.append("frame/grid")
                if bad:
                    print("FAILED %s: %s" % (truth["id"], ", ".join(bad)))
                    failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
