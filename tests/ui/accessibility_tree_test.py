#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Reads the main window and the preview window over AT-SPI, as a screen reader does.

Fails on any control a user can reach or that shows a state (a button, a text box, a
list, a slider, a progress bar, a picture) whose name is empty, on a drop-down list that
no caption labels (its own name is only its current entry), and when the names that
the window gives its controls, or their updates, do not arrive. Started by
accessibility_tree_test.sh inside a private X server and session bus.
"""

import os
import select
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

# Roles of controls that must say what they are even when they take no focus.
NAMED_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "text",
    "entry", "password text", "slider", "spin button", "progress bar", "tree",
    "tree table", "table", "list", "list box", "image", "page tab", "link", "menu item",
}

LIST_TIP = ("Drag and drop files here. Double-click item to remove it. Move | line to "
            "right and out of window to reveal full names.")

# (role, name, description or None when any will do)
EXPECTED = [
    ("tree", "Image files", LIST_TIP),
    ("text", "Stamp text", None),
    ("progress bar", "Stamping progress", "Progress Bar"),
    ("push button", "Choose the output folder", None),
    ("push button", "About the JPG image quality", None),
    ("image", "Font colour: white, #FFFFFF", None),
    ("image", "Stamped preview of the first image", None),
]

TIMEOUT = 60


def fail(message, app=None):
    print("FAIL: " + message)
    if app is not None:
        print("The tree as read:")
        dump(app)
    sys.exit(1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def children(node):
    return [c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c]


def dump(node, depth=0):
    try:
        print("%s%s %r (%r)%s" % ("  " * depth, node.getRoleName(), node.name,
                                   node.description, "" if showing(node) else " hidden"))
        for child in children(node):
            dump(child, depth + 1)
    except Exception as error:  # a node may vanish while it is read
        print("%s<unreadable: %s>" % ("  " * depth, error))


def nodes(node):
    """Every node the user can see, depth first."""
    if not showing(node):
        return
    yield node
    for child in children(node):
        yield from nodes(child)


def labelled(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                if relation.getTarget(i).name:
                    return True
    return False


def where(node):
    path = []
    while node is not None and node.getRoleName() != "application":
        path.append("%s %r" % (node.getRoleName(), node.name))
        node = node.parent
    return " < ".join(path)


def unnamed(app):
    faults = []
    for node in nodes(app):
        role = node.getRoleName()
        focusable = node.getState().contains(pyatspi.STATE_FOCUSABLE)
        if (focusable or role in NAMED_ROLES) and not node.name.strip():
            faults.append("no name: " + where(node))
        if role == "combo box" and not labelled(node):
            faults.append("no caption labels it: " + where(node))
    return faults


def find(app, role, name):
    for node in nodes(app):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def wait_for(what, condition, app=None):
    """Runs the event loop until condition() holds; fails after TIMEOUT seconds."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    fail("waited %d s in vain for %s" % (TIMEOUT, what), app)


def start_host(path):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               QT_QPA_PLATFORM="xcb")
    host = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env,
                            text=True)
    ready, _, _ = select.select([host.stdout], [], [], TIMEOUT)
    if not ready or host.stdout.readline().strip() != "ready":
        host.kill()
        fail("the host program did not show its windows")
    return host


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        try:
            if app.get_process_id() == pid and len(children(app)) >= 2:
                return app
        except Exception:  # an application that left the bus meanwhile
            pass
    return None


def main():
    host = start_host(sys.argv[1])
    try:
        app = wait_for("the program's two windows on the accessibility bus (is the AT-SPI "
                       "bus running?)", lambda: application(host.pid))

        faults = unnamed(app)
        for role, name, description in EXPECTED:
            node = find(app, role, name)
            if node is None:
                faults.append("missing: %s %r" % (role, name))
            elif description is not None and node.description != description:
                faults.append("%s %r describes itself as %r, not %r"
                              % (role, name, node.description, description))
        if faults:
            fail("\n  ".join(["controls that do not say what they are:"] + faults), app)

        # The swatch says the new colour as soon as it changes.
        find(app, "push button", "Change Color").queryAction().doAction(0)
        wait_for("the swatch to name the chosen red",
                 lambda: find(app, "image", "Font colour: red, #FF0000"), app)

        # The progress bar's text, as a run shows it, reaches the screen reader, and the
        # change is announced.
        announced = []

        def on_description(event):
            if event.source.getRoleName() == "progress bar":
                announced.append(event.source.description)

        pyatspi.Registry.registerEventListener(
            on_description, "object:property-change:accessible-description")
        text = "Processing: 50%p summer.jpg"
        host.stdin.write("progress %s\n" % text)
        host.stdin.flush()
        bar = find(app, "progress bar", "Stamping progress")
        wait_for("the progress bar's text %r" % text, lambda: bar.description == text, app)
        wait_for("the announcement of the progress bar's new text", lambda: text in announced,
                 app)
        value = bar.queryValue().currentValue
        if value != 50:
            fail("the progress bar's value reads %r, not 50" % value, app)
        print("PASS: every control says what it is")
    finally:
        host.kill()
        host.wait()


if __name__ == "__main__":
    main()
