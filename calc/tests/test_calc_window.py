"""The Train command in a real office window on a virtual X display: the menu's command opens
the settings dialog, the dialog is filled in and run as a person would (through the
accessibility tree, as a screen reader drives it), the progress window shows the host's lines,
and its Cancel stops the host and leaves the document as it was.

  /usr/bin/python3 calc/tests/test_calc_window.py --quarrow Q --oxt X.oxt [--shots DIR]
(--shots needs ImageMagick.)
"""

import argparse
import os
import re
import subprocess
import sys
import threading
import time

import uno
from com.sun.star.lang import DisposedException

import test_calc as office

ROLE = {name: uno.getConstantByName("com.sun.star.accessibility.AccessibleRole." + name)
        for name in ("PUSH_BUTTON", "LABEL", "TEXT")}
TRAIN_URL = re.compile(r"vnd\.sun\.star\.script:[^<]*\$Train\?[^<]+")


def start_display():
    """A private Xvfb display; returns (process, ':N')."""
    read, write = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    if not number:
        proc.kill()
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number


def wait_for(what, probe, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        # A window that closes while the probe walks it throws; the next probe sees it gone.
        try:
            found = probe()
        except DisposedException:
            found = None
        if found:
            return found
        time.sleep(0.25)
    raise AssertionError("timed out waiting for " + what)


def accessible_tree(context):
    """Every accessible context below (and with) this one, in the order of the tree."""
    out = [context]
    for i in range(context.getAccessibleChildCount()):
        child = context.getAccessibleChild(i)
        if child is not None:
            out += accessible_tree(child.getAccessibleContext())
    return out


def top_window(toolkit, title):
    """The accessible context of the top window with this title, or None."""
    for i in range(toolkit.getTopWindowCount()):
        try:
            context = toolkit.getTopWindow(i).getAccessibleContext()
            if context is not None and context.getAccessibleName() == title:
                return context
        except DisposedException:  # closing while we look: it is not the one we wait for
            continue
    return None


def press(window, label):
    def button():
        for node in accessible_tree(window):
            if (node.getAccessibleRole() == ROLE["PUSH_BUTTON"]
                    and node.getAccessibleName() == label):
                return node
        return None
    # Found again if a label changes under the walk; pressed once.
    wait_for("the button " + label, button, 10).doAccessibleAction(0)


def fields(window):
    """The dialog's text fields by the label before each."""
    out, label = {}, None
    for node in accessible_tree(window):
        if node.getAccessibleRole() == ROLE["LABEL"]:
            label = node.getAccessibleName()
        elif node.getAccessibleRole() == ROLE["TEXT"] and label is not None:
            out[label], label = node, None
    return out


def hosts_under(pid):
    """The quarrow processes started (at any depth) by process pid."""
    parents, names = {}, {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except (OSError, ValueError):
            continue
        name, rest = stat[stat.index("(") + 1:stat.rindex(")")], stat[stat.rindex(")") + 2:]
        if rest.split()[0] != "Z":
            parents[int(entry)], names[int(entry)] = int(rest.split()[1]), name
    found = []
    for p, name in names.items():
        up = p
        while up in parents and up != pid:
            up = parents[up]
        if up == pid and name == "quarrow":
            found.append(p)
    return found


def screenshot(display, path):
    if path:
        subprocess.run(["import", "-display", display, "-window", "root", path], timeout=60,
                       check=True)


def run(args):
    with open(os.path.join(office.ROOT, "calc", "extension", "Addons.xcu"), encoding="utf-8") as f:
        url = TRAIN_URL.search(f.read()).group(0).replace("&amp;", "&")
    ctx = office.OFFICE["desktop"]
    toolkit = office.OFFICE["toolkit"]
    throws = office.csv_cells(os.path.join(office.SHEETS, "throws.csv"))
    doc = office.new_document("window", [("throws", throws)], hidden=False)
    office.select(doc, "throws")
    before = office.snapshot(doc)
    frame = doc.getCurrentController().getFrame()
    ctx.setActiveFrame(frame)
    dispatcher = office.OFFICE["create"]("com.sun.star.frame.DispatchHelper")
    # The menu's command runs modal dialogs, so it is given from a thread of its own.
    command = threading.Thread(target=dispatcher.executeDispatch,
                               args=(frame, url, "", 0, ()), daemon=True)
    command.start()

    dialog = wait_for("the Train dialog", lambda: top_window(toolkit, "Quarrow train"))
    edits = fields(dialog)
    texts = {k: v.getText() for k, v in edits.items()}
    assert texts["Inputs"] == "speed,angle" and texts["Outputs"] == "distance", texts
    assert texts["Mode column"] == "mode", texts
    # A run far longer than the test: nothing but Cancel ends it.
    for name, value in (("Epochs", "1000000"), ("Tolerance", "0"), ("Patience", "1000000")):
        edits[name].setText(value)
    screenshot(args.display, args.shots and os.path.join(args.shots, "train-dialog.png"))
    press(dialog, "Run")

    try:
        progress = wait_for("the progress window",
                            lambda: top_window(toolkit, "Quarrow: training"), 20)
    except AssertionError:
        screenshot(args.display, args.shots and os.path.join(args.shots, "after-run.png"))
        names = [toolkit.getTopWindow(i).getAccessibleContext().getAccessibleName()
                 for i in range(toolkit.getTopWindowCount())]
        raise AssertionError("no progress window; top windows: %r" % names)
    soffice = office.OFFICE["proc"].pid
    wait_for("the host", lambda: hosts_under(soffice))

    def host_line():
        labels = [n.getAccessibleName() for n in accessible_tree(progress)
                  if n.getAccessibleRole() == ROLE["LABEL"]]
        return [t for t in labels if t and t != "Starting..."]
    shown = wait_for("a line from the host", host_line)
    screenshot(args.display, args.shots and os.path.join(args.shots, "progress.png"))
    press(progress, "Cancel")
    wait_for("the host to stop", lambda: not hosts_under(soffice), 20)
    wait_for("the progress window to close",
             lambda: top_window(toolkit, "Quarrow: training") is None, 20)
    told = wait_for("the message of the cancelled run", lambda: top_window(toolkit, "Quarrow"),
                    20)
    assert any(n.getAccessibleName() == "The run was cancelled." for n in accessible_tree(told))
    press(told, "OK")
    command.join(20)
    assert not command.is_alive(), "the Train command did not return after Cancel"
    assert office.snapshot(doc) == before, "the document changed"
    assert doc.getSheets().getCount() == 1, doc.getSheets().getElementNames()
    doc.close(True)
    print("progress line:", shown[0])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quarrow", required=True)
    parser.add_argument("--oxt", required=True)
    parser.add_argument("--shots", help="save screenshots of the dialog and progress window here")
    parser.add_argument("--limit", type=int, default=180, help="seconds before giving up")
    args = parser.parse_args()
    office.ARGS = argparse.Namespace(quarrow=os.path.abspath(args.quarrow),
                                     oxt=os.path.abspath(args.oxt), keep=False,
                                     limit=args.limit)
    if args.shots:
        os.makedirs(args.shots, exist_ok=True)
    xvfb, args.display = start_display()
    watchdog = threading.Timer(args.limit, lambda: (xvfb.kill(), office.give_up()))
    watchdog.daemon = True
    watchdog.start()
    ok = False
    try:
        office.start_office(("--nodefault",), dict(os.environ, DISPLAY=args.display,
                                                   SAL_USE_VCLPLUGIN="gen"))
        ctx = office.OFFICE["ctx"]
        office.OFFICE["create"] = lambda name: ctx.ServiceManager.createInstanceWithContext(
            name, ctx)
        office.OFFICE["toolkit"] = office.OFFICE["create"]("com.sun.star.awt.Toolkit")
        run(args)
        ok = True
    finally:
        office.stop_office()
        xvfb.kill()
        xvfb.wait(10)
    print("test_calc_window: " + ("ok" if ok else "FAILED"), flush=True)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
