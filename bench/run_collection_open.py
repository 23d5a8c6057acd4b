#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""How soon a big pack's window shows its list, and the stall behind it.

collection_open opens one pack offscreen and prints the time from the open
request until the window is shown with every template in its table model,
then the longest gap of a 10 ms timer while the archive unpacks in the
background (the longest the window could not repaint or take a click).
Several rounds, medians printed: the machine is shared.

    bench/run_collection_open.py                       # 10,000 small templates, 5 rounds
    bench/run_collection_open.py --templates 2000 --rounds 3 --no-build
    bench/run_collection_open.py --no-build --build-dir build   # the developer build
"""

import os
import re
import statistics
import subprocess
import sys
from pathlib import Path

import benchlib as bl


def build(build_dir):
    subprocess.run(["cmake", "-S", str(bl.ROOT), "-B", str(build_dir), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DMTI_BUILD_TESTS=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "collection_open"], check=True)


def main():
    parser = bl.options(__doc__, templates=10000, pack_shape=False)
    parser.add_argument("--build-dir", default=str(bl.ROOT / "build-bench-gui"))
    parser.set_defaults(rounds=5)
    args = parser.parse_args()
    build_dir = Path(args.build_dir).resolve()
    if not args.no_build:
        build(build_dir)
    driver = build_dir / "tests" / "collection_open"
    pack = bl.named_pack(bl.generated_pack(args.templates, 600, True), "LT_Open_Pack.mtzip")

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    shown_line = re.compile(r"^shown\s+([\d.]+) ms\s+rows (\d+)")
    stall_line = re.compile(r"^unpack\s+longest stall\s+([\d.]+) ms\s+phase\s+([\d.]+) ms")
    shown, stalls, unpacks = [], [], []
    for r in range(args.rounds):
        run = subprocess.run([str(driver), str(pack)], env=env, capture_output=True, text=True, timeout=1800)
        if run.returncode != 0:
            print(run.stdout + run.stderr, file=sys.stderr)
            sys.exit(f"round {r + 1}: collection_open exited with {run.returncode}")
        for text in run.stdout.splitlines():
            if m := shown_line.match(text):
                if int(m[2]) != args.templates:
                    sys.exit(f"round {r + 1}: {m[2]} rows shown, {args.templates} expected")
                shown.append(float(m[1]))
            elif m := stall_line.match(text):
                stalls.append(float(m[1]))
                unpacks.append(float(m[2]))
        print(f"round {r + 1}: shown {shown[-1]:.0f} ms, stall {stalls[-1]:.1f} ms, unpack {unpacks[-1]:.0f} ms",
              flush=True)

    print(f"\n{args.templates} templates, {args.rounds} rounds, load {bl.load_text()}")
    for name, values, target in (("window shown with every row", shown, 500),
                                 ("longest stall while unpacking", stalls, 100),
                                 ("background unpack", unpacks, None)):
        goal = f"  (target < {target} ms)" if target else ""
        print(f"{name:<31} median {statistics.median(values):8.1f} ms ({min(values):.1f}-{max(values):.1f}){goal}")


if __name__ == "__main__":
    main()
