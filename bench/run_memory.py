#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Peak resident memory of the zip layer on an archive of very many entries.

Writes once an archive of --entries empty files (200,000 by default, a
thousand to a folder), then runs in turn, --rounds times each: `mtzip extract`
into a fresh folder, `mtzip list` of the same archive under a .mtzip name (the
directory read plus the template scan over it) and zip_directory_read (the
listing's directory read alone, nothing else). Prints the median, lowest and
highest peak RSS of each (GNU time's %M) and the median wall time.

    bench/run_memory.py                        # 200,000 entries, 5 rounds
    bench/run_memory.py --entries 50000 --rounds 3 --no-build

mtzip comes from build-bench (Release, no tests), zip_directory_read from
build-bench-tools (Release, with the test tree it is defined in).
"""

import argparse
import statistics
import subprocess

import benchlib as bl

TOOLS_BUILD = bl.ROOT / "build-bench-tools"
READER = TOOLS_BUILD / "tests" / "zip_directory_read"


def build_reader():
    subprocess.run(["cmake", "-S", str(bl.ROOT), "-B", str(TOOLS_BUILD), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DMTI_BUILD_TESTS=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(TOOLS_BUILD), "--target", "zip_directory_read"], check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--entries", type=int, default=200000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--no-build", action="store_true", help="use the binaries already built")
    args = parser.parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    if not args.no_build:
        build_reader()
    pack = bl.empty_entries_pack(args.entries)
    named = bl.named_pack(pack, f"LT_Empty_{args.entries}.mtzip")
    target = bl.OUT / "memory-extract"
    tools = {
        "extract": [str(mtzip), "extract", str(pack), str(target)],
        "list": [str(mtzip), "list", "--dest", str(bl.OUT / "memory-dest"), str(named)],
        "directory": [str(READER), str(pack)],
    }

    peaks = {name: [] for name in tools}
    walls = {name: [] for name in tools}
    for r in range(args.rounds):
        for name in bl.rotated(list(tools), r):
            bl.fresh(target, bl.OUT / "memory-dest")
            wall, _, peak, _ = bl.run_once(tools[name])
            peaks[name].append(peak)
            walls[name].append(wall)
        print(f"round {r + 1}: " + ", ".join(f"{n} {peaks[n][-1] / 1024:.1f} MiB" for n in tools), flush=True)
    bl.remove(target, bl.OUT / "memory-dest")

    print(f"{args.entries} empty entries, {pack.stat().st_size / 2**20:.0f} MiB archive; "
          f"{args.rounds} rounds; {bl.load_text()}")
    for name in tools:
        kib = peaks[name]
        print(f"  {name:<9} peak RSS median {statistics.median(kib) / 1024:6.1f} MiB "
              f"({min(kib) / 1024:.1f}-{max(kib) / 1024:.1f}), wall median {statistics.median(walls[name]):.2f} s")


if __name__ == "__main__":
    main()
