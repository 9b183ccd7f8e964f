#!/usr/bin/env python3
"""Screen-reader check of the find box over AT-SPI: its field is a text
field named by its hint and takes text through the accessibility bus; the
results are a list whose items read caption, country and place; the number
of results is a status bar that is announced as it changes.
Usage: atspi_find.py TARGET"""
import os
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import (check, find_app, finish, pump_until, read_line, status_announcements,  # noqa: E402
                           stop, wait_for)

TARGET = sys.argv[1]
APP_NAME = "miravon-a11y-target"
HINT = "Tìm kênh, phim hoặc quốc gia…"

env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET, "--find"], stdout=subprocess.PIPE, text=True, env=env)
try:
    check(read_line(proc, 30) == "ready", "the window is up with its find box")
    app = wait_for(lambda: find_app(APP_NAME), 30, "the program on the accessibility bus")
    field = wait_for(lambda: pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_TEXT and a.name == HINT), 30, "the find field")
    check(field.getState().contains(pyatspi.STATE_FOCUSED), "the field has the focus")
    check(field.getState().contains(pyatspi.STATE_EDITABLE), "the field is editable")
    results = pyatspi.findDescendant(app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_LIST)
    check(results is not None and results.name == "Kết quả tìm", "the results are a named list")
    count = pyatspi.findDescendant(app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_STATUS_BAR
                                   and a.description == "Số kết quả")
    check(count is not None, "the number of results is a status bar")

    announced = status_announcements()
    field.queryEditableText().setTextContents("germany")
    check(pump_until(lambda: "66 kết quả" in announced, 20), "the number of results is announced: %r" % announced)
    check(count.name == "66 kết quả", "the status reads %r" % count.name)
    check(pump_until(lambda: results.childCount == 66, 10), "the list has 66 items: %d" % results.childCount)
    first = results.getChildAtIndex(0) if results.childCount else None
    check(first is not None and first.name.endswith(" — Đức"),
          "an item reads its caption and country: %r" % (first.name if first else None))
    field.queryEditableText().setTextContents("zzqx")
    check(pump_until(lambda: "Không có kết quả" in announced, 20), "no result is announced too: %r" % announced)
finally:
    stop(proc)
sys.exit(finish())
