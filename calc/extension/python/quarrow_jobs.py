"""The Quarrow menu of Calc: Train, Predict, Evolve and Report. The dialogs gather settings; the
work itself is done by quarrow_sheet, which runs the quarrow program."""

import os

import uno
import unohelper
from com.sun.star.awt import XActionListener

import quarrow_core as core
import quarrow_sheet

_last = {"network": "", "report": "", "quarrow": os.environ.get("QUARROW", ""), "message": ""}


def _ctx():
    return XSCRIPTCONTEXT.getComponentContext()  # noqa: F821 (given by the script provider)


def _doc():
    """The document the command was given for: the one whose menu or provider invoked it (a
    hidden document is never the desktop's current one), else the current one."""
    invoked = XSCRIPTCONTEXT.getInvocationContext()  # noqa: F821
    if invoked is not None and hasattr(invoked, "getCurrentController"):
        return invoked
    return XSCRIPTCONTEXT.getDocument()  # noqa: F821


def _create(name):
    ctx = _ctx()
    return ctx.ServiceManager.createInstanceWithContext(name, ctx)


def _extension_dir():
    try:
        info = _ctx().getByName(
            "/singletons/com.sun.star.deployment.PackageInformationProvider")
        url = info.getPackageLocation("org.quarrow.calc")
        return uno.fileUrlToSystemPath(url) if url else ""
    except Exception:
        return ""


def _message(text, title="Quarrow", error=True):
    window = _doc().getCurrentController().getFrame().getContainerWindow()
    kind = uno.Enum("com.sun.star.awt.MessageBoxType", "ERRORBOX" if error else "INFOBOX")
    box = _create("com.sun.star.awt.Toolkit").createMessageBox(window, kind, 1, title, text)
    box.execute()
    box.dispose()
    _last["message"] = text


def _job(run):
    """A menu command: a refusal or failure becomes a message box, never a traceback. Returns
    the text of the message shown ('' when none), for callers that invoke it as a script."""
    def command(*args):
        _last["message"] = ""
        try:
            run()
        except core.HostError as failure:
            _message(str(failure))
        except Exception as failure:
            _message("Quarrow could not finish: %s" % failure)
        return _last["message"]
    command.__name__ = run.__name__
    return command


def _quarrow():
    found = core.find_quarrow(_last["quarrow"], _extension_dir())
    if not found:
        _message("The quarrow program was not found: put it on PATH, in the extension's bin "
                 "folder, or name it in the QUARROW environment variable.")
    return found


def _field(model, name, kind, x, y, w, h, **props):
    control = model.createInstance("com.sun.star.awt.UnoControl" + kind + "Model")
    control.PositionX, control.PositionY, control.Width, control.Height = x, y, w, h
    for key, value in props.items():
        setattr(control, key, value)
    model.insertByName(name, control)


def _ask(title, fields):
    """A modal dialog of labelled text fields, [(name, label, value)]; the entered values by
    name, or None when cancelled."""
    model = _create("com.sun.star.awt.UnoControlDialogModel")
    rows = (len(fields) + 1) // 2
    model.Width, model.Height, model.Title = 330, 20 + rows * 16 + 24, title
    for i, (name, label, value) in enumerate(fields):
        x, y = 6 + (i // rows) * 162, 8 + (i % rows) * 16
        _field(model, "l_" + name, "FixedText", x, y + 2, 60, 12, Label=label)
        _field(model, name, "Edit", x + 62, y, 94, 12, Text=str(value))
    y = model.Height - 20
    _field(model, "ok", "Button", 210, y, 54, 14, Label="Run", PushButtonType=1,
           DefaultButton=True)
    _field(model, "cancel", "Button", 270, y, 54, 14, Label="Cancel", PushButtonType=2)
    dialog = _create("com.sun.star.awt.UnoControlDialog")
    dialog.setModel(model)
    dialog.createPeer(_create("com.sun.star.awt.Toolkit"), None)
    answer = dialog.execute()
    values = {name: dialog.getControl(name).getText() for name, _, _ in fields}
    dialog.dispose()
    return values if answer == 1 else None


class _Cancel(unohelper.Base, XActionListener):
    def __init__(self, flag):
        self.flag = flag

    def actionPerformed(self, event):
        self.flag["cancelled"] = True

    def disposing(self, event):
        pass


def _with_progress(title, job):
    """Runs job(on_line, cancelled) while a window shows the host's progress lines and offers
    Cancel (which kills the host)."""
    toolkit = _create("com.sun.star.awt.Toolkit")
    model = _create("com.sun.star.awt.UnoControlDialogModel")
    model.Width, model.Height, model.Title = 300, 56, title
    _field(model, "line", "FixedText", 6, 8, 288, 24, Label="Starting...", MultiLine=True)
    _field(model, "stop", "Button", 240, 36, 54, 14, Label="Cancel")
    dialog = _create("com.sun.star.awt.UnoControlDialog")
    dialog.setModel(model)
    dialog.createPeer(toolkit, None)
    flag = {"cancelled": False}
    dialog.getControl("stop").addActionListener(_Cancel(flag))
    dialog.setVisible(True)

    def on_line(line):
        if line.strip():
            dialog.getControl("line").setText(line.strip())

    def cancelled():
        toolkit.processEventsToIdle()
        return flag["cancelled"]

    try:
        return job(on_line, cancelled)
    finally:
        dialog.dispose()


def _range_names(doc):
    sheet, addr = quarrow_sheet.target_range(doc)
    names = sheet.getCellRangeByPosition(addr.StartColumn, addr.StartRow, addr.EndColumn,
                                         addr.StartRow).getDataArray()[0]
    return [str(n) for n in names if n != ""]


def _column_guess(names):
    """Inputs, outputs and mode for a first look: a column called mode, the last other column
    as the output, the rest as inputs."""
    mode = next((n for n in names if n.lower() == "mode"), "")
    rest = [n for n in names if n != mode]
    return ",".join(rest[:-1]), (rest[-1] if rest else ""), mode


def _settings_dialog(command, options, extra):
    quarrow = _quarrow()
    if not quarrow:
        return None, None
    doc = _doc()
    inputs, outputs, mode = _column_guess(_range_names(doc))
    defaults = core.host_defaults(quarrow_sheet.help_text(quarrow, command))
    fields = [("inputs", "Inputs", inputs), ("outputs", "Outputs", outputs),
              ("mode", "Mode column", mode)]
    fields += [(name, name.capitalize(), defaults.get(name, "")) for name in options]
    fields += extra + [("quarrow", "quarrow program", quarrow)]
    values = _ask("Quarrow " + command, fields)
    if values is None:
        return None, None
    _last["quarrow"] = values.pop("quarrow").strip()
    # Only what the person changed is passed, so the host's own defaults and rules apply.
    settings = {k: v for k, v in values.items()
                if k in ("inputs", "outputs", "mode") or v.strip() != defaults.get(k, "")}
    return settings, _last["quarrow"]


@_job
def Train():
    doc = _doc()
    net, _ = core.result_paths(quarrow_sheet.document_path(doc), _last["network"])
    settings, quarrow = _settings_dialog("train", core.TRAIN_OPTIONS,
                                         [("network", "Network file", net)])
    if settings is None:
        return
    chosen = settings.pop("network", net)
    result = _with_progress("Quarrow: training", lambda on_line, cancelled: quarrow_sheet.train(
        doc, settings, quarrow, chosen, on_line, cancelled))
    if result:
        _last["network"] = result["network"]
        _last["report"] = result.get("report", "")


@_job
def Predict():
    doc = _doc()
    quarrow = _quarrow()
    if not quarrow:
        return
    net = _last["network"] or core.result_paths(quarrow_sheet.document_path(doc))[0]
    values = _ask("Quarrow predict", [("network", "Network file", net),
                                      ("inputs", "Inputs (default: by name)", ""),
                                      ("mode", "Mode column", "")])
    if values is None:
        return
    net = values.pop("network").strip()
    result = _with_progress("Quarrow: predicting",
                            lambda on_line, cancelled: quarrow_sheet.predict(
                                doc, net, quarrow, values, on_line, cancelled))
    if result:
        _last["network"] = net


@_job
def Evolve():
    settings, quarrow = _settings_dialog("evolve", core.EVOLVE_OPTIONS, [])
    if settings is None:
        return
    doc = _doc()
    _with_progress("Quarrow: evolving", lambda on_line, cancelled: quarrow_sheet.evolve(
        doc, settings, quarrow, on_line, cancelled))


@_job
def Report():
    path = _last["report"] or core.result_paths(quarrow_sheet.document_path(_doc()))[1]
    if not os.path.exists(path):
        _message("There is no report yet: train first (the report needs a quarrow that "
                 "writes one).", error=False)
        return
    shell = _create("com.sun.star.system.SystemShellExecute")
    shell.execute(uno.systemPathToFileUrl(path), "", 0)


g_exportedScripts = (Train, Predict, Evolve, Report)
