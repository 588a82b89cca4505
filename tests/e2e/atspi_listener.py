#!/usr/bin/python3
"""A screen reader's ears, for the tests: on the session bus of DBUS_SESSION_BUS_ADDRESS, listens to
every key through AT-SPI as a screen reader does (consuming none) and to the applications' focus
events (Qt hands its keys to the registry only while some technology listens to events). Writes
"listening" once registered, then one line per key it heard to the file given, and, when a second
is given, one JSON object a line per focus and caret event to it, in the order a reader gets them.
    atspi_listener.py LOG [EVENTS]"""
import json
import sys

import pyatspi
from gi.repository import GLib

log = open(sys.argv[1], "a", buffering=1)


def heard(event):
    kind = "press" if event.type == pyatspi.KEY_PRESSED_EVENT else "release"
    log.write("%s %d %s\n" % (kind, event.hw_code, event.event_string))
    return False


def told(event):
    try:
        events.write(json.dumps({"event": event.type, "role": event.source.getRoleName(),
                                 "name": event.source.name}) + "\n")
    except GLib.GError:  # gone meanwhile
        pass


pyatspi.Registry.registerEventListener(lambda event: None, "object:state-changed:focused")
if len(sys.argv) > 2:
    events = open(sys.argv[2], "a", buffering=1)
    pyatspi.Registry.registerEventListener(told, "focus:", "object:text-caret-moved")
pyatspi.Registry.registerKeystrokeListener(
    heard, mask=pyatspi.allModifiers(), kind=(pyatspi.KEY_PRESSED_EVENT, pyatspi.KEY_RELEASED_EVENT),
    synchronous=True, preemptive=True)
print("listening", flush=True)
pyatspi.Registry.start()
