"""The Calc extension in a real, headless LibreOffice: installs it into a throw-away profile,
trains and predicts through the extension's functions on sheets typed into a document, and
compares what lands in the cells with quarrow's own output on the same data.

Run with Debian's python (python3-uno binds to it):
  /usr/bin/python3 calc/tests/test_calc.py --quarrow build/tools/quarrow/quarrow --oxt X.oxt
where X.oxt packs that quarrow (make test-calc builds it so).
"""

import argparse
import csv
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "calc", "extension", "python", "pythonpath"))
SHEETS = os.path.join(ROOT, "examples", "sheets")

import uno  # noqa: E402
import unohelper  # noqa: E402
from com.sun.star.beans import PropertyValue  # noqa: E402
from com.sun.star.task import XInteractionHandler  # noqa: E402
from com.sun.star.ucb import XCommandEnvironment, XProgressHandler  # noqa: E402

import quarrow_core as core  # noqa: E402
import quarrow_sheet  # noqa: E402

ARGS = None
OFFICE = {}


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


class Approve(unohelper.Base, XInteractionHandler, XProgressHandler, XCommandEnvironment):
    """Answers the installer's questions as a person clicking OK would."""

    def handle(self, request):
        approve = uno.getTypeByName("com.sun.star.task.XInteractionApprove")
        for choice in request.getContinuations():
            if choice.queryInterface(approve):
                choice.select()
                return

    def getInteractionHandler(self):
        return self

    def getProgressHandler(self):
        return self

    def push(self, status):
        pass

    def update(self, status):
        pass

    def pop(self):
        pass


def csv_cells(path):
    """A CSV file as Calc would hold it once typed in: numbers as floats, texts, ''."""
    with open(path, encoding="utf-8") as f:
        rows = list(csv.reader(f))
    width = max(len(r) for r in rows)
    out = []
    for r in rows:
        cells = []
        for field in r + [""] * (width - len(r)):
            try:
                cells.append(float(field))
            except ValueError:
                cells.append(field)
        out.append(cells)
    return out


def host_run(*args):
    """quarrow's own answer on a file: (exit code, its --out CSV rows, stderr)."""
    out = os.path.join(OFFICE["work"], "host-out.csv")
    if os.path.exists(out):
        os.remove(out)
    p = subprocess.run([ARGS.quarrow, *args, "--out", out, "--quiet"], capture_output=True,
                       text=True, timeout=300)
    rows = []
    if os.path.exists(out):
        with open(out, encoding="utf-8") as f:
            rows = list(csv.reader(f))
    return p.returncode, rows, p.stderr


def start_office(options=("--headless", "--invisible"), env=None):
    """Starts soffice on a throw-away profile (headless unless other options are given, under
    the environment given) and installs the extension into it."""
    work = tempfile.mkdtemp(prefix="quarrow-calc-test-")
    OFFICE["work"] = work
    profile = "-env:UserInstallation=" + uno.systemPathToFileUrl(os.path.join(work, "profile"))
    pipe = "quarrowtest%d" % os.getpid()
    OFFICE["proc"] = subprocess.Popen(
        ["soffice", *options, "--norestore", "--nologo", profile,
         "--accept=pipe,name=%s;urp;" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True,
        env={k: v for k, v in (env or os.environ).items() if k != "QUARROW"})
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + 90
    while True:
        try:
            ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            if time.monotonic() > deadline or OFFICE["proc"].poll() is not None:
                raise RuntimeError("soffice did not answer within 90 s")
            time.sleep(0.5)
    OFFICE["ctx"] = ctx
    OFFICE["desktop"] = ctx.ServiceManager.createInstanceWithContext(
        "com.sun.star.frame.Desktop", ctx)
    # What unopkg add does (it refuses to run as root): into the throw-away user profile.
    manager = ctx.getValueByName("/singletons/com.sun.star.deployment.ExtensionManager")
    manager.addExtension(uno.systemPathToFileUrl(ARGS.oxt), (), "user",
                         manager.createAbortChannel(), Approve())


def stop_office():
    proc = OFFICE.get("proc")
    if proc is not None:
        try:
            OFFICE["desktop"].terminate()
        except Exception:
            pass
        try:
            proc.wait(20)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, 9)
            proc.wait(10)
        OFFICE.pop("proc")
    if not ARGS.keep:
        shutil.rmtree(OFFICE.get("work", ""), ignore_errors=True)


def give_up():
    print("test_calc: gave up after %d s" % ARGS.limit, flush=True)
    if "proc" in OFFICE:
        os.killpg(OFFICE["proc"].pid, 9)
    if not ARGS.keep:
        shutil.rmtree(OFFICE.get("work", ""), ignore_errors=True)
    os._exit(1)


def new_document(name, sheets, hidden=True):
    """A saved document (so the network goes beside it) with one sheet per (name, cells)."""
    doc = OFFICE["desktop"].loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                 (prop("Hidden", hidden),))
    all_sheets = doc.getSheets()
    for i, (sheet_name, cells) in enumerate(sheets):
        if i >= all_sheets.getCount():
            all_sheets.insertNewByName(sheet_name, i)
        sheet = all_sheets.getByIndex(i)
        sheet.setName(sheet_name)
        block = sheet.getCellRangeByPosition(0, 0, len(cells[0]) - 1, len(cells) - 1)
        block.setDataArray(tuple(tuple(r) for r in cells))
    path = os.path.join(OFFICE["work"], name + ".ods")
    doc.storeAsURL(uno.systemPathToFileUrl(path), ())
    return doc


def select(doc, sheet_name, cols=None, rows=None):
    """Selects a block of a sheet (the whole used area when cols/rows are not given)."""
    sheet = doc.getSheets().getByName(sheet_name)
    doc.getCurrentController().setActiveSheet(sheet)
    if cols is None:
        doc.getCurrentController().select(sheet.getCellByPosition(0, 0))
        return
    doc.getCurrentController().select(
        sheet.getCellRangeByPosition(cols[0], rows[0], cols[1], rows[1]))


def snapshot(doc):
    """Everything a job must not change: each sheet's name and used cells."""
    out = []
    for i in range(doc.getSheets().getCount()):
        sheet = doc.getSheets().getByIndex(i)
        cursor = sheet.createCursor()
        cursor.gotoEndOfUsedArea(False)
        a = cursor.getRangeAddress()
        out.append((sheet.getName(), sheet.getCellRangeByPosition(
            0, 0, a.EndColumn, a.EndRow).getDataArray()))
    return out


def sheet_file(name, cells):
    """The cells as a CSV file for quarrow's own run."""
    path = os.path.join(OFFICE["work"], name + ".csv")
    with open(path, "w", encoding="utf-8") as f:
        f.write(core.range_csv(cells))
    return path


def _is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


class CoreTest(unittest.TestCase):
    def test_cells_reach_the_host_as_typed(self):
        cases = [(16.0, "16"), (5.2, "5.2"), (-0.1, "-0.1"), (1e20, "1e+20"),
                 (0.1 + 0.2, "0.30000000000000004"), ("oak", "oak"), ("", ""),
                 ("a,b", '"a,b"'), ('say "hi"', '"say ""hi"""'), (" lead", '" lead"'),
                 ("two\nlines", '"two\nlines"')]
        for value, field in cases:
            self.assertEqual(core.csv_field(value), field, repr(value))

    def test_host_messages_point_into_the_sheet(self):
        message = ('quarrow train: /t/s.csv: row 7, column B (angle): "n/a" (row 2 holds a '
                   'number)')
        self.assertEqual(core.sheet_message(message, "/t/s.csv", "data", 3, 25),
                         'quarrow train: sheet "data": row 10, column AA (angle): "n/a" (row '
                         '5 holds a number)')

    def test_texts_that_read_as_numbers_stay_classes(self):
        rows = [["code", "x", "mixed", "note", "a,b"], ["01", 1.0, "2", "n/a", "3"],
                ["", 2.0, 4.0, "", "4"], ["2.5e1", 3.0, "", "x", "5"]]
        self.assertEqual(core.text_number_columns(rows), ["code"])
        self.assertEqual(core.with_text_columns({"symbolic": "x"}, rows)["symbolic"], "x,code")

    def test_command_leaves_unset_options_to_the_host(self):
        argv = core.build_command("q", "train", "s.csv",
                                  {"inputs": "A:B", "rate": "", "hidden": " 4,2 ",
                                   "shuffle": False, "auto-rate": True, "seed": None},
                                  {"save": "n.csv"})
        self.assertEqual(argv, ["q", "train", "s.csv", "--inputs", "A:B", "--hidden", "4,2",
                                "--auto-rate", "--save", "n.csv"])

    def test_help_defaults(self):
        text = ("  --hidden TEXT=16            hidden\n"
                "  --method TEXT:{double,fixed}=double\n"
                "  -m,--mode TEXT              the mode\n"
                "  --rate FLOAT:FLOAT in [0 - 1]=0.3\n")
        self.assertEqual(core.host_defaults(text),
                         {"hidden": "16", "method": "double", "rate": "0.3"})


class CalcTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.trees = csv_cells(os.path.join(SHEETS, "trees.csv"))
        cls.throws = csv_cells(os.path.join(SHEETS, "throws.csv"))
        # The last row lies outside what the network is trained on, so it is flagged.
        cls.trees_new = csv_cells(os.path.join(SHEETS, "trees_new.csv")) + [
            [30.0, 9.0, "rough", 99.0]]
        bad = [list(r) for r in cls.throws]
        bad[5][1] = "n/a"
        errors = [list(r) for r in cls.throws]
        # The same refused table with its corner at C4.
        shifted = [[""] * (2 + len(bad[0]))] * 3 + [["", ""] + r for r in bad]
        codes = {"birch": "1", "maple": "2", "oak": "3"}
        cls.codes = [r[:4] + [codes.get(r[4], r[4])] + r[5:] for r in cls.trees]
        # The data starts at B3 so that positions, not only contents, are checked.
        cls.doc = new_document("workbook", [("trees", cls.trees), ("throws", cls.throws),
                                            ("new", cls.trees_new), ("bad", bad),
                                            ("errors", errors), ("codes", cls.codes),
                                            ("shifted", shifted)])
        cls.doc.getSheets().getByName("errors").getCellRangeByName("B6").setFormula("=1/0")
        cls.folder = OFFICE["work"]

    @classmethod
    def tearDownClass(cls):
        if ARGS.render:  # the workbook with its results, to look at
            os.makedirs(ARGS.render, exist_ok=True)
            base = uno.systemPathToFileUrl(os.path.join(os.path.abspath(ARGS.render), "workbook"))
            cls.doc.storeToURL(base + ".ods", ())
            cls.doc.storeToURL(base + ".pdf", (prop("FilterName", "calc_pdf_Export"),))
        cls.doc.close(True)

    def test_symbolic_train_then_predict(self):
        doc = self.doc
        select(doc, "trees")
        before = snapshot(doc)
        settings = {"inputs": "leaf_length:height", "outputs": "kind", "mode": "mode"}
        result = quarrow_sheet.train(doc, settings, ARGS.quarrow)
        sheet = doc.getSheets().getByName("trees")
        width = len(self.trees[0])
        block = sheet.getCellRangeByPosition(0, 0, width - 1, len(self.trees) - 1)
        self.assertEqual(block.getDataArray(), before[0][1], "the user's cells changed")

        code, host, _ = host_run("train", os.path.join(SHEETS, "trees.csv"), "--inputs",
                                 "leaf_length:height", "--outputs", "kind", "--mode", "mode")
        self.assertEqual(code, 0)
        written = sheet.getCellRangeByPosition(width, 0, width, len(self.trees) - 1)
        column = [r[0] for r in written.getDataArray()]
        self.assertEqual(column[0], "kind predicted")
        self.assertEqual(column[1:], [r[width] for r in host[1:]])
        self.assertTrue(os.path.exists(os.path.join(self.folder, "workbook-quarrow-net.csv")))

        figures = doc.getSheets().getByName(result["figures"])
        text = [r for r in figures.getCellRangeByPosition(0, 0, 8, 60).getDataArray()]
        self.assertIn(("set", "output", "rows", "accuracy", "balanced accuracy"),
                      [r[:5] for r in text])
        self.assertTrue(any(str(r[0]).startswith("confusion of kind") for r in text))
        self.assertTrue(figures.getCharts().hasByName(result["charts"][0]))

        select(doc, "new")
        result = quarrow_sheet.predict(doc, result["network"], ARGS.quarrow)
        code, host, _ = host_run("predict", sheet_file("new", self.trees_new), "--net",
                                 result["network"])
        self.assertEqual(code, 0)
        new = doc.getSheets().getByName("new")
        width = len(self.trees_new[0])
        got = new.getCellRangeByPosition(width, 0, len(host[0]) - 1,
                                         len(self.trees_new) - 1).getDataArray()
        self.assertEqual([list(r) for r in got], [[c if c == "" or not _is_number(c) else
                                                   float(c) for c in r[width:]] for r in host])
        self.assertIn("outside trained range", got[0])
        # An unflagged row's flag cell is left empty, not an empty text.
        flag = got[0].index("outside trained range")
        row = [r[flag] for r in got].index("")
        self.assertEqual(new.getCellByPosition(width + flag, row).getType().value, "EMPTY")

    def test_classes_typed_as_numbers_in_texts(self):
        doc = self.doc
        select(doc, "codes")
        quarrow_sheet.train(doc, {"inputs": "leaf_length:height", "outputs": "kind",
                                  "mode": "mode"}, ARGS.quarrow)
        code, host, _ = host_run("train", sheet_file("codes", self.codes), "--inputs",
                                 "leaf_length:height", "--outputs", "kind", "--mode", "mode",
                                 "--symbolic", "kind")
        self.assertEqual(code, 0)
        width = len(self.codes[0])
        got = doc.getSheets().getByName("codes").getCellRangeByPosition(
            width, 1, width, len(self.codes) - 1).getDataArray()
        self.assertEqual([r[0] for r in got], [r[width] for r in host[1:]])
        self.assertTrue(all(isinstance(r[0], str) for r in got))

    def test_numeric_train_in_a_selection(self):
        doc = self.doc
        # Whole columns: the range is cut to the rows in use.
        rows = doc.getSheets().getByName("throws").getRows().getCount()
        select(doc, "throws", (0, 3), (0, rows - 1))
        before = snapshot(doc)
        chosen = os.path.join(OFFICE["work"], "chosen-net.csv")
        settings = {"inputs": "speed,angle", "outputs": "distance", "mode": "mode",
                    "seed": "3"}
        result = quarrow_sheet.train(doc, settings, ARGS.quarrow, net_path=chosen)
        self.assertTrue(os.path.exists(chosen))
        code, host, _ = host_run("train", os.path.join(SHEETS, "throws.csv"), "--inputs",
                                 "speed,angle", "--outputs", "distance", "--mode", "mode",
                                 "--seed", "3")
        self.assertEqual(code, 0)
        sheet = doc.getSheets().getByName("throws")
        cells = sheet.getCellRangeByPosition(0, 0, 4, len(self.throws) - 1).getDataArray()
        self.assertEqual([r[:4] for r in cells], [r[:4] for r in before[1][1]])
        self.assertEqual([r[4] for r in cells[1:]],
                         [float(r[4]) if r[4] else "" for r in host[1:]])
        figures = doc.getSheets().getByName(result["figures"])
        self.assertEqual(len(result["charts"]), 2)
        for name in result["charts"]:
            self.assertTrue(figures.getCharts().hasByName(name), name)
        names = [r[3] for r in figures.getCellRangeByPosition(0, 0, 5, 60).getDataArray()]
        self.assertIn("RMSE", names)

    def test_evolve_report_goes_to_a_new_sheet(self):
        doc = self.doc
        select(doc, "throws", (0, 3), (0, len(self.throws) - 1))
        options = ["--inputs", "speed,angle", "--outputs", "distance", "--mode", "mode",
                   "--population", "2", "--generations", "1", "--epochs", "20"]
        settings = {k[2:]: v for k, v in zip(options[::2], options[1::2])}
        result = quarrow_sheet.evolve(doc, settings, ARGS.quarrow)
        host = subprocess.run([ARGS.quarrow, "evolve", sheet_file("throws", self.throws)] +
                              options, capture_output=True, text=True, timeout=300)
        sheet = doc.getSheets().getByName(result["sheet"])
        lines = host.stdout.splitlines()
        got = sheet.getCellRangeByPosition(0, 0, 0, len(lines) - 1).getDataArray()
        self.assertEqual(got[-1][0], lines[-1])

    def test_refusals_leave_the_document_unchanged(self):
        doc = self.doc
        ranges = doc.createInstance("com.sun.star.sheet.SheetCellRanges")
        throws = doc.getSheets().getByName("throws")
        ranges.addRangeAddress(throws.getCellRangeByName("A1:B5").getRangeAddress(), False)
        ranges.addRangeAddress(throws.getCellRangeByName("D1:D5").getRangeAddress(), False)
        cases = [  # what is selected, the host's own refusal or a fragment of ours
            ("a text in a column of numbers", ("bad", None), "host"),
            ("the names row only", ("throws", ((0, 3), (0, 0))), "host"),
            ("a table away from A1", ("shifted", ((2, 5), (3, len(self.throws) + 2))),
             'sheet "shifted": row 9, column D (angle)'),
            ("a cell with an error", ("errors", None), "errors (errors.B6)"),
            ("two ranges", (None, ranges), "Select one range"),
        ]
        settings = {"inputs": "speed,angle", "outputs": "distance", "mode": "mode"}
        for what, (name, where), expected in cases:
            with self.subTest(what):
                if name is None:
                    doc.getCurrentController().select(where)
                elif where is None:
                    select(doc, name)
                else:
                    select(doc, name, *where)
                before = snapshot(doc)
                with self.assertRaises(core.HostError) as refused:
                    quarrow_sheet.train(doc, settings, ARGS.quarrow)
                self.assertEqual(snapshot(doc), before)
                if expected != "host":
                    self.assertIn(expected, str(refused.exception))
                    continue
                sheet, addr = quarrow_sheet.target_range(doc)
                path = sheet_file(name, quarrow_sheet.read_rows(sheet, addr))
                code, _, err = host_run("train", path, "--inputs", "speed,angle",
                                        "--outputs", "distance", "--mode", "mode")
                self.assertEqual(code, 2)
                self.assertEqual(str(refused.exception),
                                 err.strip().replace(path, 'sheet "%s"' % name))


class RunTest(unittest.TestCase):
    def test_cancel_kills_the_host(self):
        start = time.monotonic()
        code, _, _ = core.run_host(["sleep", "30"], cancelled=lambda: True)
        self.assertIsNone(code)
        self.assertLess(time.monotonic() - start, 10)


class MenuTest(unittest.TestCase):
    def test_menu_entries_reach_the_installed_scripts(self):
        """Each menu command's script resolves inside the office: the module loads there."""
        with open(os.path.join(ROOT, "calc", "extension", "Addons.xcu"), encoding="utf-8") as f:
            xcu = f.read()
        urls = [u.replace("&amp;", "&") for u in re.findall(r"vnd\.sun\.star\.script:[^<]+",
                                                              xcu)]
        self.assertEqual(len(urls), 4)
        doc = new_document("menu", [("trees", csv_cells(os.path.join(SHEETS, "trees.csv")))])
        # The desktop's current document, as under a menu.
        frame = doc.getCurrentController().getFrame()
        OFFICE["desktop"].setActiveFrame(frame)
        frame.activate()
        try:
            provider = doc.getScriptProvider()
            before = snapshot(doc)
            shown = []
            for url in urls:
                # Headless, the dialogs close at once as if cancelled: each command gets as
                # far as its dialog (the quarrow packed in the extension, the columns, the
                # host's defaults) and changes nothing.
                shown.append(provider.getScript(url).invoke((), (), ())[0])
                self.assertEqual(snapshot(doc), before, url)
            self.assertEqual(shown[:3], ["", "", ""])
            self.assertIn("no report yet", shown[3])
        finally:
            doc.close(True)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--quarrow", required=True)
    parser.add_argument("--oxt", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--limit", type=int, default=600, help="seconds before giving up")
    parser.add_argument("--render", help="save the workbook with its results (.ods, .pdf) here")
    ARGS, rest = parser.parse_known_args()
    ARGS.quarrow = os.path.abspath(ARGS.quarrow)
    ARGS.oxt = os.path.abspath(ARGS.oxt)
    # A UNO call that never returns (a dialog waiting for a person) must not hang the run.
    watchdog = threading.Timer(ARGS.limit, give_up)
    watchdog.daemon = True
    watchdog.start()
    try:
        start_office()
        program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    finally:
        stop_office()
    sys.exit(0 if program.result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
