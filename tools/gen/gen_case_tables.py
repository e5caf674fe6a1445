#!/usr/bin/env python3
"""Generates src/xrmk/skztbl.cpp, the case tables of the library.

Inputs, committed beside this script:
  case_mappings.txt    the table upper/lower mappings (both ways and one way)
  ucd10_case_pairs.txt the edges of the Unicode 10.0 case classes below U+10000

Outputs the exported upper/lower tables (a block index shared by both shift tables,
signed byte deltas, pair lists for the deltas beyond -127..127) and the internal
min/max tables (32-bit deltas to the smallest/largest member of each case class).
The layout is checked as it is built; a failed check stops the script.

Usage: gen_case_tables.py [--output FILE]   (default: src/xrmk/skztbl.cpp)
Standard library only; no network.
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PLANE = 0x10000
BLOCK = 128
NBLOCKS = PLANE // BLOCK
SHARP_S, CAPITAL_SHARP_S = 0x00DF, 0x1E9E


def data_lines(name):
    with open(os.path.join(HERE, name), encoding="ascii") as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line:
                yield line


def code_range(text, step):
    first, _, last = text.partition("-")
    first = int(first, 16)
    last = int(last, 16) if last else first
    return list(range(first, last + 1, step))


def read_mappings():
    up, down = {}, {}
    for fields in data_lines("case_mappings.txt"):
        kind, src, dst = fields[:3]
        step = int(fields[3]) if len(fields) > 3 else 1
        a, b = code_range(src, step), code_range(dst, step)
        if len(a) != len(b):
            sys.exit(f"case_mappings.txt: ranges differ in length: {' '.join(fields)}")
        for x, y in zip(a, b):
            if kind == "both":
                put(up, y, x)
                put(down, x, y)
            elif kind == "up":
                put(up, x, y)
            elif kind == "down":
                put(down, x, y)
            else:
                sys.exit(f"case_mappings.txt: unknown kind {kind}")
    return up, down


def put(table, key, value):
    if key in table and table[key] != value:
        sys.exit(f"conflicting mappings for U+{key:04X}")
    table[key] = value


def case_classes():
    parent = list(range(PLANE))

    def find(x):
        while parent[x] != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    for a, b in data_lines("ucd10_case_pairs.txt"):
        ra, rb = find(int(a, 16)), find(int(b, 16))
        if ra != rb:
            parent[max(ra, rb)] = min(ra, rb)
    classes = {}
    for c in range(PLANE):
        classes.setdefault(find(c), []).append(c)
    return [m for m in classes.values() if len(m) > 1]


def shift_tables(up, down):
    blocks = sorted({c // BLOCK for c in list(up) + list(down)})
    meta = [-1] * NBLOCKS
    upshift, downshift, upaux, downaux = [], [], [], []
    for i, b in enumerate(blocks):
        meta[b] = i * BLOCK
        for c in range(b * BLOCK, (b + 1) * BLOCK):
            upshift.append(delta_or_escape(c, up.get(c, c), upaux))
            downshift.append(delta_or_escape(c, down.get(c, c), downaux))
    check_pair_list(upaux)
    check_pair_list(downaux)
    return blocks, meta, upshift, downshift, upaux, downaux


def delta_or_escape(c, mapped, aux):
    delta = mapped - c
    if -127 <= delta <= 127:
        return delta
    aux.append((c, mapped))
    return -128


def check_pair_list(aux):
    # The lookup walks on with the replaced value, so the first match must decide.
    firsts = [a for a, _ in aux]
    for i, (_, b) in enumerate(aux):
        if b in firsts[i + 1:]:
            sys.exit(f"pair list: U+{b:04X} is replaced again later")


def minmax_tables(classes, pick, overrides):
    target = {}
    for members in classes:
        for c in members:
            target[c] = pick(members)
    target.update(overrides)
    blocks = sorted({c // BLOCK for c, t in target.items() if t != c})
    meta = [-1] * NBLOCKS
    shift = []
    for i, b in enumerate(blocks):
        meta[b] = i * BLOCK
        shift.extend(target.get(c, c) - c for c in range(b * BLOCK, (b + 1) * BLOCK))
    return blocks, meta, shift


def expect(what, got, want):
    if got != want:
        sys.exit(f"{what}: {got}, expected {want}")


def rows(values, per_line, width, block_names=None):
    out = []
    for i in range(0, len(values), per_line):
        if block_names and i % BLOCK == 0:
            out.append(f"    // U+{block_names[i // BLOCK] * BLOCK:04X}")
        out.append("    " + " ".join(f"{v},".rjust(width) for v in values[i:i + per_line]).rstrip())
    return "\n".join(out)


def pair_rows(aux):
    body = "\n".join(f"    0x{a:04X}, 0x{b:04X}," for a, b in aux)
    return body + "\n    0,"


def render(case, minimum, maximum, inputs):
    blocks, meta, upshift, downshift, upaux, downaux = case
    min_blocks, min_meta, min_shift = minimum
    max_blocks, max_meta, max_shift = maximum
    return f"""\
// Generated by tools/gen/gen_case_tables.py from {' and '.join(inputs)}; do not edit.
// clang-format off
#include "internal/skztbl.h"

extern "C" {{

const int16_t skz_metatable[{len(meta)}] = {{
{rows(meta, 16, 6)}
}};

const int8_t skz_upshift[{len(upshift)}] = {{
{rows(upshift, 16, 5, blocks)}
}};

const int8_t skz_downshift[{len(downshift)}] = {{
{rows(downshift, 16, 5, blocks)}
}};

const XRChar skz_upaux[{2 * len(upaux) + 1}] = {{
{pair_rows(upaux)}
}};

const XRChar skz_downaux[{2 * len(downaux) + 1}] = {{
{pair_rows(downaux)}
}};

}} // extern "C"

namespace xrkit::casetab {{

const int32_t skz_min_meta[{len(min_meta)}] = {{
{rows(min_meta, 16, 6)}
}};

const int32_t skz_minshift[{len(min_shift)}] = {{
{rows(min_shift, 16, 7, min_blocks)}
}};

const int32_t skz_max_meta[{len(max_meta)}] = {{
{rows(max_meta, 16, 6)}
}};

const int32_t skz_maxshift[{len(max_shift)}] = {{
{rows(max_shift, 16, 7, max_blocks)}
}};

}} // namespace xrkit::casetab
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=os.path.join(ROOT, "src", "xrmk", "skztbl.cpp"))
    args = parser.parse_args()

    up, down = read_mappings()
    case = shift_tables(up, down)
    expect("upper/lower blocks", len(case[0]), 19)
    expect("upper pairs", len(case[4]), 20)
    expect("lower pairs", len(case[5]), 19)

    classes = case_classes()
    expect("classes of three or more", sum(len(m) >= 3 for m in classes), 28)
    minimum = minmax_tables(classes, min, {})
    # The capital sharp s folds to U+00DF, but U+00DF keeps itself as its largest form.
    maximum = minmax_tables(classes, max, {SHARP_S: SHARP_S})
    expect("min blocks", len(minimum[0]), 31)
    expect("max blocks", len(maximum[0]), 29)
    expect("min of U+1E9E", CAPITAL_SHARP_S + minimum[2][minimum[1][CAPITAL_SHARP_S // BLOCK]
                                                         + CAPITAL_SHARP_S % BLOCK], SHARP_S)

    inputs = ["tools/gen/case_mappings.txt", "tools/gen/ucd10_case_pairs.txt"]
    text = render(case, minimum, maximum, inputs)
    with open(args.output, "w", encoding="ascii", newline="\n") as f:
        f.write(text)


if __name__ == "__main__":
    main()
