#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip installed --json` over a templates folder of many templates.

The folder is filled once: --archives packs (10 by default), LT_Bench_Lib_<a>.mtzip,
of --templates / --archives small templates each (10,000 in all by default),
each a folder LT_Lib_<a>_<n> with LT_Lib_<a>_<n>.moti, preview.png and
Media/accent.png, are installed with `mtzip install --dest D`, so D holds the
templates and one receipt per pack; --hand more templates (200 by default)
are then copied in by hand, into a category of their own, without a receipt.
Each round then runs, the page cache warm:

    mtzip installed --json --dest D     the scan of the kind and category folders,
                                        the sizes of every template folder, the
                                        receipts read and joined, the JSON printed

The warm-up run checks that the JSON lists every template, the installed
ones with their archive and the hand-copied ones with origin null. For
information the script also times one `mtzip verify --json --dest D`, which
reads every installed file for its CRC-32.

    bench/run_installed.py                  # 10,000 + 200 templates, 5 rounds
    bench/run_installed.py --templates 1000 --rounds 3 --no-build
"""

import json
import os
import random
import shutil
import subprocess
import sys
import zipfile

import benchlib as bl
import make_pack as mp

CATEGORY = "Titles.localized/ZT Lower Thirds"  # where LT_ titles go
HAND_CATEGORY = "Titles.localized/By Hand"
SEED = 20261209


def write_pack(path, archive, count):
    """One pack of small templates, written once (same options, same bytes)."""
    if path.exists():
        return path
    rng = random.Random(SEED + archive)
    previews = [mp.png_bytes(rng, 48, 27) for _ in range(8)]
    accents = [mp.png_bytes(rng, 32, 18) for _ in range(8)]
    part = path.with_name(path.name + ".part")
    with zipfile.ZipFile(part, "w", zipfile.ZIP_DEFLATED) as zf:
        for n in range(1, count + 1):
            name = f"LT_Lib_{archive}_{n}"
            mp.add(zf, f"{name}/", b"")
            mp.add(zf, f"{name}/{name}.moti", mp.template_text(rng, name, "Titles", rng.randrange(2, 5) * 1024))
            mp.add(zf, f"{name}/preview.png", previews[n % len(previews)])
            mp.add(zf, f"{name}/Media/", b"")
            mp.add(zf, f"{name}/Media/accent.png", accents[n % len(accents)])
    os.replace(part, path)
    return path


def main():
    parser = bl.options(__doc__, templates=10000, pack_shape=False)
    parser.add_argument("--archives", type=int, default=10)
    parser.add_argument("--hand", type=int, default=200, help="templates copied in by hand, without a receipt")
    parser.set_defaults(rounds=5)
    args = parser.parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    bl.OUT.mkdir(exist_ok=True)
    per_archive = args.templates // args.archives
    packs = []
    for a in range(1, args.archives + 1):
        source = write_pack(bl.OUT / f"library-{a}-{per_archive}t.mtzip", a, per_archive)
        packs.append(bl.named_pack(source, f"LT_Bench_Lib_{a}.mtzip"))
    installed_count = per_archive * args.archives

    tmp = bl.OUT / "installed-tmp"
    dest = bl.OUT / "installed-dest"
    env = dict(os.environ, TMPDIR=str(tmp))
    bl.remove(dest)
    bl.fresh(tmp)
    for pack in packs:
        bl.run_once([str(mtzip), "install", "--dest", str(dest), str(pack)], env)
    first = dest / CATEGORY / "LT_Lib_1_1"
    for n in range(1, args.hand + 1):
        shutil.copytree(first, dest / HAND_CATEGORY / f"LT_Hand_{n}")
        os.rename(dest / HAND_CATEGORY / f"LT_Hand_{n}" / "LT_Lib_1_1.moti",
                  dest / HAND_CATEGORY / f"LT_Hand_{n}" / f"LT_Hand_{n}.moti")
    os.sync()
    total = installed_count + args.hand

    command = [str(mtzip), "installed", "--json", "--dest", str(dest)]
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, text=True, check=True)
    listed = json.loads(done.stdout)["templates"]
    with_origin = sum(1 for t in listed if t["origin"] is not None)
    if len(listed) != total or with_origin != installed_count:
        sys.exit(f"installed --json: {len(listed)} templates of {total}, {with_origin} with an origin "
                 f"of {installed_count}")
    receipts = sorted(p.name for p in (dest / ".receipts").iterdir())
    receipt_bytes = sum((dest / ".receipts" / n).stat().st_size for n in receipts)

    timings = bl.Timings(["installed"])
    for r in range(args.rounds):
        timings.add("installed", bl.run_once(command, env))
        print(f"round {r + 1}: {timings.last()}", file=sys.stderr)
    gnu_rss = bl.gnu_time_rss(command, env)
    verify = bl.Timings(["verify"])
    verify_command = [str(mtzip), "verify", "--json", "--dest", str(dest)]
    verify.add("verify", bl.run_once(verify_command, env))
    files = bl.count_files(dest)
    bl.remove(dest, tmp)

    timings.report(f"mtzip installed --json over {total} templates ({installed_count} from {args.archives} archives, "
                   f"{args.hand} by hand), {files} files, {len(receipts)} receipts of {receipt_bytes / 2**20:.1f} MiB; "
                   f"{args.rounds} rounds; {bl.load_text()}", 9)
    print(f"  target: median under 1 s: {'met' if timings.wall('installed') < 1.0 else 'NOT met'}")
    print(bl.peak_rss_line("mtzip installed", gnu_rss))
    print("for information, one run:")
    print(verify.line("verify", 9))


if __name__ == "__main__":
    main()
