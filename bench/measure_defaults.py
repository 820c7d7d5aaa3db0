#!/usr/bin/python3
"""Measures quarrow's training defaults on public tables that are never used for acceptance.

The tables come from Debian's weka package, read at run time and never committed:

    apt-get download weka && dpkg -x weka_*.deb /work/data/weka

Each table is converted from ARFF to a CSV sheet with a mode column (a seeded 70/30 split
into TRAIN and TEST rows, unless the table comes with its own test file). Every setting is
compared with the baseline by changing that one setting; the figure is the test accuracy in %
(classification; higher is better) or the test RMSE in data units (cpu, a regression; lower is
better), averaged over the seeds.

    bench/measure_defaults.py build/tools/quarrow/quarrow [DATA_DIR] [--quick] [--round=N]
"""
import csv
import json
import os
import random
import re
import subprocess
import sys
import tempfile

EXAMPLES = "usr/share/doc/weka/examples"
# (name, arff file, its own test file or None, class attribute kind)
TABLES = [
    ("glass", "glass.arff", None),
    ("ionosphere", "ionosphere.arff", None),
    ("pima", "diabetes.arff", None),
    ("vote", "vote.arff", None),
    ("segment", "segment-challenge.arff", "segment-test.arff"),
    ("cpu", "cpu.arff", None),
]
# Round 1 changes one setting at a time from a first guess; round 2 starts from the winners of
# round 1 (hidden 16, momentum 0.9) and checks the settings whose round-1 answer was mixed.
ROUNDS = [
    ({"--hidden": "8", "--rate": "0.3", "--momentum": "0.8", "--encoding": "one-hot",
      "--validate": "0.2", "--patience": "300", "--epochs": "3000"},
     [("baseline", {}),
      ("coded output", {"--encoding": "coded"}),
      ("hidden 4", {"--hidden": "4"}),
      ("hidden 16", {"--hidden": "16"}),
      ("rate 0.1", {"--rate": "0.1"}),
      ("rate 0.5", {"--rate": "0.5"}),
      ("momentum 0.5", {"--momentum": "0.5"}),
      ("momentum 0.9", {"--momentum": "0.9"}),
      ("patience 100", {"--patience": "100"}),
      ("patience 1000", {"--patience": "1000"}),
      ("validate 0.3", {"--validate": "0.3"}),
      ("no validation, 500 epochs", {"--validate": "0", "--epochs": "500"})]),
    ({"--hidden": "16", "--rate": "0.3", "--momentum": "0.9", "--encoding": "one-hot",
      "--validate": "0.2", "--patience": "300", "--epochs": "3000"},
     [("baseline", {}),
      ("hidden 32", {"--hidden": "32"}),
      ("rate 0.1", {"--rate": "0.1"}),
      ("patience 1000", {"--patience": "1000"}),
      ("validate 0.1", {"--validate": "0.1"}),
      ("no validation, 500 epochs", {"--validate": "0", "--epochs": "500"}),
      ("no validation, 1500 epochs", {"--validate": "0", "--epochs": "1500"})]),
]
SEEDS = [1, 2]


def read_arff(path):
    names, kinds, rows = [], [], []
    in_data = False
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("%"):
                continue
            if in_data:
                rows.append(next(csv.reader([line], quotechar="'", skipinitialspace=True)))
                continue
            low = line.lower()
            if low.startswith("@attribute"):
                m = re.match(r"@attribute\s+('[^']*'|\"[^\"]*\"|\S+)\s+(.*)", line, re.I)
                names.append(m.group(1).strip("'\""))
                kinds.append("nominal" if m.group(2).strip().startswith("{") else "numeric")
            elif low.startswith("@data"):
                in_data = True
    return names, kinds, rows


def short_symbols(values):
    """Symbols of at most 15 characters without commas or leading blanks, one per value."""
    mapping, used = {}, set()
    for v in sorted(set(values)):
        s = re.sub(r"[^A-Za-z0-9<>=_./+-]", "_", v)[:13] or "_"
        base, k = s, 1
        while s.upper() in used:
            s = (base[:11] + "_" + str(k))
            k += 1
        used.add(s.upper())
        mapping[v] = s
    return mapping


def write_sheet(path, names, kinds, rows, modes):
    maps = [short_symbols([r[c] for r in rows]) if kinds[c] == "nominal" else None
            for c in range(len(names))]
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        names = [re.sub(r"[^A-Za-z0-9_]", "_", n) for n in names]
        w.writerow(names + ["mode"])
        for r, mode in zip(rows, modes):
            cells = []
            for c, v in enumerate(r):
                if v == "?":
                    # a missing number becomes the column's middle; a missing class its own class
                    cells.append("?" if maps[c] else "")
                else:
                    cells.append(maps[c][v] if maps[c] else v)
            w.writerow(cells + [mode])
    return names


def fill_missing(names, kinds, rows):
    for c in range(len(names)):
        if kinds[c] != "numeric":
            continue
        vals = sorted(float(r[c]) for r in rows if r[c] != "?")
        mid = vals[len(vals) // 2]
        for r in rows:
            if r[c] == "?":
                r[c] = repr(mid)


def prepare(data_dir, work, seed):
    sheets = []
    for name, train_file, test_file in TABLES:
        names, kinds, rows = read_arff(os.path.join(data_dir, EXAMPLES, train_file))
        if test_file:
            _, _, test_rows = read_arff(os.path.join(data_dir, EXAMPLES, test_file))
            modes = ["TRAIN"] * len(rows) + ["TEST"] * len(test_rows)
            rows = rows + test_rows
        else:
            rng = random.Random(seed * 1000 + len(rows))
            modes = ["TRAIN" if rng.random() < 0.7 else "TEST" for _ in rows]
        fill_missing(names, kinds, rows)
        path = os.path.join(work, "%s_%d.csv" % (name, seed))
        names = write_sheet(path, names, kinds, rows, modes)
        sheets.append((name, path, "%s:%s" % (names[0], names[-2]), names[-1], "mode",
                       kinds[-1] == "nominal"))
    return sheets


def run(quarrow, sheet, settings, seed, work):
    name, path, inputs, output, mode, symbolic = sheet
    metrics = os.path.join(work, "m.json")
    args = [quarrow, "train", path, "--inputs", inputs, "--outputs", output, "--mode", mode,
            "--seed", str(seed), "--quiet", "--metrics", metrics]
    for k, v in settings.items():
        args += [k, v]
    p = subprocess.run(args, capture_output=True, text=True)
    if p.returncode != 0:
        return None, p.stderr.strip()
    with open(metrics) as f:
        m = json.load(f)
    test = [s for s in m["sets"] if s["set"] == "test"][0]["outputs"][0]
    return (test["accuracy"] * 100 if symbolic else test["rmse"]), m["epochsRun"]


def main():
    quarrow = sys.argv[1]
    data_dir = next((a for a in sys.argv[2:] if not a.startswith("--")), "/work/data/weka")
    quick = "--quick" in sys.argv
    seeds = SEEDS[:1] if quick else SEEDS
    with tempfile.TemporaryDirectory() as work:
        sheets = {seed: prepare(data_dir, work, seed) for seed in seeds}
        table_names = [t[0] for t in TABLES]
        rounds = [int(a.split("=")[1]) for a in sys.argv if a.startswith("--round=")]
        for number, (baseline, variants) in enumerate(ROUNDS, 1):
            if rounds and number not in rounds:
                continue
            print("\nRound %d: %s" % (number, " ".join("%s %s" % kv for kv in baseline.items())))
            print("| setting | " + " | ".join(table_names) + " |")
            print("|---" * (len(table_names) + 1) + "|")
            for label, change in variants:
                settings = dict(baseline)
                settings.update(change)
                cells = []
                for i, table in enumerate(table_names):
                    vals = []
                    for seed in seeds:
                        v, _ = run(quarrow, sheets[seed][i], settings, seed, work)
                        if v is not None:
                            vals.append(v)
                    cells.append("%.1f" % (sum(vals) / len(vals)) if vals else "fails")
                print("| %s | %s |" % (label, " | ".join(cells)), flush=True)


if __name__ == "__main__":
    main()
