#!/usr/bin/env python3
"""Times `mtzip extract` against bsdtar and Info-ZIP unzip on one template pack.

Builds mtzip in Release (build-bench), writes the pack once into bench/out/,
then runs the three extractors in alternating order, each into a fresh folder
on the same file system that is removed (and synced) between runs. Prints the
median wall and CPU (user + system) time of each, the ratios mtzip/bsdtar and
mtzip/unzip, and the peak resident memory of each run (GNU time's %M), plus
GNU time -v's "Maximum resident set size" for one extra mtzip run.

    bench/run_extract.py                       # 600 MB pack, 7 rounds
    bench/run_extract.py --rounds 3 --size-mb 200
    bench/run_extract.py --pack some.mtzip     # an existing archive
"""

import argparse
import sys
from pathlib import Path

import benchlib as bl


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--templates", type=int, default=300)
    parser.add_argument("--size-mb", type=int, default=600)
    parser.add_argument("--small", action="store_true")
    parser.add_argument("--pack", help="an existing archive instead of a generated one")
    parser.add_argument("--no-build", action="store_true", help="use the mtzip already in build-bench")
    args = parser.parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    bl.OUT.mkdir(exist_ok=True)
    pack = Path(args.pack).resolve() if args.pack else bl.generated_pack(args.templates, args.size_mb, args.small)

    target = bl.OUT / "extract"
    tools = {
        "mtzip": lambda d: [str(mtzip), "extract", str(pack), str(d)],
        "bsdtar": lambda d: ["bsdtar", "-xf", str(pack), "-C", str(d)],
        "unzip": lambda d: ["unzip", "-q", "-o", str(pack), "-d", str(d)],
    }
    names = list(tools)

    # Warm the page cache with the archive and check every tool unpacks the
    # same number of files, so no tool is timed doing less work.
    counts = {}
    for name in names:
        bl.fresh(target)
        bl.run_once(tools[name](target))
        counts[name] = bl.count_files(target)
    if len(set(counts.values())) != 1:
        sys.exit(f"extractors disagree on the number of files: {counts}")

    timings = bl.Timings(names)
    for r in range(args.rounds):
        for name in bl.rotated(names, r):
            bl.fresh(target)
            timings.add(name, bl.run_once(tools[name](target)))
        print(f"round {r + 1}: {timings.last()}", file=sys.stderr)

    bl.fresh(target)
    gnu_rss = bl.gnu_time_rss(tools["mtzip"](target))
    bl.remove(target)

    print(f"pack: {pack.name}, {pack.stat().st_size / 2**20:.0f} MiB, {counts['mtzip']} files; "
          f"{args.rounds} rounds; {bl.load_text()}")
    for n in names:
        print(timings.line(n))
    print(timings.ratio("mtzip", "bsdtar"))
    print(timings.ratio("mtzip", "unzip"))
    print(f"  mtzip peak RSS (GNU time -v, Maximum resident set size): {gnu_rss} KiB")


if __name__ == "__main__":
    main()
