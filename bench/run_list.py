#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip list` of a pack of many small templates against `mtzip extract`.

Listing reads the archive's central directory and scans it as the unpacked
tree would be scanned; it writes nothing. To hold it to that, every listing
runs with TMPDIR pointing at a plain file, below which no unpack folder can be
made: a listing that unpacked would fail. The warm-up also checks that the
listing reports every template and that `mtzip install` fails under the same
TMPDIR (so the trick does stop unpacking). Runs alternate, each after fresh
folders on the file system of the pack, removed and synced in between.

    bench/run_list.py                   # 2,000 small templates, 7 rounds
    bench/run_list.py --templates 500 --rounds 3 --no-build
"""

import json
import subprocess
import sys

import benchlib as bl


def main():
    args = bl.options(__doc__, templates=2000, pack_shape=False).parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    pack = bl.named_pack(bl.generated_pack(args.templates, 600, True), "LT_List_Pack.mtzip")

    work = bl.OUT / "list-work"
    unpack = bl.OUT / "list-extract"
    dest = bl.OUT / "list-dest"  # empty: nothing listed is installed
    blocked = work / "not-a-folder"
    no_unpacking = ["env", f"TMPDIR={blocked}"]
    tools = {
        "list": no_unpacking + [str(mtzip), "list", "--dest", str(dest), str(pack)],
        "extract": [str(mtzip), "extract", str(pack), str(unpack)],
    }
    names = list(tools)

    def prepare():
        bl.fresh(work, dest, unpack)
        blocked.write_text("a file, so that no folder can be made below it\n")

    # Warm-up, and the checks.
    prepare()
    listed = listed_templates(no_unpacking + [str(mtzip), "list", "--json", "--dest", str(dest), str(pack)])
    if listed != args.templates:
        sys.exit(f"mtzip list found {listed} templates of {args.templates}")
    install = subprocess.run(no_unpacking + [str(mtzip), "install", "--dest", str(dest), str(pack)],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if install.returncode == 0 or "Cannot create an unpack folder" not in install.stderr:
        sys.exit(f"mtzip install was not stopped by TMPDIR={blocked}: {install.stderr}")
    for name in names:
        prepare()
        bl.run_once(tools[name])

    timings = bl.timed_rounds(tools, args.rounds, prepare)
    gnu_rss = bl.peak_rss(tools["list"], prepare)
    bl.remove(work, dest, unpack)

    timings.report(f"list of {pack.name}: {pack.stat().st_size / 2**20:.0f} MiB, {args.templates} templates; "
                   f"{args.rounds} rounds; {bl.load_text()}", 8)
    print(timings.ratio("list", "extract") + "  (target: at most 0.10 wall)")
    print(bl.peak_rss_line("mtzip list", gnu_rss))


def listed_templates(command):
    """Number of templates `mtzip list --json` reports."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"mtzip list failed ({done.returncode}): {done.stderr}")
    return sum(len(a["templates"]) for a in json.loads(done.stdout)["archives"])


if __name__ == "__main__":
    main()
