#!/usr/bin/python3
"""What a screen reader sees of a program, for the tests: through AT-SPI on the session bus of
DBUS_SESSION_BUS_ADDRESS.
    atspi_tree.py tree APP          one JSON object a line for each accessible object of the
                                    application named APP: role, name, description, actions,
                                    extents on the screen, showing
    atspi_tree.py press APP NAME    runs the "Press" action of the first showing object so named"""
import json
import sys

import pyatspi
from gi.repository import GLib


def application(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    sys.exit("no application " + name)


def walk(accessible):
    """Every object below, depth first; a page that changes meanwhile takes some away (skipped)."""
    yield accessible
    try:
        children = [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]
    except GLib.GError:
        return
    for child in children:
        if child is not None:
            yield from walk(child)


def actions(accessible):
    try:
        action = accessible.queryAction()
        return [action.getName(i) for i in range(action.nActions)]
    except (NotImplementedError, GLib.GError):
        return []


def describe(accessible):
    try:
        e = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        extents = [e.x, e.y, e.width, e.height]
    except NotImplementedError:
        extents = None
    role = accessible.getRoleName()
    # at-spi2-core 2.46 (Debian 12) says "push button", later ones (Debian 13) "button".
    role = "push button" if role == "button" else role
    return {"role": role, "name": accessible.name,
            "description": accessible.description, "actions": actions(accessible), "extents": extents,
            "showing": accessible.getState().contains(pyatspi.STATE_SHOWING),
            "focused": accessible.getState().contains(pyatspi.STATE_FOCUSED)}


if sys.argv[1] == "tree":
    for accessible in walk(application(sys.argv[2])):
        try:
            print(json.dumps(describe(accessible)))
        except GLib.GError:
            pass  # gone meanwhile
elif sys.argv[1] == "press":
    for accessible in walk(application(sys.argv[2])):
        try:
            names = actions(accessible)
            if accessible.name == sys.argv[3] and "Press" in names and \
                    accessible.getState().contains(pyatspi.STATE_SHOWING):
                accessible.queryAction().doAction(names.index("Press"))
                sys.exit(0)
        except GLib.GError:
            pass  # gone meanwhile
    sys.exit("nothing to press called " + sys.argv[3])
