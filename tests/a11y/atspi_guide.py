#!/usr/bin/env python3
"""Screen-reader check of the programme guide over AT-SPI: an entry's
description (its tooltip) says what is on now and next; the schedule window
is a frame named by its channel, whose programmes are a named list with a
heading for each day, and the programme on now is the selected item and
says that it is on.
Usage: atspi_guide.py TARGET"""
import os
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import check, find_app, finish, read_line, stop, wait_for  # noqa: E402

TARGET = sys.argv[1]
APP_NAME = "miravon-a11y-target"
NOW_NEXT = "Đang phát 20:00–21:00 Thời sự · Tiếp theo 21:00 Phim truyện"

env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET, "--guide"], stdout=subprocess.PIPE, text=True, env=env)
try:
    check(read_line(proc, 60) == "ready", "the guide is read and the schedule window is up")
    app = wait_for(lambda: find_app(APP_NAME), 30, "the program on the accessibility bus")

    logo = wait_for(lambda: pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "VTV1"), 30,
        "the VTV1 entry")
    check(NOW_NEXT in logo.description, "the entry's description says now and next: %r" % logo.description)

    frame = wait_for(lambda: next((c for c in app if c is not None and c.getRole() == pyatspi.ROLE_FRAME
                                   and c.name == "Lịch phát sóng — VTV1"), None), 30, "the schedule window")
    programmes = pyatspi.findDescendant(
        frame, lambda a: a is not None and a.getRole() == pyatspi.ROLE_LIST and a.name == "Lịch phát sóng của VTV1")
    check(programmes is not None, "the programmes are a list named by the channel")
    if programmes is not None:
        names = [programmes.getChildAtIndex(i).name for i in range(programmes.childCount)]
        check(names == ["Hôm nay, Thứ Sáu, 11/12/2026", "▶ 20:00–21:00 Thời sự — đang phát",
                        "21:00–22:30 Phim truyện", "Ngày mai, Thứ Bảy, 12/12/2026", "08:00–09:00 Chào buổi sáng"],
              "the items read the days and the programmes: %r" % names)
        selected = [programmes.getChildAtIndex(i).name for i in range(programmes.childCount)
                    if programmes.getChildAtIndex(i).getState().contains(pyatspi.STATE_SELECTED)]
        check(selected == ["▶ 20:00–21:00 Thời sự — đang phát"],
              "the programme on now is the selected item: %r" % selected)
finally:
    stop(proc)
sys.exit(finish())
