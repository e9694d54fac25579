#!/usr/bin/python3
"""Finds a control of a running program on the accessibility bus, by its role
and text, as a screen reader does, and clicks its centre with xdotool.

  a11y.py APP click ROLE TEXT [WINDOW]  click the control (waits up to 10 s for it)
  a11y.py APP find ROLE TEXT [WINDOW]   print its screen rectangle "x y w h"
  a11y.py APP names ROLE                print the text of every control of ROLE (what
                                        is typed in it for the role "text")
  a11y.py APP places ROLE [WINDOW]      print "TEXT<tab>x y w h" of every control of ROLE
                                        (waits up to 10 s for the first)
  a11y.py APP focus                     print "ROLE<tab>TEXT<tab>DESCRIPTION" of the
                                        control with the focus

WINDOW, when given, is the title of the top-level window to look in.

APP is the program's name on the bus (its executable's name), ROLE an AT-SPI
role name such as "push button", "label" or "check box". Exit 1 when the
control is not found in time. Needs the session bus and the AT-SPI bus that
tests/harness/session.sh --a11y starts.
"""
import subprocess
import sys
import time

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def controls(app_name, role, window=None):
    app = application(app_name)
    if app is None:
        return []
    roots = [app]
    if window is not None:
        roots = [app.getChildAtIndex(i) for i in range(app.childCount)]
        roots = [r for r in roots if r is not None and r.name == window]
    found = []
    for node in (n for r in roots for n in walk(r)):
        try:
            if node.getRoleName() == role and node.getState().contains(pyatspi.STATE_SHOWING):
                found.append(node)
        except Exception:
            continue
    return found


def focused(app_name):
    app = application(app_name)
    if app is None:
        return None
    for node in walk(app):
        try:
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                return node
        except Exception:
            continue
    return None


def find(app_name, role, text, window=None, timeout=10.0):
    end = time.time() + timeout
    while True:
        for node in controls(app_name, role, window):
            if node.name == text:
                return node
        if time.time() > end:
            return None
        time.sleep(0.2)


def rect(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def main(argv):
    if len(argv) < 3 and not (len(argv) == 2 and argv[1] == "focus"):
        print(__doc__, file=sys.stderr)
        return 2
    app, verb = argv[0], argv[1]
    role = argv[2] if len(argv) > 2 else ""
    if verb == "names":
        for node in controls(app, role):
            print(node.name if role != "text" else node.queryText().getText(0, -1))
        return 0
    if verb == "places":
        window = argv[3] if len(argv) > 3 else None
        end = time.time() + 10
        nodes = controls(app, role, window)
        while not nodes and time.time() < end:
            time.sleep(0.2)
            nodes = controls(app, role, window)
        for node in nodes:
            print(node.name + "\t" + " ".join(str(v) for v in rect(node)))
        return 0 if nodes else 1
    if verb == "focus":
        node = focused(app)
        if node is None:
            return 1
        print(f"{node.getRoleName()}\t{node.name}\t{node.description}")
        return 0
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    node = find(app, role, argv[3], argv[4] if len(argv) > 4 else None)
    if node is None:
        print(f"no {role} '{argv[3]}' in {app}", file=sys.stderr)
        return 1
    x, y, w, h = rect(node)
    if verb == "find":
        print(x, y, w, h)
        return 0
    if verb == "click":
        # No --sync: it waits for a motion that never comes when the pointer
        # is already there. The server takes the move before the click.
        subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2),
                        "click", "1"], check=True)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
