# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Pieces shared by the benchmark scripts: their common options, the Release
build of mtzip, the generated packs, timing one run with GNU time, rounds of
runs in turn, and fresh folders."""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
import zipfile
from pathlib import Path

BENCH = Path(__file__).resolve().parent
ROOT = BENCH.parent
OUT = BENCH / "out"
BUILD = ROOT / "build-bench"
MTZIP = BUILD / "Sources" / "Cli" / "mtzip"


def options(doc, templates, pack_shape=True):
    """The options every benchmark takes: rounds, the generated pack's
    template count (and with pack_shape its size and --small), --no-build."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--templates", type=int, default=templates)
    if pack_shape:
        parser.add_argument("--size-mb", type=int, default=600)
        parser.add_argument("--small", action="store_true")
    parser.add_argument("--no-build", action="store_true", help="use the mtzip already in build-bench")
    return parser


def ensure_gnu_time():
    if Path("/usr/bin/time").exists():
        return
    print("installing GNU time", file=sys.stderr)
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "time"], check=True, env=env)


def build():
    """Configures build-bench (Release, no tests), builds mtzip, returns its path."""
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(BUILD), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DMTI_BUILD_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BUILD), "--target", "mtzip"], check=True)
    return MTZIP


def mtzip_path(no_build):
    return MTZIP if no_build else build()


def generated_pack(templates, size_mb, small):
    """The pack make_pack.py writes for these options, written once into bench/out/."""
    OUT.mkdir(exist_ok=True)
    shape = "small" if small else f"{size_mb}m"
    pack = OUT / f"pack-{templates}t-{shape}.mtzip"
    if not pack.exists():
        command = [sys.executable, str(BENCH / "make_pack.py"), str(pack) + ".part",
                   "--templates", str(templates), "--size-mb", str(size_mb)]
        subprocess.run(command + (["--small"] if small else []), check=True)
        os.replace(str(pack) + ".part", pack)
    return pack


def named_pack(source, name):
    """source under another file name in bench/out/ (a hard link: same bytes,
    no copy), for commands that read meaning into the name."""
    target = OUT / name
    if target.exists() and not target.samefile(source):
        target.unlink()
    if not target.exists():
        os.link(source, target)
    return target


def run_once(command, env=None):
    """Wall seconds, CPU seconds (user + system), peak RSS (KiB) and user CPU
    seconds of one run; fails loudly on a non-zero exit.

    GNU time reports the peak: a child forked from this Python process would
    count Python's own pages in its ru_maxrss. For a shell command the CPU time
    covers every process of it; the peak is that of its largest process."""
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M %U %S"] + command, env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{command[0]} failed ({done.returncode}): {done.stderr}")
    peak, user, system = done.stderr.strip().splitlines()[-1].split()
    return wall, float(user) + float(system), int(peak), float(user)


def gnu_time_rss(command, env=None):
    """GNU time -v's "Maximum resident set size" (KiB) of one run, as text."""
    verbose = subprocess.run(["/usr/bin/time", "-v"] + command, env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True).stderr
    return next((line.split(":")[1].strip() for line in verbose.splitlines()
                 if "Maximum resident set size" in line), "?")


def peak_rss(command, prepare, env=None):
    """GNU time -v's peak RSS (KiB, as text) of one more run after prepare()."""
    prepare()
    return gnu_time_rss(command, env)


def peak_rss_line(what, kib):
    return f"  {what} peak RSS (GNU time -v, Maximum resident set size): {kib} KiB"


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def remove(*folders):
    """Removes the folders and syncs, so write-back of one run does not land in the next."""
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)
    os.sync()


def fresh(*folders):
    """Empty folders, created anew after everything earlier is written back."""
    remove(*folders)
    for folder in folders:
        folder.mkdir(parents=True)


class Timings:
    """Wall, CPU and peak RSS of every run, per tool."""

    def __init__(self, names):
        self.names = list(names)
        self.walls = {n: [] for n in self.names}
        self.cpus = {n: [] for n in self.names}
        self.rss = {n: [] for n in self.names}
        self.users = {n: [] for n in self.names}

    def add(self, name, measured):
        wall, cpu, peak, user = measured
        self.walls[name].append(wall)
        self.cpus[name].append(cpu)
        self.rss[name].append(peak)
        self.users[name].append(user)

    def user(self, name):
        return statistics.median(self.users[name])

    def wall(self, name):
        return statistics.median(self.walls[name])

    def cpu(self, name):
        return statistics.median(self.cpus[name])

    def report(self, heading, width=7):
        """The heading, then a line a tool."""
        print(heading)
        for name in self.names:
            print(self.line(name, width))

    def last(self):
        return ", ".join(f"{n} {self.walls[n][-1]:.2f}s" for n in self.names if self.walls[n])

    def line(self, name, width=7):
        w = self.walls[name]
        return (f"  {name:{width}s} median {self.wall(name):6.2f} s  (min {min(w):.2f}, max {max(w):.2f})"
                f"  CPU median {self.cpu(name):5.2f} s (user {self.user(name):5.2f} s)"
                f"  peak RSS median {statistics.median(self.rss[name]) / 1024:.1f} MiB"
                f" (max {max(self.rss[name]) / 1024:.1f})")

    def ratio(self, a, b):
        """The ratios of the medians, then the median (lowest-highest) of the
        rounds' own ratios: a round's two runs met the same machine, so these
        hold better when its speed drifts."""
        user = f", {self.user(a) / self.user(b):.2f} user CPU" if self.user(b) > 0 else ""
        text = (f"  {a}/{b} {self.wall(a) / self.wall(b):.2f} wall, "
                f"{self.cpu(a) / self.cpu(b):.2f} CPU{user}")
        pairs = [(name, mine, theirs) for name, mine, theirs in
                 (("wall", self.walls[a], self.walls[b]), ("user CPU", self.users[a], self.users[b]))
                 if all(theirs)]
        for name, mine, theirs in pairs:
            ratios = [x / y for x, y in zip(mine, theirs)]
            text += (f"\n    per round, {name}: median {statistics.median(ratios):.2f}"
                     f" ({min(ratios):.2f}-{max(ratios):.2f})")
        return text


def load_text():
    one, five, fifteen = os.getloadavg()
    return f"load average now {one:.2f} (5 min {five:.2f}, 15 min {fifteen:.2f})"


def rotated(names, r):
    """names starting at the r-th, so no tool always runs first."""
    k = r % len(names)
    return names[k:] + names[:k]


def timed_rounds(tools, rounds, prepare, env=None):
    """Runs every tool (name -> command) once a round, each after prepare(),
    the tools taking turns going first; returns the Timings."""
    names = list(tools)
    timings = Timings(names)
    for r in range(rounds):
        for name in rotated(names, r):
            prepare()
            timings.add(name, run_once(tools[name], env))
        print(f"round {r + 1}: {timings.last()}", file=sys.stderr)
    return timings


def empty_entries_pack(count):
    """An archive of count empty files, a thousand to a folder, written once."""
    OUT.mkdir(exist_ok=True)
    pack = OUT / f"empty-{count}.zip"
    if not pack.exists():
        with zipfile.ZipFile(str(pack) + ".part", "w", zipfile.ZIP_STORED) as z:
            for i in range(count):
                z.writestr(f"templates/folder{i // 1000:04d}/entry{i:07d}.txt", b"")
        Path(str(pack) + ".part").rename(pack)
    return pack
