#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip install` of a pack already installed unchanged against its first install.

A re-install finds every template in place byte for byte and copies none of
them (nor sends any copy to the Trash): it should cost a fraction of the
first install. Both run side by side, taking turns going first:

    first    mtzip install --dest D1 PACK     into an empty D1 (emptied before every run)
    again    mtzip install --dest D2 PACK     into D2, where PACK is installed already

The pack is the generated ~600 MB one. Checked outside the timing: D2's files
keep their inodes (nothing was copied again), HOME's Trash stays empty, and
mtzip says every template was already installed.

    bench/run_reinstall.py                  # 7 rounds
    bench/run_reinstall.py --rounds 3 --no-build
"""

import os
import subprocess
import sys

import benchlib as bl


def inodes(folder):
    """The templates' files (not the receipt, which every install writes anew)."""
    return {os.path.join(d, f): os.stat(os.path.join(d, f)).st_ino
            for d, _, files in os.walk(folder) if ".receipts" not in d for f in files}


def main():
    args = bl.options(__doc__, templates=300).parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    pack = bl.named_pack(bl.generated_pack(args.templates, args.size_mb, args.small), "LT_Bench_Pack.mtzip")

    tmp = bl.OUT / "reinstall-tmp"
    first = bl.OUT / "reinstall-first"
    again = bl.OUT / "reinstall-again"
    home = bl.OUT / "reinstall-home"
    env = dict(os.environ, TMPDIR=str(tmp), HOME=str(home), XDG_DATA_HOME=str(home / "data"))
    tools = {
        "first": [str(mtzip), "install", "--dest", str(first), str(pack)],
        "again": [str(mtzip), "install", "--dest", str(again), str(pack)],
    }

    bl.fresh(tmp, first, again, home)
    subprocess.run(tools["again"], env=env, check=True, stdout=subprocess.DEVNULL)
    before = inodes(again)
    done = subprocess.run(tools["again"], env=env, check=True, capture_output=True, text=True)
    said = done.stdout + done.stderr
    if f"{args.templates} already installed" not in said:
        sys.exit(f"the re-install did not find every template in place: {said.strip()}")

    def prepare():
        bl.fresh(tmp, first)

    timings = bl.timed_rounds(tools, args.rounds, prepare, env)
    if inodes(again) != before:
        sys.exit("the re-install copied files again")
    trash = home / "data" / "Trash" / "files"
    if trash.exists() and any(trash.iterdir()):
        sys.exit("the re-install sent something to the Trash")
    bl.remove(tmp, first, again, home)

    timings.report(f"re-install of {pack.name}: {pack.stat().st_size / 2**20:.0f} MiB; {args.rounds} rounds; "
                   f"{bl.load_text()}", 6)
    print(timings.ratio("again", "first") + "   (target: at most 0.30 wall)")


if __name__ == "__main__":
    main()
