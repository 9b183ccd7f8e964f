#!/usr/bin/env python3
"""Screen-reader check of the player's status over AT-SPI: the status is a
status bar named by what it says now, the time is read by its text, and a
change of the status is announced (a name-change event) as the clip plays
to its end.
Usage: atspi_status.py TARGET CLIP"""
import os
import subprocess
import sys
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import check, failures, find_app, finish, read_line, stop, wait_for  # noqa: E402
from gi.repository import GLib

TARGET, CLIP = sys.argv[1], sys.argv[2]
APP_NAME = "miravon-a11y-player"
FINISHED = "Đã phát xong"










announced = []


def on_name(event):
    if event.source is not None and event.source.getRole() == pyatspi.ROLE_STATUS_BAR:
        announced.append(event.source.name)


env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET, CLIP], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)
try:
    check(read_line(proc, 30) == "ready", "the player's window is up")
    app = wait_for(lambda: find_app(APP_NAME), 30, "the program on the accessibility bus")
    status = wait_for(lambda: pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_STATUS_BAR), 30, "the status bar")
    check(status.description == "Trạng thái", "the status says what it is: %r" % status.description)
    pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
    proc.stdin.write("go\n")
    proc.stdin.flush()
    # Events arrive through the main loop: run it until the clip has ended.
    deadline = time.monotonic() + 60
    context = GLib.MainContext.default()
    while time.monotonic() < deadline and FINISHED not in announced:
        while context.pending():
            context.iteration(False)
        time.sleep(0.05)
    check(FINISHED in announced, "the end of the clip is announced: %r" % announced)
    check(len(announced) >= 2, "so is each change before it: %r" % announced)
    check(status.name == FINISHED, "the status reads %r" % status.name)
    time_label = pyatspi.findDescendant(app, lambda a: a is not None and a.description == "Thời gian")
    check(time_label is not None and ":" in time_label.name,
          "the time is read by its text: %r" % (time_label.name if time_label else None))
finally:
    stop(proc)

sys.exit(finish())
