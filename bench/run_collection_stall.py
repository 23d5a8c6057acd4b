#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""The longest stall of the collection window's event loop on a big pack.

collection_stall drives one window offscreen through opening, installing,
uninstalling, an install cancelled half way (the roll-back) and closing, while
a 5 ms timer records the gaps between its ticks. The longest gap of a phase is
the longest the window could not repaint or take a click. Several rounds; the
median of each phase's longest stall is printed.

    bench/run_collection_stall.py                      # 10,000 small templates, 3 rounds
    bench/run_collection_stall.py --templates 2000 --rounds 5 --no-build
"""

import os
import re
import statistics
import subprocess
import sys

import benchlib as bl

BUILD = bl.ROOT / "build-bench-gui"
DRIVER = BUILD / "tests" / "collection_stall"


def build():
    subprocess.run(["cmake", "-S", str(bl.ROOT), "-B", str(BUILD), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DMTI_BUILD_TESTS=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BUILD), "--target", "collection_stall"], check=True)


def main():
    parser = bl.options(__doc__, templates=10000, pack_shape=False)
    parser.set_defaults(rounds=3)
    args = parser.parse_args()
    if not args.no_build:
        build()
    pack = bl.named_pack(bl.generated_pack(args.templates, 600, True), "LT_Stall_Pack.mtzip")

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    line = re.compile(r"^(\S+)\s+longest stall\s+([\d.]+) ms\s+phase\s+([\d.]+) ms")
    stalls, phases = {}, {}
    for r in range(args.rounds):
        run = subprocess.run([str(DRIVER), str(pack)], env=env, capture_output=True, text=True, timeout=1800)
        if run.returncode != 0:
            print(run.stdout + run.stderr, file=sys.stderr)
            sys.exit(f"round {r + 1}: collection_stall exited with {run.returncode}")
        for text in run.stdout.splitlines():
            m = line.match(text)
            if m:
                stalls.setdefault(m[1], []).append(float(m[2]))
                phases.setdefault(m[1], []).append(float(m[3]))
        print(f"round {r + 1}: " + ", ".join(f"{k} {v[-1]:.0f} ms" for k, v in stalls.items()), flush=True)

    print(f"\n{args.templates} templates, {args.rounds} rounds, load {bl.load_text()}")
    print(f"{'phase':<10} {'longest stall, median (min-max)':>34} {'phase time, median':>20}")
    for name, values in stalls.items():
        print(f"{name:<10} {statistics.median(values):>14.1f} ms ({min(values):.1f}-{max(values):.1f})"
              f" {statistics.median(phases[name]):>17.0f} ms")


if __name__ == "__main__":
    main()
