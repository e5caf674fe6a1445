#!/usr/bin/env python3
"""The command-line tool's budget in one run: whole-process CPU time (user + system) and
peak memory of `xrkit convert` (UTF-8 to UTF-16LE and back) and `xrkit validate` on a large
mixed text in the page cache, beside the I/O floor (stream_floor: the same reads and
writes, no work) and the same job over the SIMD peer (stream_peer).

    bench/io/cli_budget.py BUILD_DIR [--corpus DIR] [--megabytes N] [--runs K]

BUILD_DIR is a build of the bench preset (it holds bench/stream_* and tools/xrkit/xrkit).
The input is the corpus's wikipedia_mars texts repeated up to N MB (default 200), written
to a temporary folder that is removed at the end. Each program runs K times (default 3);
the least CPU time counts.
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile


def corpus_dir(given):
    for d in [given, os.environ.get("XRKIT_CORPUS"),
              os.path.join(os.path.dirname(__file__), "../../../shared/corpus")]:
        if d and os.path.isdir(os.path.join(d, "wikipedia_mars")):
            return os.path.join(d, "wikipedia_mars")
    sys.exit("cli_budget: no corpus with a wikipedia_mars folder (give --corpus DIR)")


def make_input(src_dir, path, megabytes):
    texts = [open(os.path.join(src_dir, f), "rb").read() for f in sorted(os.listdir(src_dir))]
    block = b"".join(texts)
    want = megabytes << 20
    with open(path, "wb") as f:
        while f.tell() < want:
            f.write(block)


def run(argv, runs):
    """Least CPU seconds over the runs, and the peak RSS in MB. GNU time runs the program:
    a child forked from this interpreter would count the interpreter's pages as its own."""
    best, peak = None, 0
    for _ in range(runs):
        r = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", *argv], stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True)
        if r.returncode != 0:
            sys.exit(f"cli_budget: {' '.join(argv)}: exit {r.returncode}: {r.stderr.strip()}")
        user, system, kb = r.stderr.split()[-3:]
        cpu = float(user) + float(system)
        best = cpu if best is None else min(best, cpu)
        peak = max(peak, int(kb) / 1024)
    return best, peak


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--corpus")
    ap.add_argument("--megabytes", type=int, default=200)
    ap.add_argument("--runs", type=int, default=3)
    a = ap.parse_args()
    bench = os.path.join(a.build, "bench")
    cli = os.path.join(a.build, "tools", "xrkit", "xrkit")
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("cli_budget: needs GNU time (/usr/bin/time, Debian package time)")
    for p in ["stream_floor", "stream_peer"]:
        if not os.access(os.path.join(bench, p), os.X_OK):
            sys.exit(f"cli_budget: {os.path.join(bench, p)}: not built")
    tmp = tempfile.mkdtemp(prefix="cli_budget.")
    try:
        u8 = os.path.join(tmp, "mixed.txt")
        u16 = os.path.join(tmp, "mixed.utf16le")
        out = os.path.join(tmp, "out")
        make_input(corpus_dir(a.corpus), u8, a.megabytes)
        subprocess.run([cli, "convert", "-f", "utf-8", "-t", "utf-16le", u8, u16], check=True)
        n8, n16 = os.path.getsize(u8), os.path.getsize(u16)
        print(f"input: {n8 / 1e6:.0f} MB of UTF-8, {n16 / 1e6:.0f} MB as UTF-16LE")
        floor = lambda src, dst_size: [os.path.join(bench, "stream_floor"), src, out,
                                       str(100 * dst_size // os.path.getsize(src))]
        peer = lambda mode, src: [os.path.join(bench, "stream_peer"), mode, src, out]
        jobs = [
            ("to-utf16le", floor(u8, n16), peer("to-utf16le", u8),
             [cli, "convert", "-f", "utf-8", "-t", "utf-16le", u8, out]),
            ("from-utf16le", floor(u16, n8), peer("from-utf16le", u16),
             [cli, "convert", "-f", "utf-16le", "-t", "utf-8", u16, out]),
            ("validate", floor(u8, 0), peer("validate", u8), [cli, "validate", u8]),
        ]
        print(f"{'job':14} {'floor s':>8} {'peer s':>8} {'xrkit s':>8} "
              f"{'x floor':>8} {'x peer':>8} {'RSS MB':>7}")
        for name, f, p, x in jobs:
            tf, _ = run(f, a.runs)
            tp, _ = run(p, a.runs)
            tx, rss = run(x, a.runs)
            print(f"{name:14} {tf:8.3f} {tp:8.3f} {tx:8.3f} {tx / tf:8.2f} {tx / tp:8.2f} "
                  f"{rss:7.1f}")
    finally:
        shutil.rmtree(tmp)


if __name__ == "__main__":
    main()
