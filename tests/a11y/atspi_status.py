#!/usr/bin/env python3
"""Screen-reader check of the player's status over AT-SPI: the status is a
status bar named by what it says now, the time is read by its text, and a
change of the status is announced (a name-change event) as the clip plays
to its end.
Usage: atspi_status.py TARGET CLIP"""
import os
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import (check, find_app, finish, pump_until, read_line, status_announcements,  # noqa: E402
                           stop, wait_for)

TARGET, CLIP = sys.argv[1], sys.argv[2]
APP_NAME = "miravon-a11y-player"
FINISHED = "Đã phát xong"










env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET, CLIP], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)
try:
    check(read_line(proc, 30) == "ready", "the player's window is up")
    app = wait_for(lambda: find_app(APP_NAME), 30, "the program on the accessibility bus")
    status = wait_for(lambda: pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_STATUS_BAR), 30, "the status bar")
    check(status.description == "Trạng thái", "the status says what it is: %r" % status.description)
    announced = status_announcements()
    proc.stdin.write("go\n")
    proc.stdin.flush()
    pump_until(lambda: FINISHED in announced, 60)
    check(FINISHED in announced, "the end of the clip is announced: %r" % announced)
    check(len(announced) >= 2, "so is each change before it: %r" % announced)
    check(status.name == FINISHED, "the status reads %r" % status.name)
    time_label = pyatspi.findDescendant(app, lambda a: a is not None and a.description == "Thời gian")
    check(time_label is not None and ":" in time_label.name,
          "the time is read by its text: %r" % (time_label.name if time_label else None))
finally:
    stop(proc)

sys.exit(finish())
