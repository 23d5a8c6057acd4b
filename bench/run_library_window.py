#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""How fast the library window shows 10,000 installed templates.

library_window opens the window offscreen over a root that mtzip installed a
generated pack into, and reports the time from asking for the window to the
end of the table's first paint with every row, and the longest stall of the
event loop meanwhile; then the longest stall while scrolling through the
table a page at a time (previews loading) and while typing a search. Several
rounds over the same root; medians are printed.

    bench/run_library_window.py                          # 10,000 templates, 5 rounds
    bench/run_library_window.py --templates 2000 --rounds 3 --no-build
    bench/run_library_window.py --build build --no-build  # an existing build tree
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

import benchlib as bl


def build(folder):
    subprocess.run(["cmake", "-S", str(bl.ROOT), "-B", str(folder), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DMTI_BUILD_TESTS=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(folder), "--target", "library_window", "mtzip", "-j2"], check=True)


def main():
    parser = bl.options(__doc__, templates=10000, pack_shape=False)
    parser.add_argument("--build", default=str(bl.ROOT / "build-bench-gui"), help="build tree to use")
    parser.set_defaults(rounds=5)
    args = parser.parse_args()
    folder = Path(args.build).resolve()
    if not args.no_build:
        build(folder)
    driver = folder / "tests" / "library_window"
    mtzip = folder / "Sources" / "Cli" / "mtzip"
    pack = bl.named_pack(bl.generated_pack(args.templates, 600, True), "LT_Library_Pack.mtzip")

    work = Path(tempfile.mkdtemp(prefix="library-bench-"))
    try:
        root = work / "Motion Templates.localized"
        subprocess.run([str(mtzip), "install", "--quiet", "--dest", str(root), str(pack)], check=True,
                       env=dict(os.environ, HOME=str(work)))
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        line = re.compile(r"^(\w+)\s.*?([\d.]+) ms\s+longest stall\s+([\d.]+) ms")
        cpu_line = re.compile(r"cpu (\d+) ms")
        times, stalls, cpus = {}, {}, []
        for r in range(args.rounds):
            run = subprocess.run([str(driver), str(root), str(args.templates)], env=env,
                                 capture_output=True, text=True, timeout=600)
            if run.returncode != 0:
                print(run.stdout + run.stderr, file=sys.stderr)
                sys.exit(f"round {r + 1}: library_window exited with {run.returncode}")
            for text in run.stdout.splitlines():
                m = line.match(text)
                if m:
                    times.setdefault(m[1], []).append(float(m[2]))
                    stalls.setdefault(m[1], []).append(float(m[3]))
                c = cpu_line.search(text)
                if c:
                    cpus.append(float(c[1]))
            print(f"round {r + 1}: " + ", ".join(f"{k} {times[k][-1]:.0f} ms (stall {stalls[k][-1]:.0f})"
                                                for k in times), flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print(f"\n{args.templates} templates, {args.rounds} rounds, load {bl.load_text()}")
    print(f"{'phase':<8} {'time, median (min-max)':>28} {'longest stall, median (min-max)':>34}")
    for name in times:
        t, s = times[name], stalls[name]
        print(f"{name:<8} {statistics.median(t):>12.1f} ms ({min(t):.0f}-{max(t):.0f})"
              f" {statistics.median(s):>17.1f} ms ({min(s):.1f}-{max(s):.1f})")
    if cpus:
        print(f"CPU of the process up to the first full paint, start-up included: median {statistics.median(cpus):.0f} ms"
              f" ({min(cpus):.0f}-{max(cpus):.0f})")


if __name__ == "__main__":
    main()
