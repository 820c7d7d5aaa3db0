#!/usr/bin/python3
"""Compares quarrow's training defaults with tuned scikit-learn networks and linear models.

Every model sees the same CSV sheets that bench/measure_defaults.py writes (same seeded 70/30
TRAIN/TEST split, same filled-in gaps, same symbols), plus credit-g. For each table and seed:

  quarrow   `quarrow train` with no setting changed
  MLP       MLPClassifier / MLPRegressor, its hidden size, alpha and initial learning rate
            chosen by a 3-fold cross-validated grid on the TRAIN rows only
  linear    LogisticRegression / Ridge with their own defaults

Inputs are standardised, symbolic inputs one-hot coded; the regression target is standardised
for the MLP and scaled back. The figure is test accuracy in % (higher is better) or, for cpu,
test RMSE in data units (lower is better), the mean over the seeds.

Needs Debian's python3-sklearn and the weka tables (see bench/measure_defaults.py):

    bench/compare_peers.py build/tools/quarrow/quarrow [DATA_DIR] [--quick]
"""
import os

# one core: the machine is shared, and threads would not make the figures any different
for var in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[var] = "1"

import csv  # noqa: E402
import sys  # noqa: E402
import tempfile  # noqa: E402
import time  # noqa: E402
import warnings  # noqa: E402

import numpy as np  # noqa: E402
from sklearn.compose import ColumnTransformer, TransformedTargetRegressor  # noqa: E402
from sklearn.exceptions import ConvergenceWarning  # noqa: E402
from sklearn.linear_model import LogisticRegression, Ridge  # noqa: E402
from sklearn.model_selection import GridSearchCV, KFold, StratifiedKFold  # noqa: E402
from sklearn.neural_network import MLPClassifier, MLPRegressor  # noqa: E402
from sklearn.pipeline import Pipeline  # noqa: E402
from sklearn.preprocessing import OneHotEncoder, StandardScaler  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure_defaults  # noqa: E402

TABLES = measure_defaults.TABLES + [("credit-g", "credit-g.arff", None)]
SEEDS = [1, 2, 3]
GRID = {
    "hidden_layer_sizes": [(16,), (64,)],
    "alpha": [1e-4, 1e-2, 1.0, 10.0],
    "learning_rate_init": [1e-3, 1e-2],
}


def read_sheet(path):
    """The sheet's inputs, which of them are symbolic, its output and its modes."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))[1:]
    inputs = [r[:-2] for r in rows]
    symbolic = []
    for c in range(len(inputs[0])):
        try:
            for r in inputs:
                float(r[c])
            symbolic.append(False)
        except ValueError:
            symbolic.append(True)
    x = np.array([[v if symbolic[c] else float(v) for c, v in enumerate(r)] for r in inputs],
                 dtype=object)
    return x, symbolic, np.array([r[-2] for r in rows]), np.array([r[-1] for r in rows])


def preprocess(symbolic):
    numeric = [c for c, s in enumerate(symbolic) if not s]
    coded = [c for c, s in enumerate(symbolic) if s]
    return ColumnTransformer([("numeric", StandardScaler(), numeric),
                              ("symbolic", OneHotEncoder(handle_unknown="ignore"), coded)])


def fit_peers(sheet, classify, seed):
    """Test figures of the tuned MLP and of the linear model, and the MLP's chosen settings."""
    x, symbolic, y, modes = read_sheet(sheet)
    train, test = modes == "TRAIN", modes == "TEST"
    grid = {"mlp__" + k: v for k, v in GRID.items()}
    if classify:
        mlp = Pipeline([("in", preprocess(symbolic)),
                        ("mlp", MLPClassifier(max_iter=2000, random_state=seed))])
        folds = StratifiedKFold(3, shuffle=True, random_state=seed)
        search = GridSearchCV(mlp, grid, cv=folds, scoring="accuracy")
        linear = Pipeline([("in", preprocess(symbolic)), ("lr", LogisticRegression(max_iter=5000))])
    else:
        y = y.astype(float)
        mlp = Pipeline([("in", preprocess(symbolic)),
                        ("mlp", MLPRegressor(max_iter=2000, random_state=seed))])
        grid = {"regressor__" + k: v for k, v in grid.items()}
        folds = KFold(3, shuffle=True, random_state=seed)
        search = GridSearchCV(TransformedTargetRegressor(mlp, transformer=StandardScaler()),
                              grid, cv=folds, scoring="neg_root_mean_squared_error")
        linear = Pipeline([("in", preprocess(symbolic)), ("ridge", Ridge())])
    figures = []
    for model in (search, linear):
        model.fit(x[train], y[train])
        guess = model.predict(x[test])
        if classify:
            figures.append(100 * np.mean(guess == y[test]))
        else:
            figures.append(float(np.sqrt(np.mean((guess - y[test]) ** 2))))
    chosen = {k.split("__")[-1]: v for k, v in search.best_params_.items()}
    return figures, chosen


def main():
    quarrow = sys.argv[1]
    data_dir = next((a for a in sys.argv[2:] if not a.startswith("--")), "/work/data/weka")
    seeds = SEEDS[:1] if "--quick" in sys.argv else SEEDS
    warnings.filterwarnings("ignore", category=ConvergenceWarning)
    measure_defaults.TABLES = TABLES  # prepare() converts every table in this list
    names = [t[0] for t in TABLES]
    results = {name: [] for name in names}
    classifies = {}
    started = time.time()
    with tempfile.TemporaryDirectory() as work:
        for seed in seeds:
            for sheet in measure_defaults.prepare(data_dir, work, seed):
                name, path, classify = sheet[0], sheet[1], sheet[5]
                ours, _ = measure_defaults.run(quarrow, sheet, {}, seed, work)
                (mlp, linear), chosen = fit_peers(path, classify, seed)
                results[name].append((ours, mlp, linear))
                classifies[name] = classify
                print("seed %d %-10s quarrow %6.1f  MLP %6.1f  linear %6.1f  MLP chose %s" %
                      (seed, name, ours, mlp, linear, chosen), file=sys.stderr, flush=True)
    print("\n| table | figure | quarrow defaults | tuned MLP | linear |")
    print("|---|---|---|---|---|")
    for name in names:
        means = np.mean(results[name], axis=0)
        unit = "test accuracy %" if classifies[name] else "test RMSE"
        print("| %s | %s | %.1f | %.1f | %.1f |" % (name, unit, *means))
    print("\n%d seeds, %.0f s" % (len(seeds), time.time() - started))


if __name__ == "__main__":
    main()
