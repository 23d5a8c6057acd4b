#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip install` against the same work done by the usual tools.

mtzip installs a template pack by unpacking it into a temporary folder,
copying every template folder into the destination and removing the unpack
folder. The usual tools' way to the same result:

    bsdtar -xf PACK -C T && cp -R T/. D2          ("bsdtar+cp", the target's yardstick)
    bsdtar -xf PACK -C T && cp -R T/. D2 && rm -rf T   ("+rm", also cleaning up, as mtzip does)

each timed as one shell command. The pack is the generated ~600 MB one under
a name whose category prefix (LT_) the shipped Categories list knows. Every
run goes into an empty destination and a fresh temporary folder on the same
file system (TMPDIR points mtzip's unpack folder there), removed and synced
before the next run; the tools take turns going first. One warm-up run of each
checks that mtzip installed every file of the pack (count and bytes) and left
no unpack folder behind, so the benchmark cannot pass by doing less.

    bench/run_install.py                  # 7 rounds
    bench/run_install.py --rounds 3 --no-build
"""

import os
import sys
import zipfile

import benchlib as bl


def files_from_pack(folder):
    """The installed files that came from the pack: mtzip's receipt, which
    the usual tools do not write, left out."""
    return [os.path.join(d, f) for d, _, files in os.walk(folder) if ".receipts" not in d for f in files]


def main():
    args = bl.options(__doc__, templates=300).parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    pack = bl.named_pack(bl.generated_pack(args.templates, args.size_mb, args.small), "LT_Bench_Pack.mtzip")
    with zipfile.ZipFile(pack) as zf:
        files = [i for i in zf.infolist() if not i.is_dir()]
    pack_files, pack_bytes = len(files), sum(i.file_size for i in files)

    tmp = bl.OUT / "install-tmp"      # TMPDIR of mtzip, parent of bsdtar's T
    unpack = tmp / "T"
    dest = bl.OUT / "install-dest"
    env = dict(os.environ, TMPDIR=str(tmp))
    shell = 'bsdtar -xf "$1" -C "$2" && cp -R "$2/." "$3"'
    tools = {
        "mtzip": [str(mtzip), "install", "--dest", str(dest), str(pack)],
        "bsdtar+cp": ["sh", "-c", shell, "sh", str(pack), str(unpack), str(dest)],
        "+rm": ["sh", "-c", shell + ' && rm -rf "$2"', "sh", str(pack), str(unpack), str(dest)],
    }
    names = list(tools)

    def prepare():
        bl.fresh(tmp, dest, unpack)

    # Warm-up, and the check that every tool did the whole job.
    for name in names:
        prepare()
        bl.run_once(tools[name], env)
        files = files_from_pack(dest)
        installed, size = len(files), sum(os.path.getsize(f) for f in files)
        if (installed, size) != (pack_files, pack_bytes):
            sys.exit(f"{name} installed {installed} files, {size} bytes; the pack holds {pack_files}, {pack_bytes}")
        if name == "mtzip":
            left = [p.name for p in tmp.iterdir() if p != unpack]
            if left or any(unpack.iterdir()):
                sys.exit(f"mtzip left its unpack folder behind: {left}")
            templates = sum(1 for kind in dest.iterdir() if kind.name != ".receipts"
                            for cat in kind.iterdir() for _ in cat.iterdir())
            if templates != args.templates:
                sys.exit(f"mtzip installed {templates} template folders of {args.templates}")

    timings = bl.timed_rounds(tools, args.rounds, prepare, env)
    gnu_rss = bl.peak_rss(tools["mtzip"], prepare, env)
    bl.remove(tmp, dest)

    timings.report(f"install of {pack.name}: {pack.stat().st_size / 2**20:.0f} MiB, {pack_files} files, "
                   f"{pack_bytes / 2**20:.0f} MiB unpacked; {args.rounds} rounds; {bl.load_text()}", 9)
    print(timings.ratio("mtzip", "bsdtar+cp") + "   (target: at most 1.00 wall)")
    print(timings.ratio("mtzip", "+rm"))
    print(bl.peak_rss_line("mtzip", gnu_rss))


if __name__ == "__main__":
    main()
