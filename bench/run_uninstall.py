#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip uninstall` of a pack of many small templates against rm -rf.

The pack, LT_Bench_Many.mtzip, holds N templates (10,000 by default), each a
folder LT_Many_<n> with LT_Many_<n>.moti, preview.png and Media/accent.png
(a few KB each). It is installed once with `mtzip install --dest`; that
installed root is the pristine copy. Before every run the destination is
re-created from it with `cp -a` and synced, outside the timed part, so every
run starts from the same tree, and the run waits until --settle seconds (65)
have passed since the last removal: on this root file system (ext4 without a
journal) files created within a minute of a large removal cost several times
more. Each round then runs, taking turns going first:

    mtzip uninstall --dest D PACK          unpacks PACK to learn its templates, moves
                                           each template folder into a hidden folder
                                           in D in one rename, deletes that folder
    rm -rf "D/Titles.localized/ZT Lower Thirds"/*   the same templates, by the usual tool
    mtzip list --dest D PACK               the same unpacking, scan and removal of the
                                           unpack folder, nothing installed removed:
                                           uninstall - list is the removal itself
    mtzip uninstall --trash --dest D PACK  HOME is a folder beside D, so the Trash is a
                                           rename: each template on its own, with its
                                           .trashinfo record
    bsdtar -xf PACK -C T && rm -rf ...     the usual tools' way to learn what to remove
                                           and remove it: the yardstick of --trash

Every run is checked (outside the timing): the templates are gone, no hidden
.mti-* folder and no unpack folder is left, and --trash put them into
$HOME/.local/share/Trash/files, one item and one .trashinfo a template.

    bench/run_uninstall.py                  # 10,000 templates, 5 rounds, ~35 minutes
    bench/run_uninstall.py --templates 1000 --rounds 3 --no-build
"""

import json
import os
import random
import subprocess
import sys
import time
import zipfile

import benchlib as bl
import make_pack as mp

CATEGORY = "Titles.localized/ZT Lower Thirds"  # where LT_ titles go
SEED = 20241209


def write_pack(path, templates):
    """The pack of small templates, written once (same count, same bytes)."""
    if path.exists():
        return path
    rng = random.Random(SEED)
    previews = [mp.png_bytes(rng, 48, 27) for _ in range(16)]
    accents = [mp.png_bytes(rng, 32, 18) for _ in range(16)]
    part = path.with_name(path.name + ".part")
    with zipfile.ZipFile(part, "w", zipfile.ZIP_DEFLATED) as zf:
        for n in range(1, templates + 1):
            name = f"LT_Many_{n}"
            mp.add(zf, f"{name}/", b"")
            mp.add(zf, f"{name}/{name}.moti", mp.template_text(rng, name, "Titles", rng.randrange(2, 5) * 1024))
            mp.add(zf, f"{name}/preview.png", previews[n % len(previews)])
            mp.add(zf, f"{name}/Media/", b"")
            mp.add(zf, f"{name}/Media/accent.png", accents[n % len(accents)])
    os.replace(part, path)
    return path


def hidden(folder):
    return sorted(p.name for p in folder.iterdir() if p.name.startswith(".")) if folder.is_dir() else []


def templates_in(folder):
    return sum(1 for p in folder.iterdir() if p.name.startswith("LT_Many_")) if folder.is_dir() else 0


def main():
    parser = bl.options(__doc__, templates=10000, pack_shape=False)
    parser.add_argument("--settle", type=float, default=65,
                        help="seconds between the last removal and a timed run (default 65; see below)")
    parser.set_defaults(rounds=5)
    args = parser.parse_args()

    bl.ensure_gnu_time()
    mtzip = bl.mtzip_path(args.no_build)
    bl.OUT.mkdir(exist_ok=True)
    pack = bl.named_pack(write_pack(bl.OUT / f"many-{args.templates}t.mtzip", args.templates), "LT_Bench_Many.mtzip")
    with zipfile.ZipFile(pack) as zf:
        pack_files = sum(1 for i in zf.infolist() if not i.is_dir())

    tmp = bl.OUT / "uninstall-tmp"            # TMPDIR: mtzip's unpack folders
    pristine = bl.OUT / "uninstall-pristine"  # the root as the install left it
    dest = bl.OUT / "uninstall-dest"
    home = bl.OUT / "uninstall-home"          # HOME, for the Trash
    trash = home / ".local/share/Trash"
    env = dict(os.environ, TMPDIR=str(tmp), HOME=str(home))
    env.pop("XDG_DATA_HOME", None)
    tools = {
        "uninstall": [str(mtzip), "uninstall", "--dest", str(dest), str(pack)],
        "rm": ["sh", "-c", 'rm -rf "$1"/*', "sh", str(dest / CATEGORY)],
        "list": [str(mtzip), "list", "--dest", str(dest), str(pack)],
        "trash": [str(mtzip), "uninstall", "--trash", "--dest", str(dest), str(pack)],
        # The usual tools' way to learn the templates and remove them.
        "bsdtar+rm": ["sh", "-c", 'bsdtar -xf "$1" -C "$2" && rm -rf "$3"/*', "sh", str(pack), str(tmp),
                      str(dest / CATEGORY)],
    }
    names = list(tools)

    # The installed tree, once.
    subprocess.run(["rm", "-rf", str(pristine)], check=True)
    bl.fresh(tmp)
    bl.run_once([str(mtzip), "install", "--dest", str(pristine), str(pack)], env)
    installed = templates_in(pristine / CATEGORY)
    # The receipt is one file more than the pack's.
    if installed != args.templates or bl.count_files(pristine / CATEGORY) != pack_files:
        sys.exit(f"install made {installed} template folders and {bl.count_files(pristine / CATEGORY)} files "
                 f"of {args.templates} and {pack_files}")
    left_by_install = hidden(pristine)

    def prepare():
        subprocess.run(["rm", "-rf", str(dest), str(home)], check=True)
        os.sync()
        removed = time.monotonic()
        # A home has ~/.local/share; without it Qt 6.4 puts the Trash's files/
        # and info/ into the current folder (and reports success).
        bl.fresh(tmp, home / ".local/share")
        subprocess.run(["cp", "-a", str(pristine), str(dest)], check=True)
        os.sync()
        # ext4 without a journal (this root) passes over inodes freed less
        # than a minute ago (five while their table block is unwritten) each
        # time it allocates one, so creating files right after a large removal
        # costs several times more system time. Every mtzip run creates 50,000
        # entries (its unpack folder) after the previous run's removals.
        time.sleep(max(0.0, removed + args.settle - time.monotonic()))

    odd = []

    def check(name):
        """What the run left; an uninstall that did less fails here."""
        if name != "bsdtar+rm" and any(tmp.iterdir()):
            sys.exit(f"{name} left an unpack folder: {[p.name for p in tmp.iterdir()]}")
        left = templates_in(dest / CATEGORY)
        if name == "list":
            if left != args.templates:
                sys.exit(f"list removed templates: {left} of {args.templates} left")
            return
        if left:
            sys.exit(f"{name} left {left} of {args.templates} templates")
        if name in ("rm", "bsdtar+rm"):
            return
        extra = [n for n in hidden(dest) if n not in left_by_install]
        if extra:
            odd.append(f"{name} left {extra} in the destination")
        if (dest / CATEGORY).exists():
            odd.append(f"{name} left an empty {CATEGORY}")
        if name == "trash":
            # One item a template, each with its record of where it was.
            trashed = sum(1 for p in (trash / "files").iterdir() if p.name.startswith("LT_Many_"))
            records = sum(1 for p in (trash / "info").iterdir() if p.name.endswith(".trashinfo"))
            if trashed != args.templates or records != args.templates:
                sys.exit(f"--trash put {trashed} of {args.templates} templates ({records} records) into {trash}")
        elif trash.exists():
            sys.exit("uninstall without --trash wrote into the Trash")

    # Warm-up: every tool once, and list --json must see every template installed.
    prepare()
    done = subprocess.run([str(mtzip), "list", "--json", "--dest", str(dest), str(pack)], env=env,
                          stdout=subprocess.PIPE, text=True, check=True)
    listed = [t for a in json.loads(done.stdout)["archives"] for t in a["templates"]]
    if len(listed) != args.templates or not all(t["installed"] for t in listed):
        sys.exit(f"list --json: {sum(t['installed'] for t in listed)} of {len(listed)} templates installed")
    for name in names:
        prepare()
        bl.run_once(tools[name], env)
        check(name)

    timings = bl.Timings(names)
    for r in range(args.rounds):
        for name in bl.rotated(names, r):
            prepare()
            timings.add(name, bl.run_once(tools[name], env))
            check(name)
        print(f"round {r + 1}: {timings.last()}", file=sys.stderr)
    gnu_rss = bl.peak_rss(tools["uninstall"], prepare, env)
    subprocess.run(["rm", "-rf", str(dest), str(home), str(pristine)], check=True)
    bl.remove(tmp)

    timings.report(f"uninstall of {pack.name}: {pack.stat().st_size / 2**20:.0f} MiB, {args.templates} templates, "
                   f"{pack_files} files; {args.rounds} rounds; {bl.load_text()}", 9)
    print(timings.ratio("uninstall", "rm") + "   (target: at most 1.50 wall)")
    print(timings.ratio("trash", "rm"))
    print(timings.ratio("trash", "bsdtar+rm") + "   (target: at most 1.50 wall)")
    for kind, of in (("wall", timings.wall), ("CPU", timings.cpu)):
        print(f"  {kind}: removal alone (uninstall - list) {of('uninstall') - of('list'):.2f} s, "
              f"(uninstall - list)/rm {(of('uninstall') - of('list')) / of('rm'):.2f}; "
              f"trash - list {of('trash') - of('list'):.2f} s")
    print(f"  left by the install in the root: {left_by_install or 'nothing hidden'}")
    for line in sorted(set(odd)):
        print(f"  odd: {line}")
    print(bl.peak_rss_line("mtzip uninstall", gnu_rss))


if __name__ == "__main__":
    main()
