#!/usr/bin/env python3
"""Screen-reader check over AT-SPI: the windows are frames named by their
titles; a logo and a text entry are push buttons named by their channel and
caption; pressing one through its action puts its address on the player;
menu items are named; headings are headings and the status line is text.
Usage: atspi_press.py TARGET CHANNELS_TSV"""
import csv
import os
import subprocess
import sys

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import check, failures, find_app, finish, read_line, stop, wait_for  # noqa: E402

TARGET, CHANNELS = sys.argv[1], sys.argv[2]
APP_NAME = "miravon-a11y-target"




def address(window, control):
    with open(CHANNELS, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            if row["window"] == window and row["control"] == control:
                return row["address"]
    raise KeyError(control)








def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def find(root, role, name):
    return pyatspi.findDescendant(
        root, lambda a: a is not None and a.getRole() == role and a.name == name and showing(a))


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("Press" in names, "%r offers a press action (has %s)" % (acc.name, names))
    action.doAction(names.index("Press"))


env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET], stdout=subprocess.PIPE, text=True, env=env)
try:
    check(read_line(proc, 30) == "ready", "the program's windows are up")
    app = wait_for(lambda: find_app(APP_NAME), 30, "the program on the accessibility bus")
    frames = wait_for(lambda: [c for c in app if c is not None and c.getRole() == pyatspi.ROLE_FRAME and showing(c)]
                      if sum(1 for c in app if c is not None and showing(c)) >= 2 else None, 30, "two windows")
    names = sorted(f.name for f in frames)
    check(names == ["Danh sách quốc gia", "MIRAVON ----- Kestrin --- kestrin@example.org"],
          "windows are frames named by their titles, with their tones: %s" % names)
    main = next(f for f in frames if f.name.startswith("MIRAVON"))
    chooser = next(f for f in frames if f.name == "Danh sách quốc gia")

    # A logo of the Vietnamese panel, by its channel's name.
    logo = find(main, pyatspi.ROLE_PUSH_BUTTON, "VTV1")
    check(logo is not None, "the VTV1 logo is a push button")
    if logo:
        press(logo)
        line = read_line(proc, 10)
        check(line == "put frmmain " + address("frmmain", "Image4"), "pressing it puts its address: %r" % line)

    # A country of the chooser, by its caption as displayed.
    usa = find(chooser, pyatspi.ROLE_PUSH_BUTTON, "USA - Mỹ ( 143 Kênh )")
    check(usa is not None, "the USA line of the chooser is a push button")
    check(find(chooser, pyatspi.ROLE_PUSH_BUTTON, "( 25 Kênh )") is None, "a count line is no button")
    if usa:
        press(usa)
        # frmmain now shows its first USA panel; press its first channel.
        entry = wait_for(lambda: find(main, pyatspi.ROLE_PUSH_BUTTON, "3ABN"), 10, "the 3ABN entry")
        press(entry)
        line = read_line(proc, 10)
        check(line == "put frmmain " + address("frmmain", "usa1_1"), "pressing 3ABN puts its address: %r" % line)

    # The menu bar's items, the flag picture included, all have names.
    bar = pyatspi.findDescendant(main, lambda a: a is not None and a.getRole() == pyatspi.ROLE_MENU_BAR)
    check(bar is not None, "the window has a menu bar")
    if bar:
        items = [bar.getChildAtIndex(i) for i in range(bar.childCount)]
        item_names = [i.name for i in items]
        check(len(items) == 7 and all(item_names) and item_names[-2:] == ["Gần đây", "Yêu thích"],
              "every item of the menu bar is named: %s" % item_names)
        check(item_names.count("Truyền Hình Việt Nam") == 2, "the flag item is named by what it chooses")

    # The status line is text, not a button.
    status = pyatspi.findDescendant(main, lambda a: a is not None and a.name.startswith("Miravon v1.0 Beta"))
    check(status is not None and status.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC),
          "the status line is static text (%s)" % (status.getRoleName() if status else None))

    # A line of several countries brings up frmmain2, whose panels carry
    # country headings.
    countries = pyatspi.findDescendant(
        chooser, lambda a: a is not None and a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name.startswith("Armenia"))
    check(countries is not None, "the Armenia ... Bolivia line is a push button")
    if countries:
        press(countries)
        heading = wait_for(lambda: next((pyatspi.findDescendant(f, lambda a: a is not None and showing(a)
                                                              and a.getRole() == pyatspi.ROLE_HEADING)
                                         for f in app if f is not None and showing(f)
                                         and f.getRole() == pyatspi.ROLE_FRAME and f.name.startswith("MIRAVON")),
                                        None), 10, "a heading on frmmain2")
        check(bool(heading.name), "country headings are headings: %r" % heading.name)
finally:
    stop(proc)

sys.exit(finish())
