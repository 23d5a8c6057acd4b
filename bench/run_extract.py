#!/usr/bin/env python3
"""Times `mtzip extract` against bsdtar and Info-ZIP unzip on one template pack.

Builds mtzip in Release (build-bench), writes the pack once into bench/out/,
then runs the three extractors in alternating order, each into a fresh folder
on the same file system that is removed (and synced) between runs. Prints the
median wall and CPU (user + system) time of each, the ratios mtzip/bsdtar and
mtzip/unzip, and the peak resident memory of each run (GNU time's %M), plus
GNU time -v's "Maximum resident set size" for one extra mtzip run.

    bench/run_extract.py                       # 600 MB pack, 7 rounds
    bench/run_extract.py --rounds 3 --size-mb 200
    bench/run_extract.py --pack some.mtzip     # an existing archive
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

BENCH = Path(__file__).resolve().parent
ROOT = BENCH.parent
OUT = BENCH / "out"
BUILD = ROOT / "build-bench"


def ensure_gnu_time():
    if Path("/usr/bin/time").exists():
        return
    print("installing GNU time", file=sys.stderr)
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "time"], check=True, env=env)


def build():
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(BUILD), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DMTI_BUILD_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BUILD), "--target", "mtzip"], check=True)
    return BUILD / "Sources" / "Cli" / "mtzip"


def run_once(command):
    """Wall seconds, CPU seconds (user + system) and peak RSS (KiB) of one run;
    fails loudly on a non-zero exit.

    GNU time reports the peak: a child forked from this Python process would
    count Python's own pages in its ru_maxrss."""
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M %U %S"] + command,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{command[0]} failed ({done.returncode}): {done.stderr}")
    peak, user, system = done.stderr.strip().splitlines()[-1].split()
    return wall, float(user) + float(system), int(peak)


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--templates", type=int, default=300)
    parser.add_argument("--size-mb", type=int, default=600)
    parser.add_argument("--small", action="store_true")
    parser.add_argument("--pack", help="an existing archive instead of a generated one")
    parser.add_argument("--no-build", action="store_true", help="use the mtzip already in build-bench")
    args = parser.parse_args()

    ensure_gnu_time()
    mtzip = BUILD / "Sources" / "Cli" / "mtzip" if args.no_build else build()
    OUT.mkdir(exist_ok=True)
    if args.pack:
        pack = Path(args.pack).resolve()
    else:
        shape = "small" if args.small else f"{args.size_mb}m"
        pack = OUT / f"pack-{args.templates}t-{shape}.mtzip"
        if not pack.exists():
            command = [sys.executable, str(BENCH / "make_pack.py"), str(pack) + ".part",
                       "--templates", str(args.templates), "--size-mb", str(args.size_mb)]
            subprocess.run(command + (["--small"] if args.small else []), check=True)
            os.replace(str(pack) + ".part", pack)

    target = OUT / "extract"
    tools = {
        "mtzip": lambda d: [str(mtzip), "extract", str(pack), str(d)],
        "bsdtar": lambda d: ["bsdtar", "-xf", str(pack), "-C", str(d)],
        "unzip": lambda d: ["unzip", "-q", "-o", str(pack), "-d", str(d)],
    }
    names = list(tools)

    def fresh():
        shutil.rmtree(target, ignore_errors=True)
        os.sync()
        target.mkdir()

    # Warm the page cache with the archive and check every tool unpacks the
    # same number of files, so no tool is timed doing less work.
    counts = {}
    for name in names:
        fresh()
        run_once(tools[name](target))
        counts[name] = count_files(target)
    if len(set(counts.values())) != 1:
        sys.exit(f"extractors disagree on the number of files: {counts}")

    walls = {name: [] for name in names}
    cpus = {name: [] for name in names}
    rss = {name: [] for name in names}
    for r in range(args.rounds):
        order = names[r % len(names):] + names[:r % len(names)]
        for name in order:
            fresh()
            wall, cpu, peak = run_once(tools[name](target))
            walls[name].append(wall)
            cpus[name].append(cpu)
            rss[name].append(peak)
        print(f"round {r + 1}: " + ", ".join(f"{n} {walls[n][-1]:.2f}s" for n in names), file=sys.stderr)

    fresh()
    verbose = subprocess.run(["/usr/bin/time", "-v"] + tools["mtzip"](target),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True).stderr
    gnu_rss = next((line.split(":")[1].strip() for line in verbose.splitlines()
                    if "Maximum resident set size" in line), "?")
    shutil.rmtree(target, ignore_errors=True)

    median = {n: statistics.median(walls[n]) for n in names}
    cpu = {n: statistics.median(cpus[n]) for n in names}
    load = os.getloadavg()[0]
    print(f"pack: {pack.name}, {pack.stat().st_size / 2**20:.0f} MiB, {counts['mtzip']} files; "
          f"{args.rounds} rounds; load average now {load:.2f}")
    for n in names:
        print(f"  {n:7s} median {median[n]:6.2f} s  (min {min(walls[n]):.2f}, max {max(walls[n]):.2f})"
              f"  CPU median {cpu[n]:5.2f} s  peak RSS {max(rss[n]) / 1024:.1f} MiB")
    print(f"  mtzip/bsdtar {median['mtzip'] / median['bsdtar']:.2f} wall, {cpu['mtzip'] / cpu['bsdtar']:.2f} CPU")
    print(f"  mtzip/unzip  {median['mtzip'] / median['unzip']:.2f} wall, {cpu['mtzip'] / cpu['unzip']:.2f} CPU")
    print(f"  mtzip peak RSS (GNU time -v, Maximum resident set size): {gnu_rss} KiB")


if __name__ == "__main__":
    main()
