#!/usr/bin/python3
"""Hard drawn cases for the line follower, with exact truth in the chart benchmark's format.

Renders charts of the kinds of curve the follower still finds hard - a curve hidden where a
curve of another colour is drawn over it, lines carrying point markers of their own colour,
dashed and dotted lines in rotated noisy scans and in bilevel scans, faint 1 px lines in light
colours, step functions, loops that touch or cross themselves, and curves that run along a
black frame or axis - into OUT/<id>/ (default bench/drawn/cases): the image <id>.png (or .jpg,
.tif) and truth.json in the format of ../shared/bench ("korvane-bench-truth/1", set "drawn").

    /usr/bin/python3 bench/drawn_cases.py [--out DIR] [--only ID ...] [--overlay DIR]
                                          [--no-oracle] [--list]

Every chart is drawn by matplotlib (Agg) on a canvas whose data coordinates are the image's
continuous pixel coordinates (x right, y down; pixel [c, r] covers [c, c+1) x [r, r+1)), so
that every line, marker, tick and frame is placed exactly where this script says, with no
snapping. The real X,Y of each curve are sampled about 0.5 px apart along the drawn path,
rounded to a few decimals (less than 1e-3 px), and the rounded vertices are what is drawn and
what truth.json holds. Simulated scans are rotated as rasters (bilinear, about the image
centre), blurred, given noise, specks and shading, and written as JPEG or thresholded to one
bit; the reference pixels and the truth follow the same rotation.

Each case is checked before it is written, and the run stops on a failure: the reference
values at the reference pixel centres, the benchmark evaluator's calibration against the
renderer (< 1e-6 px), the colour-weighted ink centroid across each curve on the decoded image
(median < 0.15 px), lossless files decoding to the intended pixels, and the start pixels (the
colour within the default tolerance, and the follower's start check passing). At the end the
shared oracle.py scores a perfect digitizer on the written cases (--no-oracle skips it): it
must score below 0.01 px with coverage 1 everywhere. --overlay DIR writes each image with the
truth, the reference pixels and the start pixels drawn on it, for a look.

Needs Debian's python3-matplotlib, python3-numpy and python3-pil, and ../shared/bench (its
evaluate.py and oracle.py) beside the repository.
"""

import argparse
import json
import math
import os
import shutil
import subprocess
import sys

import numpy as np
import matplotlib

matplotlib.use("Agg")
from matplotlib import patches  # noqa: E402
from matplotlib.backends.backend_agg import FigureCanvasAgg  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402
from PIL import Image, ImageDraw, ImageFilter  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED_BENCH = os.path.normpath(os.path.join(ROOT, "..", "shared", "bench"))
DEFAULT_OUT = os.path.join(ROOT, "bench", "drawn", "cases")
sys.path.insert(0, SHARED_BENCH)
import evaluate  # noqa: E402  (the benchmark's calibration; every case is checked against it)

TOL = 0.1 * 765.0        # the follower's default colour tolerance, as a Euclidean RGB distance
MAX_VJUMP = 50           # the follower's default maximum vertical jump (its start check)
DPI = 100
TRUTH_STEP_PX = 0.5      # spacing of the truth vertices along the drawn path
MIN_TRUTH_VERTICES = 2000
QUANTUM_PX = 1e-3        # truth values are rounded to decimals finer than this

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

matplotlib.rcParams.update({
    "path.simplify": False,
    "path.snap": False,
    "lines.scale_dashes": False,
    "font.family": "DejaVu Sans",
})


class CaseError(Exception):
    pass


def rgb01(c):
    return tuple(v / 255.0 for v in c)


def colour_distance(a, b):
    a = np.asarray(a, float)
    return np.sqrt(((a - np.asarray(b, float)) ** 2).sum(axis=-1))


# ---------------------------------------------------------------------------
# The chart: real values <-> continuous pixel coordinates, and the drawing
# ---------------------------------------------------------------------------

class Plot:
    """A W x H page drawn by matplotlib with data coordinates = continuous pixel coordinates.

    box = (cl, rt, cr, rb): the pixels at whose centres the axis limits lie (left, top,
    right, bottom). Everything is drawn in the order of the calls."""

    def __init__(self, size, box, xlim, ylim, paper=WHITE):
        self.W, self.H = size
        self.box = box
        self.xlim, self.ylim = xlim, ylim
        self.paper = tuple(paper)
        self.fig = Figure(figsize=(self.W / DPI, self.H / DPI), dpi=DPI, facecolor=rgb01(paper))
        FigureCanvasAgg(self.fig)
        ax = self.fig.add_axes([0, 0, 1, 1])
        ax.set_xlim(0, self.W)
        ax.set_ylim(self.H, 0)
        ax.set_axis_off()
        self.ax = ax
        self.z = 1.0
        # the canvas really is in pixel coordinates
        probe = ax.transData.transform([(0.0, 0.0), (self.W, self.H), (12.25, 7.5)])
        if not np.allclose(probe, [(0, self.H), (self.W, 0), (12.25, self.H - 7.5)], atol=1e-9):
            raise CaseError("matplotlib does not map data to pixels as expected")

    # -- coordinates (linear axes)
    def to_px(self, X, Y):
        cl, rt, cr, rb = self.box
        (x0, x1), (y0, y1) = self.xlim, self.ylim
        return (cl + 0.5 + (np.asarray(X, float) - x0) / (x1 - x0) * (cr - cl),
                rb + 0.5 - (np.asarray(Y, float) - y0) / (y1 - y0) * (rb - rt))

    def to_real(self, x, y):
        cl, rt, cr, rb = self.box
        (x0, x1), (y0, y1) = self.xlim, self.ylim
        return (x0 + (np.asarray(x, float) - cl - 0.5) / (cr - cl) * (x1 - x0),
                y0 + (rb + 0.5 - np.asarray(y, float)) / (rb - rt) * (y1 - y0))

    def decimals(self):
        """Decimals per axis that keep a rounded value within QUANTUM_PX of the exact one."""
        cl, rt, cr, rb = self.box
        return [int(math.ceil(math.log10(span / abs(lim[1] - lim[0]) / QUANTUM_PX)))
                for lim, span in ((self.xlim, cr - cl), (self.ylim, rb - rt))]

    # -- drawing
    def _next_z(self):
        self.z += 0.01
        return self.z

    @staticmethod
    def pt(px):
        return px * 72.0 / DPI

    def stroke(self, xs, ys, color, width, aa=True, dash=None, dash_offset=0.0, cap="butt", join="round"):
        kw = dict(color=rgb01(color), linewidth=self.pt(width), antialiased=aa, snap=False,
                  solid_capstyle=cap, dash_capstyle=cap, solid_joinstyle=join, dash_joinstyle=join,
                  zorder=self._next_z(), clip_on=False)
        if dash:
            kw["linestyle"] = (self.pt(dash_offset), tuple(self.pt(v) for v in dash))
        self.ax.plot(np.asarray(xs, float), np.asarray(ys, float), **kw)

    def marker(self, x, y, shape, size, color, filled=True, inside=None, edge=1.5):
        """A point marker centred at (x, y); size is its outer size in pixels (diameter of
        the circle or of the triangle's circumscribed circle, side of the square). Hollow
        markers are stroked edge px wide inside that size; inside = None leaves their middle
        transparent, a colour paints it."""
        z = self._next_z()
        r = size / 2.0 if filled else size / 2.0 - edge / 2.0
        kw = dict(antialiased=True, snap=False, zorder=z, clip_on=False)
        if filled:
            kw.update(facecolor=rgb01(color), edgecolor="none", linewidth=0)
        else:
            kw.update(facecolor=rgb01(inside) if inside else "none", edgecolor=rgb01(color),
                      linewidth=self.pt(edge), joinstyle="miter")
        if shape == "o":
            p = patches.Circle((x, y), r, **kw)
        elif shape == "s":
            p = patches.Rectangle((x - r, y - r), 2 * r, 2 * r, **kw)
        elif shape == "^":  # apex up on the page (y grows downwards)
            p = patches.RegularPolygon((x, y), 3, radius=r, orientation=math.pi, **kw)
        else:
            raise CaseError("unknown marker shape %r" % shape)
        self.ax.add_patch(p)

    def text(self, x, y, s, size=10, color=BLACK, ha="center", va="center", rotation=0):
        self.ax.text(x, y, s, fontsize=size, color=rgb01(color), ha=ha, va=va, rotation=rotation,
                     zorder=self._next_z(), clip_on=False)

    def render(self):
        self.fig.canvas.draw()
        return np.asarray(self.fig.canvas.buffer_rgba())[:, :, :3].copy()


def nice_ticks(lo, hi, target=6):
    a, b = min(lo, hi), max(lo, hi)
    raw = (b - a) / target
    mag = 10 ** math.floor(math.log10(raw))
    step = min((m * mag for m in (1, 2, 2.5, 5, 10)), key=lambda s: abs(s - raw))
    first = math.ceil(a / step - 1e-9) * step
    ticks = []
    v = first
    while v <= b + 1e-9 * step:
        ticks.append(round(v, 10))
        v += step
    return ticks


def tick_label(v):
    return ("%g" % v).replace("-", "\u2212")


def frame_lines(plot, frame):
    """Centre lines of the frame and of the zero axis, as points 1 px apart."""
    cl, rt, cr, rb = plot.box
    xs, ys = np.arange(cl + 0.5, cr + 1.0), np.arange(rt + 0.5, rb + 1.0)
    out = [(xs, np.full_like(xs, rt + 0.5)), (xs, np.full_like(xs, rb + 0.5)),
           (np.full_like(ys, cl + 0.5), ys), (np.full_like(ys, cr + 0.5), ys)]
    if frame.get("zero_line") is not None:
        out.append((xs, np.full_like(xs, float(plot.to_px(plot.xlim[0], frame["zero_line"])[1]))))
    return out


def draw_frame(plot, frame):
    """Frame (1 px, through the pixel centres of the box edges), tick marks and labels,
    axis titles and, below everything drawn later, an optional grid."""
    cl, rt, cr, rb = plot.box
    fc = frame.get("color", BLACK)
    xt = frame.get("xticks") or nice_ticks(*plot.xlim)
    yt = frame.get("yticks") or nice_ticks(*plot.ylim)
    xs = [float(plot.to_px(v, plot.ylim[0])[0]) for v in xt]
    ys = [float(plot.to_px(plot.xlim[0], v)[1]) for v in yt]
    grid = frame.get("grid")
    if grid:
        for x in xs:
            if cl + 1 < x < cr:
                plot.stroke([x, x], [rt + 1.0, rb], grid, 1)
        for y in ys:
            if rt + 1 < y < rb:
                plot.stroke([cl + 1.0, cr], [y, y], grid, 1)
    for y in (rt + 0.5, rb + 0.5):
        plot.stroke([cl, cr + 1.0], [y, y], fc, 1)
    for x in (cl + 0.5, cr + 0.5):
        plot.stroke([x, x], [rt, rb + 1.0], fc, 1)
    zero = frame.get("zero_line")  # an axis line through Y = zero_line, with ticks both ways
    if zero is not None:
        y0 = float(plot.to_px(plot.xlim[0], zero)[1])
        plot.stroke([cl + 1.0, cr], [y0, y0], fc, 1)
        for x in xs:
            if cl + 1 < x < cr:
                plot.stroke([x, x], [y0 - 4, y0 + 5], fc, 1)
    n = frame.get("tick_px", 6)
    inward = frame.get("ticks", "out") == "in"
    for x in xs:
        plot.stroke([x, x], [rb + 1.0, rb + 1.0 + n] if not inward else [rb, rb - n], fc, 1)
    for y in ys:
        plot.stroke([cl, cl - n] if not inward else [cl + 1.0, cl + 1.0 + n], [y, y], fc, 1)
    fs = frame.get("font_pt", 10)
    for v, x in zip(xt, xs):
        plot.text(x, rb + 1 + max(n, 0) * (not inward) + 5, tick_label(v), size=fs, va="top")
    for v, y in zip(yt, ys):
        plot.text(cl - max(n, 0) * (not inward) - 5, y, tick_label(v), size=fs, ha="right")
    if frame.get("xlabel"):
        plot.text((cl + cr) / 2.0, rb + n + 28, frame["xlabel"], size=fs + 1, va="top")
    if frame.get("ylabel"):
        plot.text(cl - n - 45, (rt + rb) / 2.0, frame["ylabel"], size=fs + 1, rotation=90)
    if frame.get("title"):
        plot.text((cl + cr) / 2.0, rt - 8, frame["title"], size=fs + 1, va="bottom")


# ---------------------------------------------------------------------------
# Curves: the drawn path, sampled densely in real values
# ---------------------------------------------------------------------------

def sample_path(plot, fn, t0, t1):
    """Parameters about TRUTH_STEP_PX apart along the pixel path of fn(t) -> (X, Y)."""
    t = np.linspace(t0, t1, 200001)
    x, y = plot.to_px(*fn(t))
    s = np.concatenate([[0.0], np.cumsum(np.hypot(np.diff(x), np.diff(y)))])
    n = max(MIN_TRUTH_VERTICES, int(math.ceil(s[-1] / TRUTH_STEP_PX)) + 1)
    tn = np.interp(np.linspace(0.0, s[-1], n), s, t)
    tn[0], tn[-1] = t0, t1
    return tn


def densify_polyline(plot, X, Y):
    """The polyline through real vertices (X, Y), cut into pieces at most TRUTH_STEP_PX long
    in the image (shorter when needed for MIN_TRUTH_VERTICES); every vertex is kept. Returns
    the dense X, Y and the indices of the original vertices."""
    x, y = plot.to_px(np.asarray(X, float), np.asarray(Y, float))
    seg = np.hypot(np.diff(x), np.diff(y))
    step = min(TRUTH_STEP_PX, seg.sum() / (MIN_TRUTH_VERTICES - 1))
    xs, ys, keep = [x[0]], [y[0]], [0]
    for i in range(len(seg)):
        m = max(1, int(math.ceil(seg[i] / step - 1e-9)))
        f = np.arange(1, m + 1) / m
        xs.extend(x[i] + f * (x[i + 1] - x[i]))
        ys.extend(y[i] + f * (y[i + 1] - y[i]))
        xs[-1], ys[-1] = x[i + 1], y[i + 1]
        keep.append(len(xs) - 1)
    Xd, Yd = plot.to_real(np.array(xs), np.array(ys))
    Xd[keep], Yd[keep] = np.asarray(X, float), np.asarray(Y, float)  # vertices stay exact
    return Xd, Yd, keep


def quantize(plot, X, Y):
    dx, dy = plot.decimals()
    return np.round(np.asarray(X, float), dx), np.round(np.asarray(Y, float), dy)


def steps_vertices(xs, ys, where):
    """The vertices of a step line through data points, as matplotlib's drawstyle
    'steps-post' / 'steps-pre' / 'steps-mid' joins them."""
    xs, ys = list(xs), list(ys)
    X, Y = [xs[0]], [ys[0]]
    for i in range(1, len(xs)):
        if where == "post":
            X += [xs[i], xs[i]]
            Y += [ys[i - 1], ys[i]]
        elif where == "pre":
            X += [xs[i - 1], xs[i]]
            Y += [ys[i], ys[i]]
        else:
            m = 0.5 * (xs[i - 1] + xs[i])
            X += [m, m, xs[i]]
            Y += [ys[i - 1], ys[i], ys[i]]
    # drop zero-length pieces (pre: the first repeats the start)
    keepX, keepY = [X[0]], [Y[0]]
    for a, b in zip(X[1:], Y[1:]):
        if a != keepX[-1] or b != keepY[-1]:
            keepX.append(a)
            keepY.append(b)
    return keepX, keepY


def build_truth(plot, c):
    """Dense, rounded real vertices of curve c, and the indices of its data points (for
    markers)."""
    marks = None
    if "f" in c:
        def fn(t):
            return t, np.asarray(c["f"](t), float) * np.ones_like(t)
        X, Y = fn(sample_path(plot, fn, *c["x"]))
    elif "xy" in c:
        tn = sample_path(plot, lambda t: tuple(np.asarray(v, float) for v in c["xy"](t)), *c["t"])
        X, Y = (np.asarray(v, float) for v in c["xy"](tn))
    else:
        px, py = c["points"]
        if c.get("steps"):
            px, py = steps_vertices(px, py, c["steps"])
        X, Y, marks = densify_polyline(plot, px, py)
    X, Y = quantize(plot, X, Y)
    if c.get("closed"):
        X[-1], Y[-1] = X[0], Y[0]
    if c["kind"] == "functional":
        d = np.diff(X) * (1 if plot.xlim[1] > plot.xlim[0] else -1)
        if np.any(d < 0) or (not c.get("steps") and np.any(d == 0)):
            raise CaseError("%s: functional truth does not increase in X" % c["name"])
    return X, Y, marks


# ---------------------------------------------------------------------------
# Simulated scans
# ---------------------------------------------------------------------------

def axis_vector(angle_deg, box_w, box_h):
    """An integer pixel vector v = (b, a) within 0.1 degrees of the requested turn, and
    whole multiples j, k with j|v| and k|v| (the deskewed distances of the skew and second
    reference points from the first) spanning 55-100 % of the plot box, as close to whole
    pixels as can be found: the program rounds the deskewed second point to whole pixels.
    (For a turn of t radians the spans miss whole pixels by about span * t^2 / 2 unless that
    reaches 1, so some rounding remains: it is recorded as max_span_rounding_px.)"""
    target = abs(angle_deg)
    lo, hi = math.tan(math.radians(target - 0.1)), math.tan(math.radians(target + 0.1))
    best = None
    for b in range(60, int(box_w) + 1):
        for a in range(max(1, math.ceil(b * lo)), math.floor(b * hi) + 1):
            if math.gcd(a, b) != 1:
                continue
            angle = math.degrees(math.atan2(a, b))
            L = math.hypot(a, b)

            def multiple(span):
                cands = [(abs(m * L - round(m * L)), m) for m in range(1, int(span // L) + 1)
                         if m * L >= 0.55 * span]
                return min(cands) if cands else None
            jj, kk = multiple(box_w), multiple(box_h)
            if jj is None or kk is None:
                continue
            err = max(jj[0], kk[0])
            score = err + 0.05 * abs(angle - target)
            if best is None or score < best[0]:
                best = (score, err, b, a, jj[1], kk[1], L)
    if best is None:
        raise CaseError("no axis vector for %.2f degrees" % angle_deg)
    _, err, b, a, j, k, L = best
    return dict(b=b, a=a if angle_deg > 0 else -a, j=j, k=k, L=L, err=err)


def rotate_raster(arr, rot, fill):
    """The image turned about its centre by the rotation whose X axis runs along (b, a):
    each output pixel centre is mapped back into the input, which is sampled bilinearly
    (input pixel [c, r] holds its value at (c+0.5, r+0.5)); outside is fill."""
    H, W = arr.shape[:2]
    cos, sin = rot["b"] / rot["L"], rot["a"] / rot["L"]
    cx, cy = W / 2.0, H / 2.0
    yy, xx = np.mgrid[0:H, 0:W].astype(float)
    qx, qy = xx + 0.5 - cx, yy + 0.5 - cy
    u = cx + cos * qx + sin * qy - 0.5          # input index coordinates
    v = cy - sin * qx + cos * qy - 0.5
    u0, v0 = np.floor(u).astype(int), np.floor(v).astype(int)
    fu, fv = (u - u0)[..., None], (v - v0)[..., None]
    padded = np.empty((H + 2, W + 2, 3), float)
    padded[:] = fill
    padded[1:-1, 1:-1] = arr

    def at(r, c):
        return padded[np.clip(r + 1, 0, H + 1), np.clip(c + 1, 0, W + 1)]
    out = (at(v0, u0) * (1 - fu) * (1 - fv) + at(v0, u0 + 1) * fu * (1 - fv)
           + at(v0 + 1, u0) * (1 - fu) * fv + at(v0 + 1, u0 + 1) * fu * fv)
    return out


def rotate_points(rot, size, x, y):
    W, H = size
    cos, sin = rot["b"] / rot["L"], rot["a"] / rot["L"]
    cx, cy = W / 2.0, H / 2.0
    x, y = np.asarray(x, float) - cx, np.asarray(y, float) - cy
    return cx + cos * x - sin * y, cy + sin * x + cos * y


def unrotate_points(rot, size, x, y):
    W, H = size
    cos, sin = rot["b"] / rot["L"], rot["a"] / rot["L"]
    cx, cy = W / 2.0, H / 2.0
    x, y = np.asarray(x, float) - cx, np.asarray(y, float) - cy
    return cx + cos * x + sin * y, cy - sin * x + cos * y


def scan(arr, post, rot, paper, rng):
    """Rotation, blur, shading, specks and noise of a simulated scan; float RGB out."""
    a = arr.astype(float)
    if rot:
        a = rotate_raster(a, rot, paper)
    if post.get("blur"):
        img = Image.fromarray(np.clip(np.round(a), 0, 255).astype(np.uint8))
        a = np.asarray(img.filter(ImageFilter.GaussianBlur(post["blur"]))).astype(float)
    H, W = a.shape[:2]
    if post.get("shading"):
        yy, xx = np.mgrid[0:H, 0:W]
        a *= (1.0 - post["shading"] * (0.7 * xx / W + 0.3 * (1 - yy / H)))[..., None]
    for _ in range(post.get("specks", 0)):
        x0, y0 = rng.uniform(0, W), rng.uniform(0, H)
        r, level = rng.uniform(0.4, 1.6), rng.uniform(20, 110)
        r0, r1 = max(0, int(y0 - 3)), min(H, int(y0 + 4))
        c0, c1 = max(0, int(x0 - 3)), min(W, int(x0 + 4))
        yy, xx = np.mgrid[r0:r1, c0:c1]
        cover = np.clip(r + 0.5 - np.hypot(xx + 0.5 - x0, yy + 0.5 - y0), 0, 1)[..., None]
        a[r0:r1, c0:c1] = a[r0:r1, c0:c1] * (1 - cover) + level * cover
    if post.get("noise"):
        s = post["noise"]
        a += rng.normal(0, s, (H, W, 1)) + rng.normal(0, 0.5 * s, (H, W, 3))
    return np.clip(np.round(a), 0, 255).astype(np.uint8)


# ---------------------------------------------------------------------------
# Writing the image
# ---------------------------------------------------------------------------

def write_image(rgb, fmt, folder, stem):
    """Writes the image; returns (file name, description, decoded RGB)."""
    kind = fmt.get("type", "png")
    if fmt.get("bilevel"):
        lum = rgb.astype(float) @ np.array([0.299, 0.587, 0.114])
        thr = fmt.get("threshold", 128)
        im = Image.fromarray(lum >= thr)
        intended = np.repeat(np.where(lum >= thr, 255, 0).astype(np.uint8)[..., None], 3, axis=2)
    else:
        im = Image.fromarray(rgb)
        intended = rgb
    lossless = True
    if kind == "png":
        name = stem + ".png"
        im.save(os.path.join(folder, name), optimize=True)
        desc = "PNG 1-bit bilevel (luminance threshold %d)" % thr if fmt.get("bilevel") else "PNG 24-bit RGB"
    elif kind == "tif":
        name = stem + ".tif"
        im.save(os.path.join(folder, name), compression="group4")
        desc = "TIFF 1-bit bilevel, CCITT group 4 (luminance threshold %d)" % thr
    elif kind == "jpg":
        name = stem + ".jpg"
        im.save(os.path.join(folder, name), quality=fmt["quality"])
        desc = "JPEG quality %d" % fmt["quality"]
        lossless = False
    else:
        raise CaseError("unknown image type %r" % kind)
    decoded = np.asarray(Image.open(os.path.join(folder, name)).convert("RGB"))
    if lossless and not np.array_equal(decoded, intended):
        raise CaseError("%s does not decode to the intended pixels" % name)
    return name, desc, decoded


# ---------------------------------------------------------------------------
# Checks on the written image, and the start pixels
# ---------------------------------------------------------------------------

def ink_offsets(img, pts, colour, paper, width, step=4):
    """For every step-th truth point: the offset across the line of the colour-weighted ink
    centroid in a disc around it (None where there is little ink)."""
    H, W = img.shape[:2]
    R = width / 2.0 + 1.5
    span = max(float(colour_distance(paper, colour)), 1.0)
    out = []
    for i in range(2, len(pts) - 2, step):
        x, y = pts[i]
        c0, c1, r0, r1 = int(x - R - 1), int(x + R + 1), int(y - R - 1), int(y + R + 1)
        if c0 < 0 or r0 < 0 or c1 >= W or r1 >= H:
            continue
        yy, xx = np.mgrid[r0:r1 + 1, c0:c1 + 1] + 0.5
        inside = np.hypot(xx - x, yy - y) <= R
        w = np.clip(1 - colour_distance(img[r0:r1 + 1, c0:c1 + 1], colour) / span, 0, 1) * inside
        if w.sum() < 0.5 * width:
            continue
        tx, ty = pts[i + 2] - pts[i - 2]
        n = math.hypot(tx, ty)
        if n == 0:
            continue
        ox, oy = (w * xx).sum() / w.sum() - x, (w * yy).sum() / w.sum() - y
        out.append((ox * ty - oy * tx) / n)
    return out


def matches(img, c, r, colour):
    H, W = img.shape[:2]
    return 0 <= c < W and 0 <= r < H and colour_distance(img[r, c], colour) <= TOL


def functional_start_ok(img, c, r):
    """The functional follower's start check: within the maximum vertical jump, some pixel
    above and some below the start pixel are off its colour."""
    colour = img[r, c]
    H = img.shape[0]
    above = any(not matches(img, c, rr, colour) for rr in range(r - 1, max(r - MAX_VJUMP, 0) - 1, -1))
    below = any(not matches(img, c, rr, colour) for rr in range(r + 1, min(r + MAX_VJUMP, H)))
    return above and below


def nonfunctional_start_ok(img, c, r, direction):
    """The nonfunctional follower's start check: across the drag direction (rounded to one
    of the eight neighbour steps) the line ends within the maximum jump on both sides."""
    L = math.hypot(*direction)
    sx, sy = int(round(direction[0] / L)), int(round(direction[1] / L))
    px, py = sy, -sx
    colour = img[r, c]
    H, W = img.shape[:2]
    for dx, dy in ((px, py), (-px, -py)):
        k, ok = 1, False
        while 0 <= c + k * dx < W and 0 <= r + k * dy < H and math.hypot(k * dx, k * dy) <= MAX_VJUMP:
            if not matches(img, c + k * dx, r + k * dy, colour):
                ok = True
                break
            k += 1
        if not ok:
            return False
    return True


def best_pixel_near(img, x, y, radius, colour, column=None):
    H, W = img.shape[:2]
    best = None
    cols = [column] if column is not None else range(int(math.floor(x - radius)), int(math.floor(x + radius)) + 1)
    for cc in cols:
        for rr in range(int(math.floor(y - radius)) - 1, int(math.floor(y + radius)) + 2):
            if not (0 <= cc < W and 0 <= rr < H):
                continue
            if math.hypot(cc + 0.5 - x, rr + 0.5 - y) > radius:
                continue
            d = float(colour_distance(img[rr, cc], colour))
            if best is None or d < best[0]:
                best = (d, cc, rr)
    return best


def near_other_ink(pt, others, margin):
    return any(len(q) and np.min(np.hypot(q[:, 0] - pt[0], q[:, 1] - pt[1])) < margin + w / 2.0
               for q, w in others)


def choose_start(img, c, pts, others):
    """A start pixel as a user would click it: on the curve, of the curve's colour (no
    farther than start_max x tolerance), clear of other ink of that colour, and passing the
    follower's start check. Functional: from the column 2 px in from the left end
    rightwards. Nonfunctional: from 3 px in from the chosen end (or at the fraction 'start'
    of a closed curve) onwards, with a drag of about 20 px along the curve."""
    colour, w = c["color"], c["width"]
    limit = c.get("start_max", 0.6) * TOL
    radius = w / 2.0 + 0.75
    if c["kind"] == "functional":
        order = np.argsort(pts[:, 0])
        x_left = pts[order[0], 0]
        first = int(math.floor(x_left + 2 + c.get("start_skip_px", 0)))
        for col in range(first, first + 300):
            near = np.nonzero(np.abs(pts[:, 0] - (col + 0.5)) <= 0.5)[0]
            if not len(near):
                continue
            k = near[np.argmin(np.abs(pts[near, 0] - (col + 0.5)))]
            best = best_pixel_near(img, col + 0.5, pts[k, 1], radius, colour, column=col)
            if best is None or best[0] > limit:
                continue
            _, cc, rr = best
            if near_other_ink((cc + 0.5, rr + 0.5), others, 8) or not functional_start_ok(img, cc, rr):
                continue
            return [cc, rr], None
        raise CaseError("%s: no start pixel" % c["name"])
    s = np.concatenate([[0.0], np.cumsum(np.hypot(*np.diff(pts, axis=0).T))])
    backwards = c.get("start_from_end", False)
    if c.get("closed"):
        s0 = c.get("start", 0.0) * s[-1]
    else:
        s0 = s[-1] - 3.0 if backwards else 3.0
    for ds in np.arange(0.0, 300.0, 1.0):
        target = (s0 - ds) if backwards else (s0 + ds)
        if c.get("closed"):
            target %= s[-1]
        k = int(np.clip(np.searchsorted(s, target), 4, len(pts) - 5))
        best = best_pixel_near(img, pts[k, 0], pts[k, 1], radius, colour)
        if best is None or best[0] > limit:
            continue
        _, cc, rr = best
        if near_other_ink((cc + 0.5, rr + 0.5), others, 8):
            continue
        k2 = int(np.searchsorted(s, s[k] + (-20 if backwards else 20)))
        k2 = min(max(k2, 0), len(pts) - 1)
        direction = [int(round(pts[k2, 0] - pts[k, 0])), int(round(pts[k2, 1] - pts[k, 1]))]
        if direction == [0, 0] or not nonfunctional_start_ok(img, cc, rr, direction):
            continue
        return [cc, rr], direction
    raise CaseError("%s: no start pixel" % c["name"])


def hidden_stretches(img, pts, colour, width):
    """Stretches of the truth with no pixel of the tracking colour (within the tolerance)
    whose centre lies within min(half width, 1) + 0.25 px: hidden under other ink, faded, or
    gaps between dashes. Returns [(arc length px, column extent px)] of each stretch longer
    than 1 px."""
    H, W = img.shape[:2]
    R = min(width / 2.0, 1.0) + 0.25
    k = int(math.ceil(R)) + 1
    ok = np.zeros(len(pts), bool)
    dist = colour_distance(img, colour) <= TOL
    for i, (x, y) in enumerate(pts):
        c0, r0 = int(math.floor(x)) - k, int(math.floor(y)) - k
        for rr in range(max(r0, 0), min(r0 + 2 * k + 1, H)):
            for cc in range(max(c0, 0), min(c0 + 2 * k + 1, W)):
                if dist[rr, cc] and math.hypot(cc + 0.5 - x, rr + 0.5 - y) <= R:
                    ok[i] = True
                    break
            if ok[i]:
                break
    out, i = [], 0
    while i < len(pts):
        if ok[i]:
            i += 1
            continue
        j = i
        while j + 1 < len(pts) and not ok[j + 1]:
            j += 1
        a, b = max(i - 1, 0), min(j + 1, len(pts) - 1)
        seg = pts[a:b + 1]
        length = float(np.hypot(*np.diff(seg, axis=0).T).sum())
        if length > 1.0:
            out.append((length, float(seg[:, 0].max() - seg[:, 0].min())))
        i = j + 1
    return out


def gap_phrase(gaps):
    if not gaps:
        return "no stretch without ink of its colour"
    length, cols = max(gaps)
    if len(gaps) == 1:
        return "1 stretch without ink of its colour, %.0f px long (%.0f columns)" % (length, cols)
    return "%d stretches without ink of its colour, the longest %.0f px (%.0f columns)" % (len(gaps), length, cols)


# ---------------------------------------------------------------------------
# One case
# ---------------------------------------------------------------------------

DEFAULT_EXPECT = {
    "functional": "followed from start_pixel to the right end: coverage >= 0.98, mean <= 0.5 px, no outliers",
    "nonfunctional": "followed along the whole curve from start_pixel in start_direction: coverage >= 0.98, "
                     "mean <= 0.7 px, no outliers",
}


def fmt_value(v):
    return repr(float(v))


def dump_json(obj, indent=0):
    """JSON with lists of numbers on one line and the truth polylines one vertex a line."""
    pad, inner = " " * indent, " " * (indent + 1)
    if isinstance(obj, dict):
        items = []
        for k, v in obj.items():
            if k == "truth":
                body = ",\n".join("[%s,%s]" % (fmt_value(x), fmt_value(y)) for x, y in v)
                items.append('%s"truth": [\n%s\n%s]' % (inner, body, inner))
            else:
                items.append("%s%s: %s" % (inner, json.dumps(k), dump_json(v, indent + 1).lstrip()))
        return pad + "{\n" + ",\n".join(items) + "\n" + pad + "}"
    if isinstance(obj, list) and all(not isinstance(v, (dict, list)) for v in obj):
        return pad + "[" + ", ".join(json.dumps(v) for v in obj) + "]"
    if isinstance(obj, list):
        return pad + "[\n" + ",\n".join(dump_json(v, indent + 1) for v in obj) + "\n" + pad + "]"
    return pad + json.dumps(obj)


def describe_style(c):
    parts = ["anti-aliased" if c.get("aa", True) else "aliased"]
    if c.get("dash"):
        parts.append("dashed %s px (on, off, ...), butt ends" % list(c["dash"]))
    if c.get("steps"):
        parts.append("steps-%s (vertical risers)" % c["steps"])
    m = c.get("marker")
    if m:
        if m.get("filled", True):
            kind = "filled"
        elif m.get("inside"):
            kind = "hollow (%g px edge, painted inside with %s)" % (m.get("edge", 1.5), list(m["inside"]))
        else:
            kind = "hollow (%g px edge, line visible inside)" % m.get("edge", 1.5)
        parts.append("%s '%s' markers %g px at every data point" % (kind, m["shape"], m["size"]))
    if c.get("ticks"):
        parts.append("%g px vertical tick marks of its colour on the line" % c["ticks"]["height"])
    return ", ".join(parts)


def build_case(case, out_dir, overlay_dir=None):
    cid = case["id"]
    rng = np.random.default_rng(case["seed"])
    post = case.get("scan", {})
    paper = tuple(post.get("paper", WHITE))
    plot = Plot(case["size"], case["box"], case["xlim"], case["ylim"], paper)
    frame = dict(case.get("frame", {}))
    draw_frame(plot, frame)

    curves = case["curves"]
    truths = []
    for c in curves:
        c.setdefault("width", 2)
        X, Y, marks = build_truth(plot, c)
        truths.append((X, Y, marks))
    # draw in list order; a curve's markers right after its line
    for c, (X, Y, marks) in zip(curves, truths):
        x, y = plot.to_px(X, Y)
        plot.stroke(x, y, c["color"], c["width"], aa=c.get("aa", True), dash=c.get("dash"))
        m = c.get("marker")
        if m:
            for i in marks:
                plot.marker(x[i], y[i], m["shape"], m["size"], c["color"], m.get("filled", True),
                            m.get("inside"), m.get("edge", 1.5))
        t = c.get("ticks")  # short vertical marks on the line (censoring marks)
        if t:
            for Xt in t["at"]:
                j = int(np.argmin(np.abs(X - Xt)))
                xt, yt = plot.to_px(X[j], Y[j])
                plot.stroke([xt, xt], [yt - t["height"] / 2.0, yt + t["height"] / 2.0], c["color"], t["width"])
    arr = plot.render()

    rot = None
    if post:
        cl, rt, cr, rb = plot.box
        if post.get("rotate_deg"):
            rot = axis_vector(post["rotate_deg"], cr - cl, rb - rt)
        arr = scan(arr, post, rot, paper, rng)
    folder = os.path.join(out_dir, cid)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    image_name, image_desc, img = write_image(arr, case.get("format", {"type": "png"}), folder, cid)
    H, W = img.shape[:2]

    def final_px(X, Y):
        x, y = plot.to_px(X, Y)
        return rotate_points(rot, (W, H), x, y) if rot else (x, y)

    # reference pixels and their values
    cl, rt, cr, rb = plot.box
    if rot:
        fx, fy = rotate_points(rot, (W, H), cl + 0.5, rb + 0.5)
        p1 = [int(math.floor(fx)), int(math.floor(fy))]
        ps = [p1[0] + rot["j"] * rot["b"], p1[1] + rot["j"] * rot["a"]]
        p2 = [ps[0] + rot["k"] * rot["a"], ps[1] - rot["k"] * rot["b"]]
        values = []
        for p in (p1, ps, p2):
            ux, uy = unrotate_points(rot, (W, H), p[0] + 0.5, p[1] + 0.5)
            X, Y = plot.to_real(ux, uy)
            values.append([float(X), float(Y)])
        spans = [abs(plot.xlim[1] - plot.xlim[0]), abs(plot.ylim[1] - plot.ylim[0])]
        if (abs(values[1][1] - values[0][1]) > 1e-9 * spans[1]
                or abs(values[2][0] - values[1][0]) > 1e-9 * spans[0]):
            raise CaseError("%s: rotated reference points are not on the rotated axes" % cid)
        for p in (p1, ps, p2):
            if not (0 <= p[0] < W and 0 <= p[1] < H):
                raise CaseError("%s: reference pixel %s outside the image" % (cid, p))
        axes = {"first": {"pixel": p1, "value": values[0]}, "skew": {"pixel": ps},
                "second": {"pixel": p2, "value": values[2]}}
    else:
        axes = {"first": {"pixel": [cl, rb], "value": [float(plot.xlim[0]), float(plot.ylim[0])]},
                "skew": {"pixel": [cr, rb]},
                "second": {"pixel": [cr, rt], "value": [float(plot.xlim[1]), float(plot.ylim[1])]}}
        for key, (c, r) in (("first", (cl, rb)), ("second", (cr, rt))):
            X, Y = plot.to_real(c + 0.5, r + 0.5)
            v = axes[key]["value"]
            if (abs(X - v[0]) > 1e-12 * abs(plot.xlim[1] - plot.xlim[0])
                    or abs(Y - v[1]) > 1e-12 * abs(plot.ylim[1] - plot.ylim[0])):
                raise CaseError("%s: reference value %s not at the centre of pixel %s" % (cid, v, [c, r]))
    axes["log_x"], axes["log_y"] = False, False

    # the evaluator's calibration lands every truth vertex where it was drawn
    cal = evaluate.Calibration(axes)
    reg_err = 0.0
    finals = []
    for c, (X, Y, _) in zip(curves, truths):
        x, y = plot.to_px(X, Y)
        if (x.min() < cl + 0.5 or x.max() > cr + 0.5 or y.min() < rt + 0.5 or y.max() > rb + 0.5):
            raise CaseError("%s/%s: the curve leaves the plot box" % (cid, c["name"]))
        fx, fy = final_px(X, Y)
        finals.append(np.column_stack([fx, fy]))
        for i in range(0, len(X), 7):
            px, py = cal.real_to_pixel(float(X[i]), float(Y[i]))
            reg_err = max(reg_err, math.hypot(px + 0.5 - fx[i], py + 0.5 - fy[i]))
    if reg_err > 1e-6:
        raise CaseError("%s: evaluator calibration is %.2g px off the drawing" % (cid, reg_err))

    # ink on the truth, start pixels, hidden stretches
    bilevel = case.get("format", {}).get("bilevel")
    docs, report = [], []
    ink_paper = (255, 255, 255) if bilevel else paper
    for i, (c, (X, Y, _)) in enumerate(zip(curves, truths)):
        pts = finals[i]
        colour = BLACK if bilevel else c["color"]
        offs = ink_offsets(img, pts, colour, ink_paper, c["width"])
        across = float(np.median(offs)) if offs else float("nan")
        if not abs(across) < 0.15:
            raise CaseError("%s/%s: ink centroid %.3f px across the line from the truth" % (cid, c["name"], across))
        others = [(finals[j], curves[j]["width"]) for j in range(len(curves))
                  if j != i and colour_distance(BLACK if bilevel else curves[j]["color"], colour) <= TOL]
        if colour_distance(frame.get("color", BLACK), colour) <= TOL:
            for q in frame_lines(plot, frame):  # the frame and axis lines are ink of this colour
                others.append((np.column_stack(rotate_points(rot, (W, H), *q) if rot else q), 1))
        start, direction = choose_start(img, dict(c, color=colour), pts, others)
        start_colour = [int(v) for v in img[start[1], start[0]]]
        if colour_distance(start_colour, colour) > TOL:
            raise CaseError("%s/%s: start pixel colour out of tolerance" % (cid, c["name"]))
        gaps = hidden_stretches(img, pts, start_colour, c["width"])
        doc = {"name": c["name"], "kind": c["kind"], "color": list(colour), "width_px": c["width"],
               "style": describe_style(c), "start_pixel": start, "start_pixel_color": start_colour}
        if direction is not None:
            doc["start_direction"] = direction
        expect = c.get("expect", DEFAULT_EXPECT[c["kind"]])
        longest = max(gaps, default=(0.0, 0.0))
        doc["expect"] = expect.format(gaps=gap_phrase(gaps))
        doc["truth"] = list(zip(X, Y))
        docs.append(doc)
        report.append("  %-14s %-13s n=%-5d across=%+.3f start=%s d=%.0f gaps=%d longest=%.1f px (%.1f cols)"
                      % (c["name"], c["kind"], len(X), across, start,
                         colour_distance(start_colour, colour), len(gaps), longest[0], longest[1]))

    gen = {"seed": case["seed"], "dpi": DPI}
    if rot:
        gen["rotation"] = {"degrees": math.degrees(math.atan2(rot["a"], rot["b"])),
                           "x_axis_vector_px": [rot["b"], rot["a"]], "about": [W / 2.0, H / 2.0],
                           "deskewed_span_px": [rot["j"] * rot["L"], -rot["k"] * rot["L"]],
                           "max_span_rounding_px": round(rot["err"], 4)}
    for key in ("blur", "noise", "specks", "shading"):
        if post.get(key):
            gen[key] = post[key]
    doc = {
        "format": "korvane-bench-truth/1",
        "id": cid,
        "set": "drawn",
        "image": image_name,
        "image_format": image_desc,
        "width": W,
        "height": H,
        "pixel_convention": "pixel [col,row]: col to the right, row downwards, row 0 at the top; "
                            "pixel centre at (col+0.5,row+0.5) in continuous image coordinates",
        "axes": axes,
        "notes": case["notes"].format(degrees=abs(gen["rotation"]["degrees"]) if rot else 0.0),
        "generator": gen,
        "curves": docs,
    }
    with open(os.path.join(folder, "truth.json"), "w") as f:
        f.write(dump_json(doc) + "\n")
    if overlay_dir:
        write_overlay(img, axes, docs, finals, os.path.join(overlay_dir, cid + ".png"))
    size = sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))
    print("%-28s %-5s %dx%d  %-44s %4.0f kB  calibration %.1e px" % (
        cid, image_name.rsplit(".", 1)[1], W, H, image_desc, size / 1024.0, reg_err))
    for line in report:
        print(line)
    return size


def write_overlay(img, axes, docs, finals, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    im = Image.fromarray(img).convert("RGB")
    d = ImageDraw.Draw(im)
    for key in ("first", "skew", "second"):
        c, r = axes[key]["pixel"]
        d.line([(c - 10, r), (c + 10, r)], fill=(0, 190, 0))
        d.line([(c, r - 10), (c, r + 10)], fill=(0, 190, 0))
    for doc, pts in zip(docs, finals):
        for x, y in pts[::6]:
            d.point((x - 0.5, y - 0.5), fill=(255, 0, 255))
        c, r = doc["start_pixel"]
        d.rectangle([c - 4, r - 4, c + 4, r + 4], outline=(0, 160, 255))
        if "start_direction" in doc:
            dx, dy = doc["start_direction"]
            d.line([(c, r), (c + dx, r + dy)], fill=(0, 160, 255))
    im.save(path)


def run_oracle(out_dir):
    """The shared oracle on the written cases: a perfect digitizer must score ~0 px and full
    coverage."""
    p = subprocess.run([sys.executable, os.path.join(SHARED_BENCH, "oracle.py"), out_dir],
                       capture_output=True, text=True)
    bad = []
    for line in p.stdout.splitlines():
        if line.startswith("RESULT"):
            f = dict(kv.split("=", 1) for kv in line.split()[1:])
            if float(f["max_px"]) > 0.01 or float(f["coverage"]) < 0.9999 or float(f["outliers"]) > 0:
                bad.append(line)
        elif line.startswith("FAILED"):
            bad.append(line)
    summary = [l for l in p.stdout.splitlines() if l.startswith("summary")]
    print("oracle: " + (summary[0] if summary else p.stderr.strip()))
    if p.returncode != 0 or bad or not summary:
        raise CaseError("the oracle does not score ~0 px with full coverage:\n" + "\n".join(bad))


# ---------------------------------------------------------------------------
# The cases
# ---------------------------------------------------------------------------

PAGE = dict(size=(800, 600), box=(72, 24, 772, 544))          # 700 x 520 px plot box
SCAN_PAGE = dict(size=(900, 680), box=(92, 40, 852, 590))     # room for a turned page
SCAN_PAPER = (247, 245, 238)


def data_rng(seed):
    return np.random.default_rng(seed)


def linespoints_data(seed, x0, x1, step, f, noise):
    rng = data_rng(seed)
    xs = np.arange(x0, x1 + 1e-9, step)
    return list(xs), list(f(xs) + rng.normal(0, noise, len(xs)))


def kaplan_meier(seed, n, scale, horizon):
    """Steps of a Kaplan-Meier estimate: event and censoring times of n subjects."""
    rng = data_rng(seed)
    events = rng.exponential(scale, n)
    censor = rng.uniform(0.3 * horizon, 1.6 * horizon, n)
    t = np.minimum(events, censor)
    died = events <= censor
    order = np.argsort(t)
    at_risk, s = n, 1.0
    xs, ys, censored = [0.0], [1.0], []
    for i in order:
        if t[i] >= horizon:
            break
        if died[i]:
            s *= 1.0 - 1.0 / at_risk
            xs.append(round(float(t[i]), 3))
            ys.append(s)
        else:
            censored.append(round(float(t[i]), 3))
        at_risk -= 1
    xs.append(horizon)
    ys.append(s)
    return xs, ys, censored


def cumulative_incidence(seed, n, scale, horizon, share):
    rng = data_rng(seed)
    t = np.sort(rng.exponential(scale, n))
    t = t[t < horizon]
    xs = [0.0] + [round(float(v), 3) for v in t] + [horizon]
    ys = [0.0] + [share * (k + 1) / n for k in range(len(t))] + [share * len(t) / n]
    return xs, ys


def quantised_signal(seed, horizon):
    rng = data_rng(seed)
    xs, ys, x = [0.0], [5.0], 0.0
    while True:
        x += float(rng.uniform(5, 12))
        if x >= horizon - 3:
            break
        xs.append(round(x, 2))
        ys.append(float(rng.integers(3, 10)))
    xs.append(horizon)
    ys.append(ys[-1])
    return xs, ys


def histogram_counts(seed, bins):
    rng = data_rng(seed)
    centres = np.arange(bins) + 0.5
    mean = 25 + 55 * np.exp(-((centres - 20) / 7.0) ** 2) + 40 * np.exp(-((centres - 44) / 5.0) ** 2)
    counts = rng.poisson(mean).astype(float)
    counts[[9, 31, 52]] += [30, 28, 35]  # single-bin spikes: risers one bin apart
    return list(centres), list(counts)


def smoothstep_levels(levels, edges, half):
    """A level signal: constant between smooth ramps of half-width `half` at `edges`."""
    def f(x):
        x = np.asarray(x, float)
        y = np.full_like(x, levels[0])
        for e, a, b in zip(edges, levels[:-1], levels[1:]):
            u = np.clip((x - e + half) / (2 * half), 0, 1)
            y = y + (b - a) * u * u * (3 - 2 * u)
        return y
    return f


def hysteresis(ms, hc, a, chi, hmax):
    """A closed B(H) loop: the rising branch from -hmax to hmax, the falling one back."""
    def xy(t):
        t = np.asarray(t, float)
        rising = t <= 1
        H = np.where(rising, -hmax + 2 * hmax * t, hmax - 2 * hmax * (t - 1))
        B = np.where(rising, ms * np.tanh((H - hc) / a), ms * np.tanh((H + hc) / a)) + chi * H
        return H, B
    return xy


def ellipse(cx, cy, a, b, tilt):
    def xy(t):
        return (cx + a * np.cos(t) * math.cos(tilt) - b * np.sin(t) * math.sin(tilt),
                cy + a * np.cos(t) * math.sin(tilt) + b * np.sin(t) * math.cos(tilt))
    return xy


def functional(name, color, width, x, f, **kw):
    return dict(name=name, kind="functional", color=color, width=width, x=x, f=f, **kw)


def polyline(name, color, width, points, **kw):
    return dict(name=name, kind="functional", color=color, width=width, points=points, **kw)


def loop(name, color, width, t, xy, **kw):
    return dict(name=name, kind="nonfunctional", color=color, width=width, t=t, xy=xy, **kw)


def _flat_topped_wave(x):
    """A wave with flat tops on the row boundary 295 and flat bottoms on the row boundary 431
    of the d12 chart (52 px per unit, Y = 0 at y = 544.5)."""
    top, bottom = (544.5 - 295.0) / 52.0, (544.5 - 431.0) / 52.0
    shape = np.tanh(2.5 * np.sin(0.11 * np.asarray(x, float) + 0.5)) / math.tanh(2.5)
    return 0.5 * (top + bottom) + 0.5 * (top - bottom) * shape


_fit_under = lambda x: 50 + 18 * np.sin(0.45 * x + 0.3)  # noqa: E731
_lp5 = [linespoints_data(51, 0.5, 23.5, 1.0, f, s) for f, s in (
    (lambda x: 22 + 2.5 * np.sin(0.4 * x), 0.7),
    (lambda x: 13.5 + 0.15 * x + 2.0 * np.cos(0.5 * x), 0.7),
    (lambda x: 5.5 + 1.6 * np.sin(0.3 * x + 1), 0.5))]
_lp6 = [linespoints_data(61, 0.6, 19.4, 1.25, f, s) for f, s in (
    (lambda x: 40 + 4 * np.sin(0.35 * x), 1.5),
    (lambda x: 26 + 0.3 * x + 3 * np.cos(0.45 * x), 1.5),
    (lambda x: 10 + 3 * np.sin(0.25 * x + 2), 1.2))]
_lp7 = [linespoints_data(71, 0.4, 49.6, 0.8, lambda x: 5 + 2 * np.sin(0.3 * x), 0.9),
        linespoints_data(72, 0.6, 49.2, 1.2, lambda x: -4.5 + 2 * np.cos(0.25 * x), 0.8)]
_km = kaplan_meier(151, 60, 40.0, 60.0)
_ci = cumulative_incidence(152, 70, 45.0, 60.0, 0.9)
_q16 = quantised_signal(161, 100.0)
_fine16 = (list(np.arange(0.0, 100.01, 2.0)),
           list(np.round(0.8 + 0.012 * np.arange(0.0, 100.01, 2.0)
                         + 0.35 * np.sin(0.1 * np.arange(0.0, 100.01, 2.0)), 1)))
_hist = histogram_counts(171, 64)
_cum_x = list(np.arange(0.0, 64.01, 0.5))
_cum_y = list(np.maximum.accumulate(np.round(
    125 + 120 * (1 - np.exp(-np.arange(0.0, 64.01, 0.5) / 20.0))
    + data_rng(172).uniform(-1, 1, len(_cum_x)).cumsum() * 0.4, 0)))

CASES = [
    # -- 1. a curve under a curve of another colour drawn after it
    dict(
        id="d01_occlusion_steep", seed=1, **PAGE, xlim=(0, 10), ylim=(-2, 2),
        frame=dict(xlabel="Time (ms)", ylabel="Signal (V)"),
        notes="A 2 px blue trace under a 3 px red carrier drawn after it, which crosses it 6 times at "
              "50-90 degrees: each crossing hides 3-4 px of the blue line.",
        curves=[functional("trace", (30, 80, 190), 2, (0.2, 9.8),
                           lambda x: 0.35 * np.sin(0.7 * x + 0.5) + 0.06 * (x - 5),
                           expect="bridges the crossings on its own line ({gaps}): coverage >= 0.98, "
                                  "mean <= 0.5 px, no outliers"),
                functional("carrier", (215, 45, 35), 3, (0.2, 9.8),
                           lambda x: 1.45 * np.sin(2.1 * x) * (1 - 0.03 * x),
                           expect="drawn on top, steep (up to 6 px per column): coverage >= 0.98, "
                                  "mean <= 0.5 px, no outliers")],
    ),
    dict(
        id="d02_occlusion_shallow", seed=2, **PAGE, xlim=(0, 10), ylim=(0, 100),
        frame=dict(xlabel="Distance (km)", ylabel="Level (%)"),
        notes="A 2 px green run under a 5 px purple fit drawn after it; the fit crosses it 4 times at "
              "shallow angles (about 4, 9, 12 and 17 degrees), hiding long stretches of the green line.",
        curves=[functional("run", (20, 130, 60), 2, (0.2, 9.8), _fit_under,
                           expect="keeps to its line through the long hidden stretches ({gaps}), "
                                  "without following the fit: coverage >= 0.95, no outliers"),
                functional("fit", (125, 45, 165), 5, (0.2, 9.8),
                           lambda x: _fit_under(x) + (0.2 + 0.4 * x + 2.5 * np.exp(-x / 0.5)) * np.sin(1.3 * x - 1.95),
                           expect="drawn on top: coverage >= 0.98, mean <= 0.5 px, no outliers")],
    ),
    dict(
        id="d03_occlusion_widths", seed=3, **PAGE, xlim=(0, 12), ylim=(0, 60),
        frame=dict(xlabel="Temperature (C)", ylabel="Yield (g)"),
        notes="A 2 px dark blue curve drawn first, then three straight lines over it: orange 1 px, "
              "red 3 px and green 6 px, crossing it five times at 30-80 degrees; the lines also cross each "
              "other (the thin one goes under the two wider ones, under the green one at 13 degrees).",
        curves=[functional("data", (25, 50, 140), 2, (0.2, 11.8),
                           lambda x: 30 + 12 * np.sin(0.55 * x) + 3 * np.sin(1.7 * x + 1),
                           expect="bridges the crossings of all three widths ({gaps}): "
                                  "coverage >= 0.98, mean <= 0.5 px, no outliers"),
                functional("thin", (240, 140, 0), 1, (0.2, 11.8), lambda x: 10 + 3.4 * x,
                           expect="a 1 px line, under the red and green ones where they cross it ({gaps}"
                                  + "): coverage >= 0.98, mean <= 0.5 px, no outliers"),
                functional("medium", (200, 30, 50), 3, (0.2, 11.8), lambda x: 52 - 3.3 * x,
                           expect="under the green line where they cross ({gaps}): coverage >= 0.98, "
                                  "mean <= 0.5 px, no outliers"),
                functional("wide", (40, 160, 80), 6, (0.2, 11.8), lambda x: 18 + 1.6 * x,
                           expect="a 6 px line on top of the others: coverage >= 0.98, mean <= 0.5 px, "
                                  "no outliers")],
    ),
    dict(
        id="d04_occlusion_loop", seed=4, **PAGE, xlim=(-4, 4), ylim=(-3, 3),
        frame=dict(xlabel="x", ylabel="y"),
        notes="A closed tilted ellipse (2 px, dark green) drawn first, crossed by a 3 px red line and a "
              "4 px blue wave drawn after it (six crossings on the ellipse, some shallow).",
        curves=[loop("orbit", (0, 110, 70), 2, (0, 2 * math.pi), ellipse(-0.4, 0.2, 2.7, 1.6, 0.3),
                     closed=True, start=0.7,
                     expect="goes once round through the crossings ({gaps}) and stops where it "
                            "started: coverage >= 0.98, mean <= 0.7 px, no outliers"),
                functional("trend", (210, 40, 40), 3, (-3.9, 3.9), lambda x: 0.35 * x - 0.2,
                           expect="drawn on top: coverage >= 0.98, mean <= 0.5 px, no outliers"),
                functional("wave", (40, 90, 210), 4, (-3.9, 3.9), lambda x: 1.5 * np.sin(0.8 * x + 0.3) + 0.2,
                           expect="drawn on top, crosses the red line: coverage >= 0.98, mean <= 0.5 px, "
                                  "no outliers")],
    ),
    # -- 2. lines with point markers of their own colour
    dict(
        id="d05_linespoints_filled", seed=5, **PAGE, xlim=(0, 24), ylim=(0, 30),
        frame=dict(xlabel="Week", ylabel="Count"),
        notes="Three lines through data points with filled markers of their own colour on every point "
              "(29 px apart): blue 6 px circles on a 2 px line, red 8 px squares on a 2 px line, green "
              "9 px triangles on a 3 px line.",
        curves=[polyline("circles", (30, 90, 200), 2, _lp5[0], marker=dict(shape="o", size=6),
                         expect="passes through the markers without being pulled off the line: coverage >= 0.98, "
                                "p95 <= 1.5 px, no outliers"),
                polyline("squares", (200, 40, 40), 2, _lp5[1], marker=dict(shape="s", size=8),
                         expect="passes through the markers without being pulled off the line: coverage >= 0.98, "
                                "p95 <= 1.5 px, no outliers"),
                polyline("triangles", (20, 130, 60), 3, _lp5[2], marker=dict(shape="^", size=9),
                         expect="passes through the triangles (their ink lies above the vertex's middle "
                                "line): coverage >= 0.98, p95 <= 1.5 px, no outliers")],
    ),
    dict(
        id="d06_linespoints_hollow", seed=6, **PAGE, xlim=(0, 20), ylim=(0, 50),
        frame=dict(xlabel="Load (kN)", ylabel="Strain (1e-4)"),
        notes="Hollow markers of the line's colour on every data point (44 px apart), 1.5 px edges: "
              "orange 8 px circles painted white inside (the line stops at each ring), purple 7 px "
              "squares and teal 8 px triangles with the line visible inside.",
        curves=[polyline("rings", (230, 120, 0), 2, _lp6[0],
                         marker=dict(shape="o", size=8, filled=False, inside=WHITE),
                         expect="crosses each white-filled ring (a 5 px gap in the line inside it): "
                                "coverage >= 0.98, p95 <= 1.5 px, no outliers"),
                polyline("open_squares", (130, 50, 170), 2, _lp6[1],
                         marker=dict(shape="s", size=7, filled=False),
                         expect="passes through the squares: coverage >= 0.98, p95 <= 1.5 px, no outliers"),
                polyline("open_triangles", (0, 130, 130), 2, _lp6[2],
                         marker=dict(shape="^", size=8, filled=False),
                         expect="passes through the triangles: coverage >= 0.98, p95 <= 1.5 px, no outliers")],
    ),
    dict(
        id="d07_linespoints_dense", seed=7, **PAGE, xlim=(0, 50), ylim=(-10, 10),
        frame=dict(xlabel="Sample", ylabel="Deviation"),
        notes="Dense noisy data: a black 2 px line with 6 px filled circles 11 px apart (markers almost "
              "touch, segments up to 3 px per column), and a red 2 px line with 8 px hollow squares "
              "17 px apart.",
        curves=[polyline("black_dots", BLACK, 2, _lp7[0], marker=dict(shape="o", size=6),
                         expect="follows the zigzag through every marker: coverage >= 0.98, p95 <= 1.5 px, "
                                "no outliers"),
                polyline("red_squares", (210, 30, 30), 2, _lp7[1], marker=dict(shape="s", size=8, filled=False),
                         expect="passes through the hollow squares: coverage >= 0.98, p95 <= 1.5 px, no outliers")],
    ),
    # -- 3. dashed and dotted lines in scans
    dict(
        id="d08_dashes_scan_jpeg", seed=8, **SCAN_PAGE, xlim=(0, 30), ylim=(0, 80),
        frame=dict(xlabel="Time (h)", ylabel="Pressure (kPa)"),
        notes="Simulated colour scan: turned {degrees:.2f} degrees clockwise, blurred, noisy, with specks, "
              "off-white paper, JPEG. 3 px lines: dashed black (9 on, 4 off), dotted blue (3, 4) and "
              "dash-dot red (10, 3, 3, 3). Reference pixels, values and truth follow the rotation.",
        scan=dict(rotate_deg=0.75, blur=0.6, noise=4, specks=150, paper=SCAN_PAPER),
        format=dict(type="jpg", quality=88),
        curves=[functional("dashed", BLACK, 3, (0.4, 29.6), lambda x: 60 + 12 * np.sin(0.2 * x), dash=(9, 4),
                           expect="bridges every gap ({gaps}): coverage >= 0.97, mean <= 0.7 px, "
                                  "no outliers"),
                functional("dotted", (30, 60, 170), 3, (0.4, 29.6),
                           lambda x: 34 + 6 * np.cos(0.25 * x + 1) + 0.15 * x, dash=(3, 4), start_max=0.9,
                           expect="keeps to the dots through noise and specks ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.8 px, outliers <= 0.01"),
                functional("dashdot", (190, 30, 30), 3, (0.4, 29.6), lambda x: 15 + 5 * np.sin(0.4 * x),
                           dash=(10, 3, 3, 3), start_max=0.9,
                           expect="bridges the 3 px gaps and keeps the 3 px dots ({gaps}): "
                                  "coverage >= 0.97, mean <= 0.7 px, no outliers")],
    ),
    dict(
        id="d09_dashes_scan_turned", seed=9, **SCAN_PAGE, xlim=(0, 20), ylim=(0, 100),
        frame=dict(xlabel="Depth (m)", ylabel="Moisture (%)"),
        notes="Simulated colour scan turned {degrees:.2f} degrees anticlockwise, blur, noise, 250 specks "
              "and uneven shading, JPEG: a steep 3 px dark green dashed line (7 on, 5 off) and a black "
              "dotted line of 4 px dots 4 px apart.",
        scan=dict(rotate_deg=-1.6, blur=0.8, noise=5, specks=250, shading=0.08, paper=SCAN_PAPER),
        format=dict(type="jpg", quality=85),
        curves=[functional("dashed", (0, 100, 50), 3, (0.3, 19.7), lambda x: 62 + 28 * np.sin(0.45 * x),
                           dash=(7, 5), start_max=0.9,
                           expect="bridges the 5 px gaps on the steep flanks ({gaps}): coverage >= 0.97, "
                                  "mean <= 0.7 px, no outliers"),
                functional("dotted", BLACK, 4, (0.3, 19.7),
                           lambda x: 16 + 0.05 * x ** 2 + 3 * np.sin(0.9 * x), dash=(4, 4), start_max=0.9,
                           expect="bridges the 4 px gaps between dots without jumping to specks ({gaps}"
                                  + "): coverage >= 0.95, mean <= 0.8 px, outliers <= 0.01")],
    ),
    dict(
        id="d10_dashes_bilevel_png", seed=10, **SCAN_PAGE, xlim=(0, 40), ylim=(0, 90),
        frame=dict(xlabel="Frequency (Hz)", ylabel="Amplitude (dB)"),
        notes="Bilevel scan: the page turned {degrees:.2f} degrees clockwise, blurred and noisy, then thresholded "
              "to one bit (ragged edges, broken dots, black specks). Three black 2 px lines: dashed "
              "(8, 4), dotted (2, 3) and long-dashed (14, 6).",
        scan=dict(rotate_deg=1.1, blur=0.8, noise=12, specks=200),
        format=dict(type="png", bilevel=True, threshold=150),
        curves=[functional("dashed", BLACK, 2, (0.5, 39.5), lambda x: 70 + 10 * np.sin(0.18 * x),
                           dash=(8, 4),
                           expect="bridges the 4 px gaps ({gaps}): coverage >= 0.97, mean <= 0.7 px, "
                                  "no outliers"),
                functional("dotted", BLACK, 2, (0.5, 39.5), lambda x: 42 + 9 * np.cos(0.22 * x),
                           dash=(2, 3),
                           expect="keeps to the dots, which the threshold thins or breaks ({gaps}): "
                                  "coverage >= 0.95, mean <= 0.8 px, outliers <= 0.01"),
                functional("long_dash", BLACK, 2, (0.5, 39.5), lambda x: 14 + 0.15 * x + 4 * np.sin(0.3 * x),
                           dash=(14, 6),
                           expect="bridges the 6 px gaps, at the follower's default horizontal jump ({gaps}"
                                  + "): coverage >= 0.97, no outliers")],
    ),
    dict(
        id="d11_dashes_bilevel_tiff", seed=11, **SCAN_PAGE, xlim=(0, 10), ylim=(-50, 50),
        frame=dict(xlabel="Position (mm)", ylabel="Offset (um)"),
        notes="Bilevel scan in a CCITT group 4 TIFF: turned {degrees:.2f} degrees anticlockwise, noisy, 300 "
              "specks, thresholded a little dark (140): a dotted 2 px line (2, 3) and a dashed 3 px "
              "line (6, 3), both black.",
        scan=dict(rotate_deg=-0.6, blur=0.7, noise=14, specks=300),
        format=dict(type="tif", bilevel=True, threshold=140),
        curves=[functional("dotted", BLACK, 2, (0.15, 9.85), lambda x: 22 + 14 * np.sin(0.7 * x + 0.4),
                           dash=(2, 3),
                           expect="keeps to the dots among specks ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.8 px, outliers <= 0.01"),
                functional("dashed", BLACK, 3, (0.15, 9.85), lambda x: -25 + 10 * np.cos(0.9 * x) + 1.5 * x,
                           dash=(6, 3),
                           expect="bridges the 3 px gaps ({gaps}): coverage >= 0.97, mean <= 0.7 px, "
                                  "no outliers")],
    ),
    # -- 4. faint thin lines
    dict(
        id="d12_faint_grey", seed=12, **PAGE, xlim=(0, 100), ylim=(0, 10),
        frame=dict(xlabel="Cycle", ylabel="Capacity (Ah)", grid=(228, 228, 228)),
        notes="Two 1 px anti-aliased grey lines (140, 140, 140) over a light grid; where a line lies "
              "across two pixels each gets about half its ink (197, 197, 197), farther than the default "
              "tolerance from the grey: the nearly level one (drifting 1 px in 50-270 columns) fades "
              "where it crosses a row boundary, the wave on its flat tops and bottoms, which lie on "
              "row boundaries.",
        curves=[functional("level", (140, 140, 140), 1, (1, 99),
                           lambda x: 7.2 + 0.02 * np.sin(0.05 * x) + 0.0015 * x,
                           start_max=0.1,
                           expect="followed across the faded stretches ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.6 px, no outliers"),
                functional("wave", (140, 140, 140), 1, (1, 99), _flat_topped_wave,
                           start_max=0.1,
                           expect="followed across the faded stretches ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.6 px, no outliers")],
    ),
    dict(
        id="d13_faint_colours", seed=13, **PAGE, xlim=(0, 10), ylim=(0, 1),
        frame=dict(xlabel="Wavelength (um)", ylabel="Reflectance"),
        notes="1 px anti-aliased lines in pale blue (100, 140, 225) and light orange (245, 160, 90), "
              "which fade where they lie across a pixel row boundary: the blue one levels off (its "
              "faded stretches grow longer, up to 13 columns), the orange one drifts slowly across the "
              "rows (fades every 90 columns or so, for up to 25 columns).",
        curves=[functional("pale_blue", (100, 140, 225), 1, (0.15, 9.85),
                           lambda x: 0.5 + 0.12 * (1 - np.exp(-x / 2.5)), start_max=0.1,
                           expect="followed across the faded stretches ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.6 px, no outliers"),
                functional("light_orange", (245, 160, 90), 1, (0.15, 9.85),
                           lambda x: 0.25 + 0.0016 * x + 0.006 * np.sin(0.5 * x), start_max=0.1,
                           expect="followed across the faded stretches ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.6 px, no outliers")],
    ),
    dict(
        id="d14_faint_plateaus", seed=14, **PAGE, xlim=(0, 70), ylim=(0, 52),
        frame=dict(xlabel="Time (s)", ylabel="Setpoint"),
        notes="Level signals drawn 1 px wide, grey and light green: the grey one starts and ends "
              "on pixel centres, but its three middle plateaus lie exactly on pixel row boundaries (two "
              "half-inked rows, out of tolerance, for 80-130 columns); the green one's plateaus lie on "
              "pixel centres, joined by long shallow ramps (4-7 px over 140 columns) that fade where "
              "they cross a row boundary.",
        curves=[functional("grey_levels", (140, 140, 140), 1, (0.5, 69.5),
                           smoothstep_levels([40.0, 44.05, 36.05, 42.05, 38.0], [12, 27, 45, 58], 2.5),
                           start_max=0.1,
                           expect="followed along plateaus whose pixels are all out of tolerance ({gaps}"
                                  + "): coverage >= 0.9, mean <= 0.7 px, no outliers"),
                functional("green_levels", (110, 190, 110), 1, (0.5, 69.5),
                           smoothstep_levels([12.0, 12.6, 11.9, 12.5, 12.1], [12, 29, 46, 60], 7),
                           start_max=0.1,
                           expect="followed along the fading ramps ({gaps}): coverage >= 0.95, "
                                  "mean <= 0.6 px, no outliers")],
    ),
    # -- 5. step functions
    dict(
        id="d15_steps_survival", seed=15, **PAGE, xlim=(0, 60), ylim=(-0.05, 1.05),
        frame=dict(xlabel="Months", ylabel="Probability"),
        notes="Kaplan-Meier style step functions (drawstyle steps-post): a black 2 px survival curve "
              "with 8 px censoring ticks of its colour on the treads, and a blue 2 px cumulative "
              "incidence rising in small steps. Risers are exactly vertical: the truth repeats X on "
              "them.",
        curves=[polyline("survival", BLACK, 2, _km[:2], steps="post",
                         ticks=dict(at=_km[2], height=8, width=1),
                         expect="follows treads and risers, past the censoring ticks: coverage >= 0.98, "
                                "mean <= 0.5 px, no outliers"),
                polyline("incidence", (30, 80, 190), 2, _ci, steps="post",
                         expect="follows treads and risers: coverage >= 0.98, mean <= 0.5 px, no outliers")],
    ),
    dict(
        id="d16_steps_tall", seed=16, **PAGE, xlim=(0, 100), ylim=(0, 10),
        frame=dict(xlabel="Time (s)", ylabel="State", grid=(222, 222, 222)),
        notes="A 3 px orange steps-post signal with risers up to 260 px tall (far beyond the default "
              "vertical jump of 50 px) over a light grid, and below it a 2 px green steps-pre line "
              "with 5 px risers.",
        curves=[polyline("tall_steps", (230, 110, 0), 3, _q16, steps="post",
                         expect="climbs and drops every riser to the next tread: coverage >= 0.98, "
                                "mean <= 0.5 px, no outliers"),
                polyline("fine_steps", (30, 140, 60), 2, _fine16, steps="pre",
                         expect="follows the small steps: coverage >= 0.98, mean <= 0.5 px, no outliers")],
    ),
    dict(
        id="d17_steps_histogram", seed=17, **PAGE, xlim=(0, 64), ylim=(0, 250),
        frame=dict(xlabel="Channel", ylabel="Counts"),
        notes="A histogram outline (purple 2 px, drawstyle steps-mid, bins 11 px wide, three one-bin "
              "spikes) and above it a 1 px aliased black cumulative staircase (steps-post, treads "
              "5.5 px, risers 0-9 px).",
        curves=[polyline("histogram", (120, 40, 160), 2, _hist, steps="mid",
                         expect="follows every bin including the one-bin spikes: coverage >= 0.98, "
                                "mean <= 0.5 px, no outliers"),
                polyline("cumulative", BLACK, 1, (_cum_x, _cum_y), steps="post", aa=False,
                         expect="follows the staircase: coverage >= 0.98, mean <= 0.5 px, no outliers")],
    ),
    # -- 6. loops that touch or cross themselves
    dict(
        id="d18_hysteresis", seed=18, size=(800, 700), box=(72, 24, 772, 644), xlim=(-10, 10), ylim=(-1.6, 1.6),
        frame=dict(xlabel="H (kA/m)", ylabel="B (T)", zero_line=None),
        notes="Closed B-H hysteresis loops: the black 2 px major loop's two branches run together "
              "(less than 2 px apart) for about 130 px before each tip, where the curve turns back on "
              "itself; the blue minor loop inside it is steeper, and its branches meet in sharp tips.",
        curves=[loop("major", BLACK, 2, (0, 2), hysteresis(1.3, 2.0, 1.2, 0.02, 9.0), closed=True, start=0.25,
                     expect="goes once round, out to each tip and back along the touching branch, and "
                            "stops where it started: coverage >= 0.97, mean <= 0.7 px, no outliers"),
                loop("minor", (30, 90, 200), 2, (0, 2), hysteresis(0.6, 1.0, 0.5, 0.02, 2.3), closed=True,
                     start=0.25,
                     expect="goes once round and stops where it started: coverage >= 0.98, mean <= 0.7 px, "
                            "no outliers")],
    ),
    dict(
        id="d19_figure_eights", seed=19, size=(800, 700), box=(72, 24, 772, 644), xlim=(-5, 5), ylim=(-3, 3),
        frame=dict(xlabel="x", ylabel="y"),
        notes="Two closed figure-eights, 2 px: dark red crossing itself at about 65 degrees, green "
              "(flat lobes) at about 30 degrees.",
        curves=[loop("eight", (170, 20, 40), 2, (0, 2 * math.pi),
                     lambda t: (-2.5 + 1.9 * np.sin(t), 2.0 * np.sin(t) * np.cos(t)), closed=True, start=0.12,
                     expect="goes straight through the crossing, once round both lobes: coverage >= 0.98, "
                            "mean <= 0.7 px, no outliers"),
                loop("flat_eight", (20, 120, 60), 2, (0, 2 * math.pi),
                     lambda t: (2.5 + 2.1 * np.sin(t), 0.2 * np.sin(2 * t)), closed=True, start=0.12,
                     expect="goes straight through the shallow crossing, once round both lobes: "
                            "coverage >= 0.98, mean <= 0.7 px, no outliers")],
    ),
    dict(
        id="d20_crossing_spirals", seed=20, size=(800, 700), box=(72, 24, 772, 644), xlim=(-5, 5), ylim=(-4, 4),
        frame=dict(xlabel="x", ylabel="y"),
        notes="Open curves that cross their own arms: a purple spiral whose centre drifts faster than "
              "its arms move apart (each turn crosses the one before), and an orange looping trochoid "
              "(four loops, each crossing the next).",
        curves=[loop("drifting_spiral", (120, 40, 170), 2, (0, 5 * math.pi),
                     lambda t: (-2.8 + (0.25 + 0.09 * t) * np.cos(t) + 0.16 * t, 2.1 + (0.25 + 0.09 * t) * np.sin(t)),
                     expect="winds out from the centre through every crossing of its arms: coverage >= 0.95, "
                            "mean <= 0.7 px, no outliers"),
                loop("loops", (225, 120, 0), 2, (0, 8 * math.pi),
                     lambda t: (-3.9 + 0.32 * t - 1.0 * np.sin(t), -2.0 - 1.2 * np.cos(t)),
                     expect="goes through each loop's crossing and on to the next loop: coverage >= 0.95, "
                            "mean <= 0.7 px, no outliers")],
    ),
    # -- 7. curves along a black frame or axis
    dict(
        id="d21_frame_decay", seed=21, **PAGE, xlim=(0, 10), ylim=(0, 5),
        frame=dict(xlabel="Time (s)", ylabel="Charge (mC)", ticks="in", tick_px=8),
        notes="Black 2 px curves against a black 1 px frame with inward ticks: a decay that settles 2 px "
              "(centre to centre) above the bottom frame, its ink touching the frame's anti-aliased "
              "edge for the right half and crossed by the ticks; and a curve that levels off 3 px "
              "under the top frame (a 1.5 px gap).",
        curves=[functional("decay", BLACK, 2, (0.15, 9.85), lambda x: 3.8 * np.exp(-x / 0.9) + 2.0 / 104.0,
                           expect="follows the decay along the frame to the right end without taking the "
                                  "frame or a tick: coverage >= 0.98, mean <= 0.5 px, no outliers"),
                functional("plateau", BLACK, 2, (0.15, 9.85),
                           lambda x: 5 - 3.0 / 104.0 - 1.5 * np.exp(-x / 1.1),
                           expect="follows the curve along the top frame: coverage >= 0.98, mean <= 0.5 px, "
                                  "no outliers")],
    ),
    dict(
        id="d22_frame_clipped", seed=22, **PAGE, xlim=(0, 20), ylim=(-1, 1),
        frame=dict(xlabel="Time (ms)", ylabel="Output (V)"),
        notes="Clipped signals that run along the frame where they saturate: a blue 2 px one touching "
              "the top frame (1.5 px centre to centre) and with a 1 px gap above the bottom frame, and "
              "a black 2 px one (the frame's colour) touching the bottom frame.",
        curves=[functional("blue_clipped", (20, 60, 170), 2, (0.2, 19.8),
                           lambda x: np.clip(1.35 * np.sin(0.62 * x + 0.3), -1 + 2.5 / 260.0, 1 - 1.5 / 260.0),
                           expect="follows the clipped stretches along the frame: coverage >= 0.98, "
                                  "mean <= 0.5 px, no outliers"),
                functional("black_clipped", BLACK, 2, (0.2, 19.8),
                           lambda x: np.maximum(0.95 * np.sin(0.6 * x - 2.77) - 0.15, -1 + 1.5 / 260.0),
                           expect="follows the clipped stretches on the bottom frame without leaving "
                                  "along it: coverage >= 0.98, mean <= 0.5 px, no outliers")],
    ),
    dict(
        id="d23_zero_axis", seed=23, **PAGE, xlim=(0, 12), ylim=(-1, 1),
        frame=dict(xlabel="Time (s)", ylabel="Displacement (mm)", zero_line=0.0),
        notes="A black 2 px damped oscillation that settles 2.5 px (centre to centre, a 1 px gap) above "
              "a black 1 px zero axis drawn across the plot with ticks either side, which cross the "
              "curve there.",
        curves=[functional("damped", BLACK, 2, (0.2, 11.8),
                           lambda x: 0.85 * np.exp(-x / 1.6) * np.sin(2.2 * x + 0.6) + 2.5 / 260.0,
                           expect="follows the oscillation out along the axis without taking the axis or a "
                                  "tick: coverage >= 0.98, mean <= 0.5 px, no outliers")],
    ),
]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", default=DEFAULT_OUT, help="folder for the case folders")
    ap.add_argument("--only", nargs="*", help="case ids to build")
    ap.add_argument("--overlay", metavar="DIR", help="also write overlays (truth, reference and start pixels)")
    ap.add_argument("--no-oracle", action="store_true", help="do not run the shared oracle afterwards")
    ap.add_argument("--list", action="store_true", help="list the cases and stop")
    args = ap.parse_args()
    ids = [c["id"] for c in CASES]
    if len(set(ids)) != len(ids):
        sys.exit("drawn_cases.py: duplicate case ids")
    if args.list:
        for c in CASES:
            print("%-28s %s" % (c["id"], c["notes"]))
        return 0
    os.makedirs(args.out, exist_ok=True)
    if not args.only:
        for d in os.listdir(args.out):
            if os.path.isdir(os.path.join(args.out, d)) and d not in ids:
                shutil.rmtree(os.path.join(args.out, d))
    total = 0
    try:
        for case in CASES:
            if args.only and case["id"] not in args.only:
                continue
            total += build_case(case, args.out, args.overlay)
        print("total %.2f MB" % (total / 1048576.0))
        if not args.no_oracle:
            run_oracle(args.out)
    except CaseError as e:
        sys.exit("drawn_cases.py: %s" % e)
    return 0


if __name__ == "__main__":
    sys.exit(main())
