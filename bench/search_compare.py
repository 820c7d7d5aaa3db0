#!/usr/bin/python3
"""Design searches compared at the same budget, over several public tables and seeds.

Usage: bench/search_compare.py [--build BUILD] [--seeds N] [--out DIR]

The tables are the example ARFF files of Debian's `weka` package, read at run time and never
kept in the repository. The script looks for them under $WEKA_EXAMPLES, then under
/usr/share/doc/weka/examples; failing both it fetches the package without installing it:

    apt-get download weka && dpkg -x weka_*.deb weka-root

and reads weka-root/usr/share/doc/weka/examples. Tables used: glass, ionosphere, diabetes (the
Pima table) and cpu (a regression), plus glass and cpu with five added columns of pure noise.
Each table's rows are split at random per seed into TRAIN (70 %) and TEST rows; see
bench/search_compare.cpp for the protocol. Prints a Markdown table; the raw lines go to
DIR/results.tsv.
"""
import argparse
import csv
import glob
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile

TABLES = [  # (name, ARFF file, output column, noise columns added)
    ("glass", "glass", "Type", 0),
    ("glass+noise", "glass", "Type", 5),
    ("ionosphere", "ionosphere", "class", 0),
    ("pima", "diabetes", "class", 0),
    ("cpu", "cpu", "class", 0),
    ("cpu+noise", "cpu", "class", 5),
]

# Every method gets 40 networks x 300 epochs (12 000 epochs).
METHODS = [
    ("random", ["--method", "random"]),
    ("random+drop", ["--method", "random+drop"]),
    ("halving", ["--method", "halving"]),
    ("breed 8x5 c1 m0.2", ["--method", "breed", "--population", "8", "--generations", "5"]),
    ("breed 20x2 c1 m0.2", ["--method", "breed", "--population", "20", "--generations", "2"]),
    ("breed 10x4 c10 m0.5", ["--method", "breed", "--population", "10", "--generations", "4",
                             "--crossover", "10", "--mutation", "0.5"]),
    ("breed 10x4 m1.0", ["--method", "breed", "--population", "10", "--generations", "4",
                         "--mutation", "1.0"]),
    ("breed 5x8 replace-worst", ["--method", "breed", "--population", "5", "--generations", "8",
                                 "--breed", "2", "--crossover", "5", "--mutation", "0.5"]),
    ("breed 10x4 fresh", ["--method", "breed", "--population", "10", "--generations", "4",
                          "--breed", "3"]),
    ("breed 10x4 c5 m0.5 incl0.5", ["--method", "breed", "--population", "10", "--generations",
                                    "4", "--crossover", "5", "--mutation", "0.5",
                                    "--inclusion", "0.5"]),
    ("breed 16x5 150 epochs", ["--method", "breed", "--population", "16", "--generations", "5",
                               "--schema-epochs", "150"]),
    ("train defaults", ["--method", "defaults"]),
]


def find_examples(workdir):
    for d in [os.environ.get("WEKA_EXAMPLES", ""), "/usr/share/doc/weka/examples"]:
        if d and os.path.exists(os.path.join(d, "glass.arff")):
            return d
    subprocess.run(["apt-get", "download", "weka"], cwd=workdir, check=True)
    deb = glob.glob(os.path.join(workdir, "weka_*.deb"))[0]
    subprocess.run(["dpkg", "-x", deb, os.path.join(workdir, "weka-root")], check=True)
    return os.path.join(workdir, "weka-root/usr/share/doc/weka/examples")


def read_arff(path):
    names, rows, data = [], [], False
    for line in open(path, encoding="latin-1"):
        line = line.strip()
        if not line or line.startswith("%"):
            continue
        low = line.lower()
        if low.startswith("@attribute"):
            names.append(line.split()[1].strip("'\""))
        elif low.startswith("@data"):
            data = True
        elif data:
            values = [v.strip().strip("'\"") for v in line.split(",")]
            if "?" not in values:
                rows.append(values)
    return names, rows


def short_symbols(rows, column):
    """Class words as the sheet's symbols: letters and digits, at most 15."""
    values = [r[column] for r in rows]
    try:
        [float(v) for v in values]
        return
    except ValueError:
        pass
    words = sorted(set(values))
    short = {w: re.sub("[^A-Za-z0-9]", "", w).upper()[:15] for w in words}
    if len(set(short.values())) < len(words) or "" in short.values():
        short = {w: "K%d" % k for k, w in enumerate(words)}
    for r in rows:
        r[column] = short[r[column]]


def write_table(examples, arff, output, noise, path):
    names, rows = read_arff(os.path.join(examples, arff + ".arff"))
    short_symbols(rows, names.index(output))
    draw = random.Random(1432)
    out = names.index(output)
    header = names[:out] + ["noise%d" % k for k in range(1, noise + 1)] + names[out:]
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(header)
        for r in rows:
            w.writerow(r[:out] + ["%.4f" % draw.random() for _ in range(noise)] + r[out:])


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", default="build")
    p.add_argument("--seeds", default="10")
    p.add_argument("--out", default=None)
    p.add_argument("--methods", help="only these methods (labels, comma-separated)")
    p.add_argument("--summarise", metavar="TSV", help="only summarise an earlier results.tsv")
    args = p.parse_args()
    if args.summarise:
        summarise([l.rstrip("\n").split("\t") for l in open(args.summarise) if l.strip()])
        return
    tool = os.path.join(args.build, "bench", "search_compare")
    work = args.out or tempfile.mkdtemp(prefix="search_compare.")
    os.makedirs(work, exist_ok=True)
    examples = find_examples(work)
    lines = []
    for name, arff, output, noise in TABLES:
        sheet = os.path.join(work, name + ".csv")
        write_table(examples, arff, output, noise, sheet)
        for label, options in METHODS:
            if args.methods and label not in args.methods.split(","):
                continue
            run = subprocess.run([tool, sheet, "--output", output, "--seeds", args.seeds] +
                                 options, capture_output=True, text=True, check=True)
            for line in run.stdout.split("\n"):
                if line:
                    lines.append([name, label] + line.split("\t"))
            print(name, label, file=sys.stderr)
    write_results(work, lines)


def write_results(work, lines):
    with open(os.path.join(work, "results.tsv"), "w") as f:
        for line in lines:
            f.write("\t".join(line) + "\n")
    summarise(lines)


def summarise(lines):
    """Two tables, methods by data table: how often a method's winner beat random search's
    winner on the validation rows and on the TEST rows, and its mean TEST figure."""
    by = {}
    for t, label, _m, seed, val, test, kept, noise, *_ in lines:
        by.setdefault((t, label), {})[int(seed)] = (float(val), float(test), int(kept),
                                                    int(noise))
    tables = [t for t, *_ in TABLES if (t, "random") in by]
    methods = [m for m in METHODS if all((t, m[0]) in by for t in tables)]
    head = "| method | " + " | ".join(tables) + " |\n|---|" + "---|" * len(tables)
    print("Seeds where the winner beat random search's: on validation error / on TEST figure\n")
    print(head)
    for label, _ in methods:
        cells = []
        for t in tables:
            runs, rand = by[(t, label)], by[(t, "random")]
            better = (lambda a, b: a < b) if t.startswith("cpu") else (lambda a, b: a > b)
            wins_val = sum(runs[s][0] < rand[s][0] for s in runs)
            wins_test = sum(better(runs[s][1], rand[s][1]) for s in runs)
            cells.append("-" if label == "random" else "%d / %d" % (wins_val, wins_test))
        print("| %s | %s |" % (label, " | ".join(cells)))
    print("\nMean TEST figure (accuracy %, or RMSE in data units for cpu); noise columns kept\n")
    print(head)
    for label, _ in methods:
        cells = []
        for t in tables:
            runs = list(by[(t, label)].values())
            test = statistics.mean(r[1] for r in runs)
            cell = "%.1f" % (test if t.startswith("cpu") else 100 * test)
            if "noise" in t:
                cell += " (%.1f of 5)" % statistics.mean(r[3] for r in runs)
            cells.append(cell)
        print("| %s | %s |" % (label, " | ".join(cells)))


if __name__ == "__main__":
    main()
