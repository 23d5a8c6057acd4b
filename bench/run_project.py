#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Times `mtzip check` and `mtzip collect` on generated Final Cut Pro projects.

check: an FCPXML using 2,000 templates from 10,000 clips (every fifth clip a
title inside a compound clip, the rest in the projects' spines), against a
templates folder holding 10,000 installed templates, 2,000 - MISSING of them
the project's, and a search folder of 50 .mtzip archives, one of which
provides the MISSING templates that are not installed. The warm-up checks
that check finds exactly those missing and names an archive for each.
Target: under 1 s.

collect: 200 templates of about 2.5 MB each (~500 MB: a compressible
template document and preview, incompressible media) collected into one zip,
side by side with Info-ZIP `zip -r` (its default level, 6) of the same
template folders, runs alternating, outputs removed and synced in between.
The warm-up checks that both zips hold the same files. Target: mtzip/zip at
most 1.0 (median of the rounds' ratios).

    bench/run_project.py                          # both, 7 rounds, build-bench's Release mtzip
    bench/run_project.py --mtzip build/Sources/Cli/mtzip --no-build --rounds 5
    bench/run_project.py --collect-mb 100         # a smaller collect
    bench/run_project.py --only check

HOME points at a folder of bench/out during the runs, so that neither the
user's Downloads nor the application's settings add archives.
"""

import json
import os
import random
import shutil
import subprocess
import zipfile
import sys
from pathlib import Path

import benchlib as bl

KINDS = [("Titles.localized", "moti", "title"), ("Generators.localized", "motn", "video"),
         ("Effects.localized", "moef", "filter"), ("Transitions.localized", "motr", "transition")]


def document(rng, size):
    """A template document: XML-like text that compresses as real ones do."""
    words = ["<param name=\"Opacity\" id=\"%d\" flags=\"%d\" value=\"%.3f\"/>\n" % (rng.randrange(10**6), rng.randrange(64), rng.random())
             for _ in range(max(1, size // 60))]
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n"
            "<displayversion>5.4</displayversion>\n<scene>\n" + "".join(words) + "</scene></ozml>\n").encode()


# The templates [MISSING_FROM, 2000) are the project's missing ones: named and
# placed as an archive with the BG prefix ("ZT Backgrounds") installs them.
MISSING_FROM = 1900


def template_folder(index):
    kind, extension, _ = KINDS[index % len(KINDS)]
    if MISSING_FROM <= index < 2000:
        return f"{kind}/ZT Backgrounds/BG_Template {index:05d}", extension
    return f"{kind}/ZT Category {index % 37:02d}/TP_Template {index:05d}", extension


def write_template(root, index, rng, media_bytes=0):
    folder, extension = template_folder(index)
    path = root / folder
    (path / "Media").mkdir(parents=True, exist_ok=True)
    name = folder.rsplit("/", 1)[1]
    (path / f"{name}.{extension}").write_bytes(document(rng, 2000 if not media_bytes else 40000))
    if media_bytes:
        (path / "large.png").write_bytes(document(rng, 60000))
        (path / "Media" / "clip.mov").write_bytes(os.urandom(media_bytes))


def project(templates, clips):
    """An FCPXML 1.11 using `templates` templates from `clips` clips."""
    resources = ['<format id="f1" frameDuration="100/2500s" width="1920" height="1080"/>']
    for i in range(templates):
        folder, extension = template_folder(i)
        name = folder.rsplit("/", 1)[1]
        resources.append(f'<effect id="e{i}" name="{name}" uid="~/{folder}/{name}.{extension}"/>')
    inner = []
    spine = []
    for c in range(clips):
        t = c % templates
        kind = KINDS[t % len(KINDS)][2]
        if kind == "title":
            element = f'<title name="Clip {c}" ref="e{t}" lane="1" offset="0s" duration="5s"/>'
        elif kind == "video":
            element = f'<video name="Clip {c}" ref="e{t}" offset="0s" duration="5s"/>'
        elif kind == "filter":
            element = f'<gap name="Clip {c}" offset="0s" duration="5s"><filter-video ref="e{t}" name="F"/></gap>'
        else:
            element = f'<transition name="Clip {c}" offset="0s" duration="1s"><filter-video ref="e{t}" name="T"/></transition>'
        (inner if c % 5 == 0 else spine).append(element)
    resources.append('<media id="m1" name="Compound"><sequence format="f1" duration="50s"><spine>'
                     + "".join(inner) + "</spine></sequence></media>")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE fcpxml>\n<fcpxml version="1.11"><resources>'
            + "".join(resources) + '</resources><library><event name="Bench"><project name="Big">'
            '<sequence format="f1" duration="600s"><spine><ref-clip name="Compound" ref="m1" offset="0s" duration="50s"/>'
            + "".join(spine) + "</spine></sequence></project></event></library></fcpxml>\n")


def pack(archive, folders, rng):
    """An .mtzip holding the template folders named as the last component of
    `folders` (where they land depends on the archive's prefix)."""
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        for folder, extension in folders:
            name = folder.rsplit("/", 1)[1]
            z.writestr(f"{name}/{name}.{extension}", document(rng, 2000))


def run_allowing(command, codes, env):
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode not in codes:
        sys.exit(f"{' '.join(command)} failed ({done.returncode}): {done.stderr}")
    return done


def bench_check(mtzip, rounds, missing, env):
    work = bl.OUT / "project-check"
    root = work / "Motion Templates.localized"
    search = work / "search"
    proj = work / "Big.fcpxml"
    marker = work / f"done-{missing}"
    rng = random.Random(7)
    if not marker.exists():
        shutil.rmtree(work, ignore_errors=True)
        root.mkdir(parents=True)
        search.mkdir()
        # 10,000 installed: the project's 2,000 but `missing`, and 8,000 others.
        for i in range(10000 + missing):
            if 2000 - missing <= i < 2000:
                continue
            write_template(root, i, rng)
        proj.write_text(project(2000, 10000))
        # 50 archives of 40 templates: 49 with others, one with the missing.
        for a in range(49):
            pack(search / f"BG_Decoy {a:02d}.mtzip", [template_folder(20000 + a * 40 + k) for k in range(40)], rng)
        pack(search / "BG_Missing.mtzip", [template_folder(i) for i in range(2000 - missing, 2000)], rng)
        marker.write_text("")
    command = [str(mtzip), "check", "--dest", str(root), "--search", str(search), str(proj)]

    # Warm-up and the checks: exactly the missing ones, each with a provider.
    result = json.loads(run_allowing(command[:2] + ["--json"] + command[2:], {1}, env).stdout)
    templates = result["projects"][0]["templates"]
    lost = [t for t in templates if t["state"] == "missing"]
    if len(templates) != 2000 or len(lost) != missing or any(not t["providers"] for t in lost):
        sys.exit(f"check found {len(templates)} templates, {len(lost)} missing, "
                 f"{sum(1 for t in lost if not t['providers'])} without an archive")
    if sum(t["uses"] for t in templates) != 10000:
        sys.exit("check did not count 10,000 uses")

    timings = bl.Timings(["check"])
    wrapped = ["sh", "-c", '"$@"; test $? -eq 1', "sh"] + command
    for _ in range(rounds):
        timings.add("check", bl.run_once(wrapped, env))
    timings.report(f"check of 2,000 templates used by 10,000 clips against 10,000 installed, "
                   f"{missing} missing, 50 archives searched; {rounds} rounds; {bl.load_text()}")
    print("  (target: under 1 s wall)")


def bench_collect(mtzip, rounds, size_mb, env):
    work = bl.OUT / "project-collect"
    root = work / "Motion Templates.localized"
    proj = work / "Collect.fcpxml"
    marker = work / f"done-{size_mb}"
    rng = random.Random(11)
    count = 200
    if not marker.exists():
        shutil.rmtree(work, ignore_errors=True)
        root.mkdir(parents=True)
        media = max(1, size_mb * 2**20 // count - 100000)
        for i in range(count):
            write_template(root, i, rng, media)
        proj.write_text(project(count, count * 2))
        marker.write_text("")
    folders = [template_folder(i)[0] for i in range(count)]
    ours = work / "mtzip.zip"
    theirs = work / "zip.zip"
    tools = {
        "mtzip": [str(mtzip), "collect", "--dest", str(root), str(proj), "-o", str(ours)],
        "zip": ["sh", "-c", 'cd "$1" && shift && exec zip -r -q "$@"', "sh", str(root), str(theirs)] + folders,
    }

    def prepare():
        for path in (ours, theirs):
            if path.exists():
                path.unlink()
        os.sync()

    prepare()
    for name in tools:
        bl.run_once(tools[name], env)
    with zipfile.ZipFile(ours) as a, zipfile.ZipFile(theirs) as b:
        files_a = sorted(n for n in a.namelist() if not n.endswith("/"))
        files_b = sorted(n for n in b.namelist() if not n.endswith("/"))
        if files_a != files_b:
            sys.exit("the two zips differ in their files")
    total = sum((root / f).stat().st_size for f in files_a)
    sizes = f"mtzip {ours.stat().st_size / 2**20:.0f} MiB, zip {theirs.stat().st_size / 2**20:.0f} MiB"

    timings = bl.timed_rounds(tools, rounds, prepare, env)
    prepare()
    timings.report(f"collect of {count} templates, {len(files_a)} files, {total / 2**20:.0f} MiB ({sizes}); "
                   f"{rounds} rounds; {bl.load_text()}")
    print(timings.ratio("mtzip", "zip") + "  (target: at most 1.0 wall)")


def main():
    parser = bl.options(__doc__, templates=2000, pack_shape=False)
    parser.add_argument("--mtzip", help="the mtzip to time (default: build-bench's, built first)")
    parser.add_argument("--collect-mb", type=int, default=500)
    parser.add_argument("--missing", type=int, default=100)
    parser.add_argument("--only", choices=["check", "collect"])
    args = parser.parse_args()
    global MISSING_FROM
    MISSING_FROM = 2000 - args.missing

    bl.ensure_gnu_time()
    mtzip = Path(args.mtzip).resolve() if args.mtzip else bl.mtzip_path(args.no_build)
    home = bl.OUT / "project-home"
    home.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home / "config"))
    if args.only != "collect":
        bench_check(mtzip, args.rounds, args.missing, env)
    if args.only != "check":
        bench_collect(mtzip, args.rounds, args.collect_mb, env)


if __name__ == "__main__":
    main()
