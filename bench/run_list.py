#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip list` of a pack of many small templates.

Listing goes through the installer as the application does: it unpacks the
whole archive into a temporary folder, scans it for templates, checks each
destination and removes the unpack folder. So beside `mtzip list` this times
the unpacking alone (`mtzip extract`) and the unpacking plus the removal of
what it wrote (`mtzip extract ... && rm -rf`), which shows what share of the
listing is unpacking and what the scan and table cost. Runs alternate, each
with fresh folders on the file system of the pack (TMPDIR points there),
removed and synced in between.

    bench/run_list.py                   # 2,000 small templates, 7 rounds
    bench/run_list.py --templates 500 --rounds 3 --no-build
"""

import json
import os
import subprocess
import sys

import benchlib as bl


def main():
    args = bl.options(__doc__, templates=2000, pack_shape=False).parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    pack = bl.named_pack(bl.generated_pack(args.templates, 600, True), "LT_List_Pack.mtzip")

    tmp = bl.OUT / "list-tmp"
    unpack = tmp / "T"
    dest = bl.OUT / "list-dest"  # empty: nothing listed is installed
    env = dict(os.environ, TMPDIR=str(tmp))
    extract = [str(mtzip), "extract", str(pack), str(unpack)]
    tools = {
        "list": [str(mtzip), "list", "--dest", str(dest), str(pack)],
        "extract": extract,
        "extract+rm": ["sh", "-c", '"$@" && rm -rf "$4"', "sh"] + extract,
    }
    names = list(tools)

    def prepare():
        bl.fresh(tmp, dest, unpack)

    # Warm-up, and the check that the listing found every template and
    # left nothing behind.
    prepare()
    listed = listed_templates([str(mtzip), "list", "--json", "--dest", str(dest), str(pack)], env)
    if listed != args.templates:
        sys.exit(f"mtzip list found {listed} templates of {args.templates}")
    if [p.name for p in tmp.iterdir() if p != unpack]:
        sys.exit("mtzip list left its unpack folder behind")
    for name in names[1:]:
        prepare()
        bl.run_once(tools[name], env)

    timings = bl.timed_rounds(tools, args.rounds, prepare, env)
    gnu_rss = bl.peak_rss(tools["list"], prepare, env)
    bl.remove(tmp, dest)

    timings.report(f"list of {pack.name}: {pack.stat().st_size / 2**20:.0f} MiB, {args.templates} templates; "
                   f"{args.rounds} rounds; {bl.load_text()}", 10)
    print(timings.ratio("list", "extract"))
    print(timings.ratio("list", "extract+rm"))
    rest = timings.wall("list") - timings.wall("extract+rm")
    print(f"  list beyond unpacking and removing: {rest:+.2f} s wall, "
          f"{timings.cpu('list') - timings.cpu('extract+rm'):+.2f} s CPU")
    print(bl.peak_rss_line("mtzip list", gnu_rss))


def listed_templates(command, env):
    """Number of templates `mtzip list --json` reports."""
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"mtzip list failed ({done.returncode}): {done.stderr}")
    return sum(len(a["templates"]) for a in json.loads(done.stdout)["archives"])


if __name__ == "__main__":
    main()
