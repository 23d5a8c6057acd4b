#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip extract` against bsdtar and Info-ZIP unzip on one template pack.

Builds mtzip in Release (build-bench), writes the pack once into bench/out/,
then runs the extractors in alternating order, each into a fresh folder on
the same file system that is removed (and synced) between runs: mtzip as it
chooses (workers on every core for a large pack), mtzip-seq on the caller's
thread only (MTI_UNZIP_WORKERS=1), bsdtar and unzip. Prints the median wall,
CPU (user + system) and user time and the peak resident memory (GNU time's
%M) of each, the ratios to bsdtar and unzip, plus GNU time -v's "Maximum
resident set size" for one extra mtzip run.

    bench/run_extract.py                       # 600 MB pack, 7 rounds
    bench/run_extract.py --rounds 3 --size-mb 200
    bench/run_extract.py --pack some.mtzip     # an existing archive
    bench/run_extract.py --empty-entries 200000  # that many empty files
"""

import sys
from pathlib import Path

import benchlib as bl


def main():
    parser = bl.options(__doc__, templates=300)
    parser.add_argument("--pack", help="an existing archive instead of a generated one")
    parser.add_argument("--empty-entries", type=int, help="an archive of this many empty files instead")
    args = parser.parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    bl.OUT.mkdir(exist_ok=True)
    if args.empty_entries:
        pack = bl.empty_entries_pack(args.empty_entries)
    elif args.pack:
        pack = Path(args.pack).resolve()
    else:
        pack = bl.generated_pack(args.templates, args.size_mb, args.small)

    target = bl.OUT / "extract"
    tools = {
        "mtzip": [str(mtzip), "extract", str(pack), str(target)],
        "mtzip-seq": ["env", "MTI_UNZIP_WORKERS=1", str(mtzip), "extract", str(pack), str(target)],
        "bsdtar": ["bsdtar", "-xf", str(pack), "-C", str(target)],
        "unzip": ["unzip", "-q", "-o", str(pack), "-d", str(target)],
    }
    names = list(tools)

    def prepare():
        bl.fresh(target)

    # Warm the page cache with the archive and check every tool unpacks the
    # same number of files, so no tool is timed doing less work.
    counts = {}
    for name in names:
        prepare()
        bl.run_once(tools[name])
        counts[name] = bl.count_files(target)
    if len(set(counts.values())) != 1:
        sys.exit(f"extractors disagree on the number of files: {counts}")

    timings = bl.timed_rounds(tools, args.rounds, prepare)
    gnu_rss = bl.peak_rss(tools["mtzip"], prepare)
    bl.remove(target)

    timings.report(f"pack: {pack.name}, {pack.stat().st_size / 2**20:.0f} MiB, {counts['mtzip']} files; "
                   f"{args.rounds} rounds; {bl.load_text()}", width=9)
    print(timings.ratio("mtzip", "bsdtar"))
    print(timings.ratio("mtzip-seq", "bsdtar"))
    print(timings.ratio("mtzip", "unzip"))
    print(bl.peak_rss_line("mtzip", gnu_rss))


if __name__ == "__main__":
    main()
