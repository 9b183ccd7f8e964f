#!/usr/bin/env python3
"""Screen-reader check of a country's other channels over AT-SPI: the link
on the French panel is a push button named by the number it opens; pressed,
the list appears with its number of channels announced, its rows named by
channel, group and quality; "Quay lại" is a push button that puts the list
away and brings the link back.
Usage: atspi_channels.py TARGET"""
import os
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import (check, find_app, finish, pump_until, read_line, status_announcements,  # noqa: E402
                           stop, wait_for)

TARGET = sys.argv[1]
APP_NAME = "miravon-a11y-target"


def showing(acc):
    return acc is not None and acc.getState().contains(pyatspi.STATE_SHOWING)


def find(root, role, name):
    return pyatspi.findDescendant(root, lambda a: a is not None and a.getRole() == role and a.name == name
                                  and showing(a))


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("Press" in names, "%r offers a press action (has %s)" % (acc.name, names))
    action.doAction(names.index("Press"))


env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET, "--channels"], stdout=subprocess.PIPE, text=True, env=env)
try:
    check(read_line(proc, 30) == "ready", "the French panel is up with the lists' channels")
    app = wait_for(lambda: find_app(APP_NAME), 30, "the program on the accessibility bus")
    link = wait_for(lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Thêm 3 kênh khác"), 30, "the link")
    check("Pháp" in link.description, "the link says what it opens: %r" % link.description)

    announced = status_announcements()
    press(link)
    rows = wait_for(lambda: pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_LIST and showing(a)), 20, "the channel list")
    check(rows.name == "Kênh khác: Pháp", "the list is named by what it holds: %r" % rows.name)
    check(pump_until(lambda: "Pháp: 3 kênh" in announced, 20), "the number of channels is announced: %r" % announced)
    names = [rows.getChildAtIndex(i).name for i in range(rows.childCount)]
    check(names == ["Arte, Culture, 1080p", "France 24, News, 720p", "TV5Monde"], "the rows are named: %r" % names)
    check(rows.getState().contains(pyatspi.STATE_FOCUSED) or any(
        rows.getChildAtIndex(i).getState().contains(pyatspi.STATE_FOCUSED) for i in range(rows.childCount)),
        "the list has the focus")

    back = find(app, pyatspi.ROLE_PUSH_BUTTON, "Quay lại")
    check(back is not None, "“Quay lại” is a push button")
    if back:
        press(back)
        check(pump_until(lambda: not showing(rows), 10), "the list is put away")
        check(pump_until(lambda: showing(link), 10), "the link is back")
finally:
    stop(proc)
sys.exit(finish())
