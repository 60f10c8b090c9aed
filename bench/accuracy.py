#!/usr/bin/env python3
"""Line-follower accuracy on the shared chart benchmark.

Runs every functional and non-functional curve of ../shared/bench/cases/*/truth.json through
`korvane-cli follow` (axes and start pixel from the truth; a non-functional curve starts with
its drag direction, as a user would press and drag), scores each with the benchmark's
evaluate.py, prints its RESULT lines and a summary. --enhanced follows with enhanced following
(`korvane-cli follow --enhanced`); --both runs the follower plain and enhanced and
prints the two summaries. --grid prints the summaries of both followers on the original
charts, with the grid eliminated, and with the grid, frame and ticks eliminated. The same
settings go to every image.

A case whose truth.json has "pdf": {"page": P, "dpi": D} is a PDF page: the follower gets
`--page P --dpi D`, so that it works on the page as rendered at the resolution the truth
describes (cases made by bench/pdf_charts.py). The benchmark's evaluate.py is looked for beside
the cases folder, one level up, and last in ../shared/bench.

    bench/accuracy.py [--cli PATH] [--cases DIR] [--enhanced | --both | --grid]
                      [--require-mean PX] [-- extra follow options]

--require-mean PX makes it a check: the exit status is 1 unless every curve scored is good with
a mean error of at most PX pixels.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED_BENCH = os.path.normpath(os.path.join(ROOT, "..", "shared", "bench"))


def pair(values):
    return ",".join(repr(v) if isinstance(v, float) else str(v) for v in values)


def follow_command(cli, case_dir, truth, curve, extra):
    axes = truth["axes"]
    cmd = [cli, "follow", os.path.join(case_dir, truth["image"])]
    pdf = truth.get("pdf")
    if pdf:
        cmd += ["--page", str(pdf["page"]), "--dpi", str(pdf["dpi"])]
    cmd += ["--first", pair(axes["first"]["pixel"]) + "=" + pair(axes["first"]["value"]),
            "--skew", pair(axes["skew"]["pixel"]),
            "--second", pair(axes["second"]["pixel"]) + "=" + pair(axes["second"]["value"]),
            "--start", pair(curve["start_pixel"]),
            "--kind", curve["kind"]]
    if axes.get("log_x"):
        cmd.append("--log-x")
    if axes.get("log_y"):
        cmd.append("--log-y")
    if curve["kind"] == "nonfunctional" and curve.get("start_direction"):
        cmd += ["--direction", pair(curve["start_direction"])]
    return cmd + extra


def find_evaluator(cases):
    """The benchmark's evaluate.py: beside the cases folder (cases/), one level up
    (external/cases/), or else the shared benchmark's (generated cases such as
    build/pdf-charts/ have none of their own)."""
    folder = os.path.dirname(os.path.abspath(cases))
    for candidate in (folder, os.path.dirname(folder), SHARED_BENCH):
        path = os.path.join(candidate, "evaluate.py")
        if os.path.exists(path):
            return path
    sys.exit(f"accuracy.py: no evaluate.py beside {cases}, above it or in {SHARED_BENCH}")


def run(cli, cases, evaluate, extra, label):
    """Follows and scores every curve, prints the RESULT lines and returns the summary."""
    results = []
    with tempfile.TemporaryDirectory() as work:
        for case in sorted(os.listdir(cases)):
            truth_path = os.path.join(cases, case, "truth.json")
            if not os.path.exists(truth_path):
                continue
            with open(truth_path) as f:
                truth = json.load(f)
            for curve in truth["curves"]:
                if curve["kind"] not in ("functional", "nonfunctional"):
                    continue
                out = os.path.join(work, f"{case}_{curve['name']}.csv")
                cmd = follow_command(cli, os.path.join(cases, case), truth, curve, extra)
                follow = subprocess.run(cmd + ["-o", out], capture_output=True, text=True)
                if follow.returncode != 0:
                    print(f"FAILED case={case} curve={curve['name']}: {follow.stderr.strip()}")
                    results.append({"case": case, "curve": curve["name"], "good": False,
                                    "mean_px": float("inf"), "coverage": 0.0, "outliers": 1.0})
                    continue
                score = subprocess.run([sys.executable, evaluate, truth_path, curve["name"], out],
                                       capture_output=True, text=True)
                line = [l for l in score.stdout.splitlines() if l.startswith("RESULT ")]
                if not line:
                    print(f"FAILED case={case} curve={curve['name']}: {score.stderr.strip()}")
                    continue
                print(line[-1])
                fields = dict(kv.split("=", 1) for kv in line[-1].split()[1:])
                r = {"case": case, "curve": curve["name"], "mean_px": float(fields["mean_px"]),
                     "coverage": float(fields["coverage"]), "outliers": float(fields["outliers"])}
                r["good"] = r["mean_px"] <= 0.5 and r["coverage"] >= 0.95 and r["outliers"] <= 0.01
                results.append(r)
    if not results:
        return None, results
    good = sum(r["good"] for r in results)
    return (f"SUMMARY{label} curves={len(results)} good={good} "
            f"median_mean_px={statistics.median(r['mean_px'] for r in results):.4f} "
            f"median_coverage={statistics.median(r['coverage'] for r in results):.4f} "
            f"(good: mean <= 0.5 px, coverage >= 0.95, outliers <= 1 %)"), results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "tools", "korvane-cli"))
    parser.add_argument("--cases", default=os.path.join(SHARED_BENCH, "cases"))
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--enhanced", action="store_true", help="follow with enhanced following")
    mode.add_argument("--both", action="store_true",
                      help="follow plain and enhanced; print both summaries")
    mode.add_argument("--grid", action="store_true",
                      help="both followers on the original charts and with the grid eliminated")
    parser.add_argument("--require-mean", type=float, metavar="PX",
                        help="exit with 1 unless every curve is good with a mean error <= PX")
    parser.add_argument("extra", nargs="*", help="extra options for korvane-cli follow")
    args = parser.parse_args()
    evaluate = find_evaluator(args.cases)

    if args.grid:
        runs = [(f" follower={name} grid={grid}", follower + options)
                for grid, options in (("kept", []), ("eliminated", ["--eliminate-grid"]),
                                      ("eliminated+frame+ticks",
                                       ["--eliminate-grid", "--frame", "--ticks"]))
                for name, follower in (("plain", []), ("enhanced", ["--enhanced"]))]
    elif args.both:
        runs = [(" follower=plain", []), (" follower=enhanced", ["--enhanced"])]
    elif args.enhanced:
        runs = [(" follower=enhanced", ["--enhanced"])]
    else:
        runs = [("", [])]
    outcomes = [run(args.cli, args.cases, evaluate, options + args.extra, label)
                for label, options in runs]
    if not all(summary for summary, _ in outcomes):
        print("no curves scored")
        return 1
    for summary, _ in outcomes:
        print(summary)
    if args.require_mean is not None:
        failed = [r for _, results in outcomes for r in results
                  if not r["good"] or r["mean_px"] > args.require_mean]
        for r in failed:
            print(f"REQUIREMENT FAILED case={r['case']} curve={r['curve']} "
                  f"mean_px={r['mean_px']:.4f} good={r['good']}")
        return 1 if failed else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
