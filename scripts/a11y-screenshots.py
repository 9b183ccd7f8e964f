#!/usr/bin/env python3
"""Takes the screenshots of docs/screenshots that show outcomes kept and
full screen: the offer of the public lists answered "Có" with the lists'
server down, its failure kept in the sources window; and VTV1 playing a
clip of this computer in full screen. Runs the program's first viewer
window (the build's tests/a11y/a11y_outcomes) on the current display, with
folders of its own; run it through scripts/a11y-screenshots.sh, which gives
it Xvfb and openbox at scale 1 and 2.
Usage: a11y-screenshots.py TARGET OUTDIR SUFFIX"""
import os
import socket
import subprocess
import sys
import tempfile
import time

TARGET, OUT, SUFFIX = sys.argv[1:4]


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers"] + list(keys), check=True)


def shot(name):
    subprocess.run(["import", "-window", "root", os.path.join(OUT, name + SUFFIX + ".png")], check=True)


work = tempfile.mkdtemp(prefix="miravon-shots-")
folder = os.path.join(work, "config", "miravon")
os.makedirs(folder)
clip = os.path.join(work, "clip.mp4")
subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-t", "120",
                "-c:v", "mpeg4", "-q:v", "5", clip], check=True)
port = closed_port()
with open(os.path.join(folder, "addresses.tsv"), "w", encoding="utf-8") as f:
    f.write("window\tcontrol\taddress\treferrer\tuser_agent\n")
    f.write("frmmain\tImage4\tfile://%s\t\t\n" % clip)
with open(os.path.join(folder, "settings.ini"), "w", encoding="utf-8") as f:
    f.write("channels/source=http://127.0.0.1:%d/lists/{code}.m3u\n" % port)
env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_DATA_HOME=os.path.join(work, "data"),
           XDG_CACHE_HOME=os.path.join(work, "cache"), QT_QPA_PLATFORM="xcb", MIRAVON_A11Y_DRAW="1")


def run(steps):
    """One run of the program, its own, for one picture."""
    global proc
    proc = subprocess.Popen([TARGET], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)
    try:
        assert proc.stdout.readline().strip() == "ready"
        time.sleep(2)
        steps()
        command("quit")
    finally:
        proc.terminate()
        proc.wait(10)


def command(line):
    proc.stdin.write(line + "\n")
    proc.stdin.flush()
    return proc.stdout.readline().strip()


def full_screen():
    # VTV1 by a click, then F: full screen.
    # "where" answers in the program's own units: the screen's are
    # QT_SCALE_FACTOR times as many.
    scale = float(os.environ.get("QT_SCALE_FACTOR", "1"))
    x, y = (str(int(float(v) * scale)) for v in command("where Image4").split()[1:3])
    subprocess.run(["xdotool", "mousemove", x, y, "click", "1"], check=True)
    time.sleep(4)
    key("f")
    time.sleep(6)
    shot("full-screen")
    key("Escape")
    time.sleep(1)


def failure_kept():
    # The offer takes the focus; Return answers "Có"; the update fails.
    command("offer")
    time.sleep(2)
    key("Return")
    time.sleep(8)
    command("sources")
    time.sleep(3)
    shot("sources-failure-kept")
    key("Escape")
    time.sleep(1)


run(failure_kept)
run(full_screen)
