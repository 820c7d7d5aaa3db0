"""The Calc side of the jobs: reads the range, runs the host, writes its results into the
document. Works on any spreadsheet document model, inside the office or over a UNO bridge.

Nothing is written until the host has succeeded and its figures have been read; what is written
goes into empty cells beside the range and into a new sheet, and is taken out again when any
step of the writing fails, so a failed job leaves the document as it was."""

import os
import shutil
import tempfile

import uno
from com.sun.star.awt import Rectangle
from com.sun.star.table import CellRangeAddress

import quarrow_core as core

_FORMULA_ERROR = 4


def _used_area(sheet):
    cursor = sheet.createCursor()
    cursor.gotoStartOfUsedArea(False)
    cursor.gotoEndOfUsedArea(True)
    return cursor.getRangeAddress()


def target_range(doc):
    """The selected range cut to the sheet's used area (whole columns select only the rows in
    use), or the used range when a single cell is selected. Returns (sheet, address)."""
    sel = doc.getCurrentSelection()
    if sel is not None and sel.supportsService("com.sun.star.sheet.SheetCellRanges"):
        raise core.HostError("Select one range: the columns' names in its first row, then "
                             "the data.")
    if sel is None or not sel.supportsService("com.sun.star.sheet.SheetCellRange"):
        sheet = doc.getCurrentController().getActiveSheet()
        return sheet, _used_area(sheet)
    a = sel.getRangeAddress()
    sheet = doc.getSheets().getByIndex(a.Sheet)
    used = _used_area(sheet)
    if a.EndRow == a.StartRow and a.EndColumn == a.StartColumn:
        return sheet, used
    a.EndRow = max(a.StartRow, min(a.EndRow, used.EndRow))
    a.EndColumn = max(a.StartColumn, min(a.EndColumn, used.EndColumn))
    return sheet, a


def read_rows(sheet, addr):
    """The range's cells as the host should see them; HostError when a cell holds an error."""
    cells = sheet.getCellRangeByPosition(addr.StartColumn, addr.StartRow, addr.EndColumn,
                                         addr.EndRow)
    errors = cells.queryFormulaCells(_FORMULA_ERROR)
    if errors.getCount() > 0:
        raise core.HostError("The range holds cells with errors (%s); a sheet for quarrow "
                             "holds numbers, texts and empty cells only."
                             % errors.getRangeAddressesAsString())
    return [list(row) for row in cells.getDataArray()]


def free_columns(sheet, addr, width):
    """The first column right of the range where `width` columns are empty over its rows."""
    last = sheet.getColumns().getCount() - 1
    used_end = _used_area(sheet).EndColumn
    first = addr.EndColumn + 1
    if used_end >= first:  # past the used area every column is empty
        cells = sheet.getCellRangeByPosition(first, addr.StartRow, used_end,
                                             addr.EndRow).getDataArray()
        used = [any(row[c] != "" for row in cells) for c in range(len(cells[0]))]
        while used and not used[-1]:
            used.pop()
        for c in range(len(used)):
            if not any(used[c:c + width]):
                break
        else:
            c = len(used)
        first += c
    if first + width - 1 > last:
        raise core.HostError("There is no room right of the range for the predictions.")
    return first


def _write(sheet, col, row, rows):
    block = sheet.getCellRangeByPosition(col, row, col + len(rows[0]) - 1, row + len(rows) - 1)
    block.setDataArray(tuple(tuple(r) for r in rows))
    return block


def _unique_sheet_name(doc, base):
    sheets = doc.getSheets()
    name, n = base, 1
    while sheets.hasByName(name):
        n += 1
        name = "%s %d" % (base, n)
    return name


def _address(sheet, block):
    a = block.getRangeAddress()
    return CellRangeAddress(a.Sheet, a.StartColumn, a.StartRow, a.EndColumn, a.EndRow)


_CHART_WIDTH, _CHART_HEIGHT = 16000, 8000  # 1/100 mm


def _add_chart(sheet, name, block, title, y, lines):
    """A native XY chart of the block (first column x, first row the series names) at height
    y below the sheet's top; lines join the points, else the points stand alone."""
    charts = sheet.getCharts()
    # Chart names are the document's, not the sheet's: a second run must not reuse one.
    name = "%s %s" % (sheet.getName(), name)
    charts.addNewByName(name, Rectangle(500, y, _CHART_WIDTH, _CHART_HEIGHT),
                        (_address(sheet, block),), True, False)
    chart = charts.getByName(name).getEmbeddedObject()
    diagram = chart.createInstance("com.sun.star.chart.XYDiagram")
    chart.setDiagram(diagram)
    diagram.Lines = lines
    diagram.SymbolType = _NO_SYMBOL if lines else _AUTO_SYMBOL
    chart.HasMainTitle = True
    chart.HasLegend = True
    chart.getTitle().String = title
    return name


_NO_SYMBOL, _AUTO_SYMBOL = -3, -2  # ChartSymbolType NONE and AUTO


def _figures_sheet(doc, figures):
    """Adds the figures sheet: the summary, the charts under it, their data to the right.
    Returns the sheet's name and the charts'."""
    name = _unique_sheet_name(doc, core.FIGURES_SHEET)
    sheets = doc.getSheets()
    sheets.insertNewByName(name, sheets.getCount())
    sheet = sheets.getByName(name)
    summary = core.figures_rows(figures)
    _write(sheet, 0, 0, summary)
    sheet.getColumns().getByIndex(0).Width = 4500  # room for the labels, not the long titles
    col = len(summary[0]) + 1
    y = sheet.getCellByPosition(0, len(summary) + 1).Position.Y
    charts = []
    curve = core.curve_rows(figures)
    if curve:
        block = _write(sheet, col, 0, curve)
        charts.append(_add_chart(sheet, "error curves", block,
                                 "Error curves (RMS error on the 0..1 scale)", y, True))
        col += len(curve[0]) + 1
        y += _CHART_HEIGHT + 500
    for i, (output, rows) in enumerate(core.scatter_blocks(figures)):
        block = _write(sheet, col, 0, rows)
        charts.append(_add_chart(sheet, "predicted %d" % (i + 1), block,
                                 "%s: predicted against actual" % output, y, False))
        col += 3
        y += _CHART_HEIGHT + 500
    return name, charts


def write_results(doc, sheet, addr, figures, finish=None):
    """Writes the predictions beside the range and the figures sheet, then calls finish();
    on any failure removes what it wrote and raises. Returns (prediction block, figures sheet
    name, chart names)."""
    rows = core.prediction_rows(figures)
    if len(rows) - 1 > addr.EndRow - addr.StartRow:
        raise core.HostError("quarrow returned more rows than the range holds.")
    written, added, charts = None, None, []
    doc.lockControllers()
    try:
        col = free_columns(sheet, addr, len(rows[0]))
        written = _write(sheet, col, addr.StartRow, rows)
        added, charts = _figures_sheet(doc, dict(figures, sheet=sheet.getName()))
        if finish:
            finish()
        return written, added, charts
    except Exception:
        if written is not None:
            written.clearContents(1023)
        if added is not None and doc.getSheets().hasByName(added):
            doc.getSheets().removeByName(added)
        raise
    finally:
        doc.unlockControllers()


def document_path(doc):
    """The document's file, or '' when it was never saved or lives outside the file system."""
    url = doc.getURL()
    return uno.fileUrlToSystemPath(url) if url.startswith("file:") else ""


def help_text(quarrow, command):
    code, out, _ = core.run_host([quarrow, command, "--help"], timeout=30)
    return out if code == 0 else ""


def _run_on_range(doc, command, settings, quarrow, files, on_line, cancelled, timeout):
    """Exports the range to a file in a new folder and runs the host on it; the files the host
    writes (files: option -> name) go to that folder too. Returns (sheet, address, the host's
    output, folder, files by option with their paths); the caller removes the folder. On a
    refusal, HostError with the host's message pointing into the sheet instead of the file."""
    sheet, addr = target_range(doc)
    rows = read_rows(sheet, addr)
    work = tempfile.mkdtemp(prefix="quarrow-calc-")
    try:
        csv_path = os.path.join(work, "sheet.csv")
        with open(csv_path, "w", encoding="utf-8", newline="") as f:
            f.write(core.range_csv(rows))
        paths = {k: (v if k == "net" else os.path.join(work, v)) for k, v in files.items()}
        if command != "predict":  # a network knows which of its columns are symbolic
            settings = core.with_text_columns(settings, rows)
        argv = core.build_command(quarrow, command, csv_path, settings, paths)
        code, out, err = core.run_host(argv, on_line, cancelled, timeout)
        if code != 0:
            message = core.host_failure(code, err)
            raise core.HostError(core.sheet_message(message, csv_path, sheet.getName(),
                                                    addr.StartRow, addr.StartColumn))
        return sheet, addr, out, work, paths
    except Exception:
        shutil.rmtree(work, ignore_errors=True)
        raise


def train(doc, settings, quarrow, net_path="", on_line=None, cancelled=None, timeout=3600.0):
    """Trains on the range with the dialog's settings (inputs, outputs, mode and options) and
    writes the results; the network (and the report, when the host writes one) are kept only
    when the results are in the document. Returns a dict naming what was written; HostError
    on a refusal."""
    final_net, final_report = core.result_paths(document_path(doc), net_path)
    files = {"save": "network.csv", "metrics": "figures.json"}
    if "report" in core.host_options(help_text(quarrow, "train")):
        files["report"] = "report.html"
    sheet, addr, _, work, paths = _run_on_range(doc, "train", settings, quarrow, files,
                                                on_line, cancelled, timeout)
    result = {"network": final_net}

    def keep_files():
        shutil.copyfile(paths["save"], final_net)
        if os.path.exists(paths.get("report", "")):
            shutil.copyfile(paths["report"], final_report)
            result["report"] = final_report

    try:
        figures = core.load_figures(paths["metrics"])
        block, result["figures"], result["charts"] = write_results(doc, sheet, addr, figures,
                                                                   keep_files)
        result["predictions"] = block
        return result
    finally:
        shutil.rmtree(work, ignore_errors=True)


def predict(doc, net_path, quarrow, settings=None, on_line=None, cancelled=None,
            timeout=3600.0):
    """Applies a saved network to the range (inputs found by the network's column names unless
    settings name them) and writes the results."""
    files = {"net": net_path, "metrics": "figures.json"}
    sheet, addr, _, work, paths = _run_on_range(doc, "predict", settings or {}, quarrow, files,
                                                on_line, cancelled, timeout)
    try:
        figures = core.load_figures(paths["metrics"])
        block, figures_sheet, charts = write_results(doc, sheet, addr, figures)
        return {"predictions": block, "figures": figures_sheet, "charts": charts,
                "network": net_path}
    finally:
        shutil.rmtree(work, ignore_errors=True)


def evolve(doc, settings, quarrow, on_line=None, cancelled=None, timeout=36000.0):
    """Runs the design search on the range; its report goes, one line a row, to a new sheet."""
    _, _, out, work, _ = _run_on_range(doc, "evolve", settings, quarrow, {}, on_line,
                                       cancelled, timeout)
    shutil.rmtree(work, ignore_errors=True)
    name = _unique_sheet_name(doc, "Quarrow evolve")
    sheets = doc.getSheets()
    sheets.insertNewByName(name, sheets.getCount())
    try:
        _write(sheets.getByName(name), 0, 0, [[line] for line in out.splitlines() or [""]])
    except Exception:
        sheets.removeByName(name)
        raise
    return {"sheet": name}
