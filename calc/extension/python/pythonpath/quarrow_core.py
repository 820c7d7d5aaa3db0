"""The Calc extension's logic that needs no office: cells to CSV, the host's command line, the
host's figures to sheet rows, and running the host with progress and cancellation.

Cells are given as Calc hands them over in bulk: a float for a number, a str for a text, '' for
an empty cell. Rows written back use the same three kinds."""

import json
import math
import os
import queue
import re
import shutil
import subprocess
import threading
import time

FIGURES_SHEET = "Quarrow figures"
FLAG_HEADER = "outside trained range"


class HostError(Exception):
    """The host refused or failed; the text is the host's own message."""


# --- cells to CSV -------------------------------------------------------------------------------


def csv_field(value):
    """One cell as a CSV field the host reads back to the same cell."""
    if isinstance(value, bool):
        value = float(value)
    if isinstance(value, (int, float)):
        v = float(value)
        if math.isfinite(v) and v == math.floor(v) and abs(v) < 1e15:
            return str(int(v))
        return repr(v)
    text = str(value)
    # The host trims unquoted fields, so blanks at either end need quotes too.
    if text != text.strip() or any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


_NUMBER = re.compile(r"^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$")


def text_number_columns(rows):
    """Names of the columns whose cells are all texts, some of which read as numbers ("01",
    "2"). A CSV field cannot say it is a text, so these are declared symbolic: the sheet holds
    them as texts, and a column of texts is a column of classes."""
    names = []
    for c, name in enumerate(rows[0] if rows else []):
        cells = [r[c] for r in rows[1:] if c < len(r) and r[c] != ""]
        if (isinstance(name, str) and name and "," not in name and cells
                and all(isinstance(v, str) for v in cells)
                and any(_NUMBER.match(v.strip()) for v in cells)):
            names.append(name)
    return names


def with_text_columns(settings, rows):
    """The settings with the text columns that look like numbers added to --symbolic."""
    extra = text_number_columns(rows)
    if not extra:
        return settings
    given = [n for n in str(settings.get("symbolic") or "").split(",") if n.strip()]
    return dict(settings, symbolic=",".join(given + [n for n in extra if n not in given]))


def range_csv(rows):
    """The rows of a range (first row the column names) as CSV text."""
    return "".join(",".join(csv_field(v) for v in row) + "\n" for row in rows)


# --- the host's command line --------------------------------------------------------------------

# Options of train and evolve the dialog offers, in the order they are shown.
TRAIN_OPTIONS = ["hidden", "method", "epochs", "rate", "momentum", "noise", "tolerance",
                 "transfer", "seed", "validate", "patience", "encoding"]
EVOLVE_OPTIONS = ["population", "generations", "epochs", "score", "seed"]
# "--rate FLOAT:FLOAT in [0 - 1]=0.3": the type holds single blanks, two end it.
_HELP_DEFAULT = re.compile(r"^\s+(?:-\w,)?--([\w-]+) (?:\S| (?! ))*?=(\S+)")


def host_defaults(help_text):
    """The defaults `quarrow COMMAND --help` shows, by option name."""
    found = {}
    for line in help_text.splitlines():
        m = _HELP_DEFAULT.match(line)
        if m:
            found[m.group(1)] = m.group(2)
    return found


def host_options(help_text):
    """Every long option `quarrow COMMAND --help` names."""
    return set(re.findall(r"--([a-z][\w-]*)", help_text))


def build_command(quarrow, command, sheet, settings, files):
    """The argument vector of one host run.

    settings: option name -> value; '' or None leaves the host's default, True is a flag and
    False leaves it off. files: option name -> path (out, metrics, save, net, report)."""
    argv = [quarrow, command, sheet]
    for name, value in list(settings.items()) + list(files.items()):
        if value is None or value is False or str(value).strip() == "":
            continue
        if value is True:
            argv.append("--" + name)
        else:
            argv += ["--" + name, str(value).strip()]
    return argv


def find_quarrow(configured="", extension_dir=""):
    """The host program: the configured one, one inside the extension, or one on PATH."""
    if configured:
        return configured if os.access(configured, os.X_OK) else ""
    if extension_dir:
        inside = os.path.join(extension_dir, "bin", "quarrow")
        if os.path.isfile(inside) and not os.access(inside, os.X_OK):
            try:  # unpacking the extension drops the program's execute bit
                os.chmod(inside, os.stat(inside).st_mode | 0o111)
            except OSError:
                pass
        if os.access(inside, os.X_OK):
            return inside
    return shutil.which("quarrow") or ""


# --- running the host ---------------------------------------------------------------------------


def run_host(argv, on_line=None, cancelled=None, timeout=3600.0, poll=0.1):
    """Runs the host; each line of its standard output goes to on_line as it comes.

    cancelled() is asked every poll seconds; when it answers True, or the run outlasts
    timeout, the process is killed. Returns (exit code or None when killed, stdout, stderr)."""
    lines = queue.Queue()
    err_parts = []
    out_parts = []
    killed = False
    with subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, text=True, errors="replace") as proc:

        def pump_out():
            for line in proc.stdout:
                lines.put(line)

        def pump_err():
            err_parts.append(proc.stderr.read())

        readers = [threading.Thread(target=pump_out, daemon=True),
                   threading.Thread(target=pump_err, daemon=True)]
        for t in readers:
            t.start()
        deadline = time.monotonic() + timeout

        def drain():
            while True:
                try:
                    line = lines.get_nowait()
                except queue.Empty:
                    return
                out_parts.append(line)
                if on_line:
                    on_line(line.rstrip("\n"))

        while proc.poll() is None:
            drain()
            if (cancelled and cancelled()) or time.monotonic() > deadline:
                proc.kill()
                killed = True
                break
            time.sleep(poll)
        proc.wait()
        for t in readers:
            t.join(5)
        drain()
    return (None if killed else proc.returncode), "".join(out_parts), "".join(err_parts)


def column_letters(index):
    """0 -> A, 25 -> Z, 26 -> AA."""
    letters = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        letters = chr(ord("A") + rest) + letters
    return letters


def _column_index(letters):
    index = 0
    for ch in letters:
        index = index * 26 + ord(ch) - ord("A") + 1
    return index - 1


def sheet_message(message, csv_path, sheet_name, first_row, first_column):
    """The host's message about the exported file as the person sees the sheet: the sheet's
    name for the file, and rows and columns counted from the range's top left cell (given
    0-based) rather than from the file's."""
    message = message.replace(csv_path, 'sheet "%s"' % sheet_name)
    message = re.sub(r"\brow (\d+)", lambda m: "row %d" % (int(m.group(1)) + first_row),
                     message)
    return re.sub(r"\bcolumn ([A-Z]{1,3}) \(",
                  lambda m: "column %s (" % column_letters(_column_index(m.group(1)) +
                                                          first_column), message)


def host_failure(code, stderr):
    """The message of a run that did not succeed."""
    if code is None:
        return "The run was cancelled."
    text = stderr.strip()
    return text if text else "quarrow stopped with exit code %d." % code


# --- the host's figures to rows -----------------------------------------------------------------


def _cell(v):
    """A JSON value as a cell: numbers stay numbers, null becomes empty."""
    if v is None:
        return ""
    if isinstance(v, bool):
        return float(v)
    if isinstance(v, (int, float)):
        return float(v)
    return str(v)


def load_figures(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def prediction_rows(figures):
    """The new columns for the sheet: a header row, then one row per data row of the range.

    Symbolic predictions stay texts and numeric ones numbers, as the host reports them; the
    out-of-range flag column is added only when some row is flagged."""
    p = figures["predictions"]
    header = [name + " predicted" for name in p["outputs"]]
    flagged = any(p.get("outOfRange", []))
    if flagged:
        header.append(FLAG_HEADER)
    rows = [header]
    for r, cells in enumerate(p["cells"]):
        row = [_cell(v) for v in cells]
        if flagged:
            row.append("yes" if p["outOfRange"][r] else "")
        rows.append(row)
    return rows


def _pad(rows):
    width = max(len(r) for r in rows)
    return [list(r) + [""] * (width - len(r)) for r in rows]


def figures_rows(figures):
    """The figures sheet's summary block: the run, then per set and output the host's scores,
    and each confusion table (rows the actual class, columns the predicted one)."""
    rows = [["Quarrow " + figures.get("command", "")], ["sheet", figures.get("sheet", "")]]
    trained = figures.get("epochsRun", 0) > 0  # predict reports no training
    for key, label in (("layers", "layers"), ("epochsRun", "epochs run"),
                       ("bestEpoch", "weights kept from epoch"), ("stopRule", "stop rule"),
                       ("trainSeconds", "training seconds")):
        if trained and key in figures:
            v = figures[key]
            rows.append([label, "-".join(str(n) for n in v) if isinstance(v, list) else _cell(v)])
    for name, value in figures.get("settings", {}).items():
        rows.append([name, _cell(value)])
    sets = figures.get("sets", [])
    numeric = [(s["set"], o) for s in sets for o in s["outputs"] if not o["symbolic"]]
    symbolic = [(s["set"], o) for s in sets for o in s["outputs"] if o["symbolic"]]
    if symbolic:
        rows += [[""], ["set", "output", "rows", "accuracy", "balanced accuracy"]]
        for set_name, o in symbolic:
            rows.append([set_name, o["column"], float(o["rows"]), _cell(o["accuracy"]),
                         _cell(o["balancedAccuracy"])])
    if numeric:
        rows += [[""], ["set", "output", "rows", "RMSE", "MAE", "R^2"]]
        for set_name, o in numeric:
            rows.append([set_name, o["column"], float(o["rows"]), _cell(o["rmse"]),
                         _cell(o["mae"]), _cell(o["r2"])])
    for set_name, o in symbolic:
        rows += [[""], ["confusion of %s, %s rows (actual down, predicted across)"
                        % (o["column"], set_name)], [""] + list(o["classes"])]
        for cls, counts in zip(o["classes"], o["confusion"]):
            rows.append([cls] + [float(n) for n in counts])
    for w in figures.get("warnings", []):
        rows += [["warning", w]]
    return _pad(rows)


def curve_rows(figures):
    """Epoch against training (and validation) error, or [] when the run kept no curve."""
    train = figures.get("trainCurve", [])
    valid = figures.get("validationCurve", [])
    if not train:
        return []
    every = figures.get("curveEvery", 1) or 1
    header = ["epoch", "training RMS error"] + (["validation RMS error"] if valid else [])
    rows = [header]
    for i, t in enumerate(train):
        row = [float((i + 1) * every), _cell(t)]
        if valid:
            row.append(_cell(valid[i]) if i < len(valid) else "")
        rows.append(row)
    return rows


def scatter_blocks(figures):
    """Per numeric output, actual against predicted over every scored set: (title, rows)."""
    blocks = {}
    for s in figures.get("sets", []):
        for o in s["outputs"]:
            if o["symbolic"]:
                continue
            rows = blocks.setdefault(o["column"], [["actual " + o["column"],
                                                    "predicted " + o["column"]]])
            rows += [[_cell(a), _cell(p)] for a, p in zip(o["actual"], o["predicted"])]
    return [(name, rows) for name, rows in blocks.items() if len(rows) > 1]


def result_paths(document_path, chosen=""):
    """Where the network and the report are kept: the chosen file, or beside the document
    (in the home folder when the document was never saved)."""
    if chosen:
        net = chosen
    else:
        folder = os.path.dirname(document_path) if document_path else os.path.expanduser("~")
        stem = os.path.splitext(os.path.basename(document_path))[0] if document_path else "sheet"
        net = os.path.join(folder, stem + "-quarrow-net.csv")
    return net, os.path.splitext(net)[0] + "-report.html"
