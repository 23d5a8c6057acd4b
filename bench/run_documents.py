#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times listing a pack with every template document read (`mtzip list`, which
reads each document straight from the archive, and `document_read`) against
`mtzip extract`.

`document_read` (bench/document_read.cpp, built with the tests) lists the
archive's directory as listing does, then reads each template document
straight out of the archive through the template document reader, all of it
(plug-ins and media too). The pack is make_pack.py's pack of small templates
with --documents: documents shaped like real ones. The warm-up checks that
every document was found and read. Runs alternate, each after fresh folders
on the file system of the pack, removed and synced in between.

    bench/run_documents.py                      # 2,000 small templates, 7 rounds
    bench/run_documents.py --build-dir build --rounds 3
"""

import argparse
import os
import re
import subprocess
import sys

import benchlib as bl


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--templates", type=int, default=2000)
    parser.add_argument("--build-dir", default=str(bl.ROOT / "build"),
                        help="a build with the tests (it holds document_read and mtzip)")
    args = parser.parse_args()

    bl.ensure_gnu_time()
    build = os.path.abspath(args.build_dir)
    reader = os.path.join(build, "tests", "document_read")
    mtzip = os.path.join(build, "Sources", "Cli", "mtzip")
    bl.OUT.mkdir(exist_ok=True)
    pack = bl.OUT / f"pack-{args.templates}t-documents.mtzip"
    if not pack.exists():
        subprocess.run([sys.executable, str(bl.BENCH / "make_pack.py"), str(pack) + ".part", "--templates",
                        str(args.templates), "--small", "--documents"], check=True)
        os.replace(str(pack) + ".part", pack)
    pack = bl.named_pack(pack, "LT_Documents_Pack.mtzip")

    unpack = bl.OUT / "documents-extract"
    dest = bl.OUT / "documents-dest"
    tools = {
        "documents": [reader, str(pack), "everything"],
        "list": [mtzip, "list", "--dest", str(dest), str(pack)],
        "extract": [mtzip, "extract", str(pack), str(unpack)],
    }

    def prepare():
        bl.fresh(dest, unpack)

    prepare()
    done = subprocess.run(tools["documents"], stdout=subprocess.PIPE, text=True, check=True)
    found = re.search(r"(\d+) documents, (\d+) readable", done.stdout)
    if not found or int(found.group(1)) != args.templates or int(found.group(2)) != args.templates:
        sys.exit(f"document_read did not read every document: {done.stdout}")
    print(done.stdout.strip())
    for name in tools:
        prepare()
        bl.run_once(tools[name])

    timings = bl.timed_rounds(tools, args.rounds, prepare)
    bl.remove(dest, unpack)
    timings.report(f"{pack.name}: {pack.stat().st_size / 2**20:.0f} MiB, {args.templates} templates; "
                   f"{args.rounds} rounds; {bl.load_text()}", 9)
    print(timings.ratio("documents", "extract") + "  (document_read alone)")
    print(timings.ratio("list", "extract") + "  (mtzip list with every document; target: at most 0.10 wall)")


if __name__ == "__main__":
    main()
