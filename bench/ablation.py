#!/usr/bin/env python3
"""Measures what each speed mechanism gains: for each patch under bench/ablation/, which takes one
mechanism out, liststats is built without it, and the build with it (this tree), the build
without it and the reference take turns on each list, round after round. A round's gain on a
step is the time without the mechanism over the time with it; the table gives each row's median
gain and its interquartile range, and the time with the mechanism and without it over the
reference's. A mechanism earns its lines when some row's median gain exceeds 1 by more than its
interquartile range.

Run it through bench/ablate.sh, which builds this tree's benchmarks.
"""
import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
from pathlib import Path

import bench  # its programs and its starts to a window, beside this file

ROOT = Path(__file__).resolve().parent.parent
BENCH = ROOT / "build" / "bench" / "bench"
WORK = ROOT / "build" / "ablation"
SOURCE = WORK / "source"  # a worktree of HEAD, where each patch is applied in turn


def run_json(command, cwd):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    return json.loads(subprocess.run(command, cwd=cwd, capture_output=True, check=True, text=True, env=env).stdout)


def build_without(patch: Path) -> Path:
    """This tree's HEAD with the patch applied, built; the path of its clicks program."""
    if not SOURCE.exists():
        subprocess.run(["git", "worktree", "add", "--detach", SOURCE, "HEAD"], cwd=ROOT, check=True,
                       capture_output=True)
    subprocess.run(["git", "checkout", "--quiet", "--force", "--detach",
                    subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, check=True, capture_output=True,
                                   text=True).stdout.strip()], cwd=SOURCE, check=True)
    subprocess.run(["git", "apply", patch], cwd=SOURCE, check=True)
    subprocess.run(["scripts/build.sh", "bench", "--target", "liststats-bench-clicks"], cwd=SOURCE, check=True,
                   stdout=subprocess.DEVNULL)
    built = WORK / "bin" / patch.stem
    built.parent.mkdir(parents=True, exist_ok=True)
    built.write_bytes((SOURCE / "build" / "bench" / "bench" / "liststats-bench-clicks").read_bytes())
    built.chmod(0o755)
    return built


def quartiles(values):
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], statistics.median(values), q[2]


def measure(without: Path, rows, rounds, as_benchmark):
    """Per row and step, each round's gain and the times over the reference's. With as_benchmark,
    each build's clicks are followed by the reference and the two starts to a window, as in
    bench.py's rounds, so that the memory freed before a run is what it is there."""
    result = {row: {"load": [], "both": [], "with": [], "without": []} for row in rows}
    for round_ in range(rounds):
        for row in rows:
            folder = WORK / "lists" / row
            with_ = BENCH / "liststats-bench-clicks"
            reference = run_json([BENCH / "liststats-bench-reference"], folder)["ms"]
            times = {}
            # Neither build always runs just after the reference.
            for build in (with_, without) if round_ % 2 == 0 else (without, with_):
                clicks = run_json([build, "1", "--times-only"], folder)
                times[build] = clicks["load"][0], clicks["both"][0]
                if as_benchmark:
                    run_json([bench.REFERENCE], folder)
                    bench.startup_runs([bench.LISTSTATS_WINDOW, [bench.BARE]], 1, folder)
            (load_with, both_with), (load_without, both_without) = times[with_], times[without]
            r = result[row]
            r["load"].append(load_without / load_with)
            r["both"].append(both_without / both_with)
            r["with"].append((load_with + both_with) / reference)
            r["without"].append((load_without + both_without) / reference)
        print(f"  round {round_ + 1} of {rounds}", file=sys.stderr)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--rounds", type=int, default=11)
    parser.add_argument("--lines", type=int, default=10_000_000)
    parser.add_argument("--rows", default="integers,decimals,decimals-crlf")
    parser.add_argument("--as-benchmark", action="store_true",
                        help="each clicks run followed by the reference and two starts, as in bench/run.sh")
    parser.add_argument("patches", nargs="*", type=Path)
    args = parser.parse_args()
    rows = args.rows.split(",")
    patches = args.patches or sorted((ROOT / "bench" / "ablation").glob("*.patch"))

    for row in rows:
        folder = WORK / "lists" / row
        folder.mkdir(parents=True, exist_ok=True)
        if not (folder / "List.txt").exists() or (folder / "lines").read_text() != str(args.lines):
            subprocess.run([BENCH / "liststats-bench-makelist", row, str(args.lines), folder / "List.txt"], check=True)
            (folder / "lines").write_text(str(args.lines))

    thp = Path("/sys/kernel/mm/transparent_hugepage/enabled")
    print(f"{os.cpu_count()} cores, {platform.processor() or platform.machine()}, transparent huge pages: "
          f"{thp.read_text().strip() if thp.exists() else 'none'}; {args.rounds} rounds of {args.lines:,} lines; "
          "gain: median (interquartile range) of time without / time with, per round; "
          "x ref: load + both over the reference's time, with / without")
    print()
    print("| mechanism taken out | " + " | ".join(f"{row} load | {row} both | {row} x ref" for row in rows) + " | earns |")
    print("|---|" + "---:|" * (3 * len(rows)) + "---|")
    for patch in patches:
        print(f"building without {patch.stem}", file=sys.stderr)
        without = build_without(patch)
        result = measure(without, rows, args.rounds, args.as_benchmark)
        cells, earns = [], False
        for row in rows:
            r = result[row]
            for step in ("load", "both"):
                low, median, high = quartiles(r[step])
                earns = earns or median - 1 > high - low
                cells.append(f"{median:.2f} ({high - low:.2f})")
            cells.append(f"{statistics.median(r['with']):.2f} / {statistics.median(r['without']):.2f}")
        print(f"| {patch.stem} | " + " | ".join(cells) + f" | {'yes' if earns else '**no**'} |", flush=True)
        (WORK / f"{patch.stem}.json").write_text(json.dumps(result))


if __name__ == "__main__":
    main()
