#!/usr/bin/python3
"""Runs the command line on mutants of sample files and counts the outcomes.

    fuzz/mutation-campaign.py TESSAPLAN SEED_DIR COUNT [--formats glb,gltf,...]
                              [--keep DIR] [--seed N]

Each run mutates one seed file of the formats given (bytes flipped, runs of
bytes repeated, cut or overwritten with extreme numbers, the same mutation
in a glTF's JSON text), copies the files its folder references beside it
(buffers, images, materials), and runs `TESSAPLAN flatten MUTANT -o
OUT.obj` and, for every fifth, `atlas`, under a wall-time limit and with its
peak memory measured. Outcomes: exit 0, a refusal (exit 3 to 6), another
exit status, a signal, a hang (over the wall-time limit) or more memory than
the limit. Everything but exit 0 and refusals is a finding; the mutant is
kept in DIR. Exits 1 when there are findings.
"""

import argparse
import collections
import json
import os
import pathlib
import random
import shutil
import subprocess
import sys
import tempfile
import threading

WALL_SECONDS = 120
MEMORY_LIMIT_KB = 4 * 1024 * 1024
EXTREMES = [b"1e308", b"-1e308", b"nan", b"1e-320", b"4294967295",
            b"2147483648", b"-1", b"0", b"99999999999", b"1e39"]


def mutate(data, rng):
    data = bytearray(data)
    for _ in range(rng.randint(1, 4)):
        if not data:
            break
        kind = rng.randrange(6)
        at = rng.randrange(len(data))
        if kind == 0:
            data[at] ^= 1 << rng.randrange(8)
        elif kind == 1:
            data[at] = rng.choice([0, 0xff, 0x7f, 0x80])
        elif kind == 2:
            del data[at:at + rng.randint(1, 64)]
        elif kind == 3:
            size = rng.randint(1, 64)
            data[at:at] = data[at:at + size] * rng.randint(2, 64)
        elif kind == 4:
            data[at:at + rng.randint(1, 8)] = rng.choice(EXTREMES)
        else:
            data[at:at + 4] = rng.randrange(1 << 32).to_bytes(4, "little")
    return bytes(data)


def copy_references(seed, folder):
    """The files beside the seed that it may reference, so that a mutant
    still finds its buffers and materials."""
    for other in seed.parent.iterdir():
        if other.is_file() and other != seed and other.stat().st_size < 1 << 24:
            shutil.copy(other, folder / other.name)


def run(command):
    """Runs `command` in a child; returns (outcome, peak memory in KB of the
    child and the children it waited for)."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    killed = threading.Event()

    def kill():
        killed.set()
        process.kill()

    timer = threading.Timer(WALL_SECONDS, kill)
    timer.start()
    _, status, usage = os.wait4(process.pid, 0)
    timer.cancel()
    process.returncode = 0  # reaped here, not by Popen
    if killed.is_set():
        return "hang", usage.ru_maxrss
    if os.WIFSIGNALED(status):
        return "signal %d" % os.WTERMSIG(status), usage.ru_maxrss
    code = os.WEXITSTATUS(status)
    if code == 0:
        return "exit 0", usage.ru_maxrss
    if code in (3, 4, 5, 6):
        return "refused", usage.ru_maxrss
    return "exit %d" % code, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tessaplan")
    parser.add_argument("seeds", type=pathlib.Path)
    parser.add_argument("count", type=int)
    parser.add_argument("--formats", default="glb,gltf,3mf,dae,fbx,3ds,"
                        "nff,smd,md5mesh,ms3d,ase,ac,x,lwo,off,stl,ply,obj")
    parser.add_argument("--keep", type=pathlib.Path,
                        default=pathlib.Path("build/mutation-findings"))
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    formats = {"." + f for f in options.formats.split(",")}
    seeds = sorted(p for p in options.seeds.rglob("*")
                   if p.is_file() and p.suffix.lower() in formats
                   and p.stat().st_size < 1 << 20)
    if not seeds:
        sys.exit("no seed files of those formats under %s" % options.seeds)
    rng = random.Random(options.seed)
    outcomes = collections.Counter()
    findings = []
    for n in range(options.count):
        seed = rng.choice(seeds)
        with tempfile.TemporaryDirectory() as scratch:
            folder = pathlib.Path(scratch)
            copy_references(seed, folder)
            mutant = folder / seed.name
            mutant.write_bytes(mutate(seed.read_bytes(), rng))
            command = "atlas" if n % 5 == 4 else "flatten"
            outcome, peak = run([options.tessaplan, command, str(mutant),
                                 "-o", str(folder / "out.obj")])
            if peak > MEMORY_LIMIT_KB:
                outcome = "over memory"
            outcomes[outcome] += 1
            if outcome not in ("exit 0", "refused"):
                options.keep.mkdir(parents=True, exist_ok=True)
                kept = options.keep / ("%d-%s" % (n, seed.name))
                shutil.copy(mutant, kept)
                findings.append((str(kept), command, outcome))
    print(json.dumps({"runs": options.count, "seeds": len(seeds),
                      "outcomes": dict(outcomes), "findings": findings},
                     indent=1))
    sys.exit(1 if findings else 0)


if __name__ == "__main__":
    main()
