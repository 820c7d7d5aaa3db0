#!/usr/bin/env python3
"""Writes the example worksheets: a classification of trees (with a symbolic input and a
symbolic output) and the flight distance of a thrown ball (numbers, with MIN and MAX rows).
The values are drawn from a fixed seed, so the files come out the same every time."""
import math
import random
import sys
from pathlib import Path

KINDS = {
    # kind: (leaf length, leaf width, height) ranges and how often each bark shows
    "oak": ((8.0, 14.0), (5.0, 8.0), (15.0, 25.0), {"rough": 0.8, "flaky": 0.2}),
    "birch": ((4.0, 8.0), (3.0, 5.5), (10.0, 20.0), {"smooth": 0.7, "flaky": 0.3}),
    "maple": ((7.0, 12.0), (8.0, 13.0), (12.0, 22.0), {"smooth": 0.5, "rough": 0.5}),
}


def tree(rng, kind):
    length, width, height, barks = KINDS[kind]
    pick, bark = rng.random(), None
    for name, share in barks.items():
        bark = name
        pick -= share
        if pick < 0:
            break
    return [f"{rng.uniform(*length):.1f}", f"{rng.uniform(*width):.1f}", bark,
            f"{rng.uniform(*height):.0f}"]


def trees(rng, rows, with_kind):
    lines = ["leaf_length,leaf_width,bark,height" + (",kind,mode" if with_kind else "")]
    kinds = list(KINDS)
    for i in range(rows):
        kind = rng.choice(kinds)
        cells = tree(rng, kind)
        if with_kind:
            cells += [kind, "TEST" if i % 5 == 4 else "TRAIN"]
        lines.append(",".join(cells))
        if with_kind and i in (30, 61):
            lines.append(",,,,,")  # a blank row, as a person leaves between blocks
    return "\n".join(lines) + "\n"


def distance(speed, angle):
    return speed * speed * math.sin(math.radians(2 * angle)) / 9.81


def throws(rng, rows, with_distance):
    lines = ["speed,angle,distance,mode" if with_distance else "speed,angle"]
    if with_distance:
        lines.append("0,0,0,MIN")
        lines.append("45,90,210,MAX")
    for i in range(rows):
        speed, angle = rng.uniform(10.0, 40.0), rng.uniform(10.0, 80.0)
        if with_distance:
            d = distance(speed, angle) * (1.0 + rng.uniform(-0.02, 0.02))
            mode = "TEST" if i % 4 == 3 else "TRAIN"
            lines.append(f"{speed:.1f},{angle:.1f},{d:.1f},{mode}")
        else:
            lines.append(f"{speed:.1f},{angle:.1f}")
    return "\n".join(lines) + "\n"


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent / "sheets"
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(1432)
    (out / "trees.csv").write_text(trees(rng, 90, True))
    (out / "trees_new.csv").write_text(trees(rng, 12, False))
    (out / "throws.csv").write_text(throws(rng, 120, True))
    (out / "throws_new.csv").write_text(throws(rng, 10, False))


if __name__ == "__main__":
    main()
