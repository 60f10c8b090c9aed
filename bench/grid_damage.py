#!/usr/bin/python3
"""Damage done by grid elimination to the curves of the shared chart benchmark.

For every chart of ../shared/bench/cases (or --cases DIR) the grid is eliminated with
`korvane-cli eliminate-grid` (the truth's reference pixels), and every truth point of every
curve that has a pixel of its curve's colour (RGB distance <= 80) within 2 pixels before must
still have one after. A start pixel must not change either. Charts without a grid (exit
status 3) are left as they are. Prints one line per chart and a total; exits 1 on any damage.

    /usr/bin/python3 bench/grid_damage.py [--cli PATH] [--cases DIR] [-- extra options]

Needs Debian's python3-numpy and python3-pil.
"""
import argparse
import glob
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fraction(value, low, high, log):
    if log:
        return (math.log10(value) - math.log10(low)) / (math.log10(high) - math.log10(low))
    return (value - low) / (high - low)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "tools", "korvane-cli"))
    ap.add_argument("--cases", default=os.path.join(ROOT, "..", "shared", "bench", "cases"))
    ap.add_argument("extra", nargs="*")
    a = ap.parse_args()
    points = lost = starts = 0
    with tempfile.TemporaryDirectory() as work:
        for case in sorted(glob.glob(os.path.join(a.cases, "*", "truth.json"))):
            truth = json.load(open(case))
            axes = truth["axes"]
            image = os.path.join(os.path.dirname(case), truth["image"])
            first, skew, second = (axes[k]["pixel"] for k in ("first", "skew", "second"))
            out = os.path.join(work, "clean.png")
            run = subprocess.run([a.cli, "eliminate-grid", image,
                                  "--first", "%d,%d" % tuple(first), "--skew", "%d,%d" % tuple(skew),
                                  "--second", "%d,%d" % tuple(second), "-o", out] + a.extra,
                                 capture_output=True, text=True)
            if run.returncode not in (0, 3):
                sys.exit(f"grid_damage.py: {truth['id']}: {run.stderr.strip()}")
            before = np.asarray(Image.open(image).convert("RGB")).astype(int)
            after = np.asarray(Image.open(out).convert("RGB")).astype(int) if run.returncode == 0 else before
            (x1, y1), (x2, y2) = axes["first"]["value"], axes["second"]["value"]
            # The axes as the three reference pixels give them: X along first -> skew, Y across
            # it (a turned scan is turned back this way).
            ux, uy = skew[0] - first[0], skew[1] - first[1]
            length = math.hypot(ux, uy)
            ux, uy = ux / length, uy / length
            nx, ny = -uy, ux
            dx, dy = second[0] - first[0], second[1] - first[1]
            along, across = dx * ux + dy * uy, dx * nx + dy * ny
            case_points = case_lost = 0
            for curve in truth["curves"]:
                colour = np.array(curve["color"])
                start = curve.get("start_pixel")
                if start and not (before[start[1], start[0]] == after[start[1], start[0]]).all():
                    starts += 1
                for x, y in curve.get("truth", []):
                    fx = fraction(x, x1, x2, axes["log_x"]) * along
                    fy = fraction(y, y1, y2, axes["log_y"]) * across
                    col = first[0] + fx * ux + fy * nx
                    row = first[1] + fx * uy + fy * ny
                    c, r = int(round(col - 0.5)), int(round(row - 0.5))
                    box = (slice(max(r - 2, 0), r + 3), slice(max(c - 2, 0), c + 3))

                    def near(picture):
                        window = picture[box]
                        return window.size > 0 and (
                            np.sqrt(((window - colour) ** 2).sum(-1)) <= 80).any()

                    if near(before):
                        case_points += 1
                        case_lost += not near(after)
            points += case_points
            lost += case_lost
            state = "grid removed" if run.returncode == 0 else "no grid"
            print(f"{truth['id']}: {state}, {case_points} points, {case_lost} lost")
    print(f"TOTAL {points} points, {lost} lost, {starts} start pixels changed")
    return 1 if lost or starts else 0


if __name__ == "__main__":
    sys.exit(main())
