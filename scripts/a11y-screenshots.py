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
           XDG_CACHE_HOME=os.path.join(work, "cache"), QT_QPA_PLATFORM="xcb")
proc = subprocess.Popen([TARGET], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)


def command(line):
    proc.stdin.write(line + "\n")
    proc.stdin.flush()
    return proc.stdout.readline().strip()


try:
    assert proc.stdout.readline().strip() == "ready"
    time.sleep(2)
    # The offer takes the focus; Return answers "Có"; the update fails.
    command("offer")
    time.sleep(1)
    key("Return")
    time.sleep(4)
    command("sources")
    time.sleep(2)
    shot("sources-failure-kept")
    key("Escape")
    time.sleep(1)
    # VTV1 by a click, then F: full screen.
    x, y = command("where Image4").split()[1:3]
    subprocess.run(["xdotool", "mousemove", x, y, "click", "1"], check=True)
    time.sleep(4)
    key("f")
    time.sleep(3)
    shot("full-screen")
    key("Escape")
    command("quit")
finally:
    proc.terminate()
    proc.wait(10)
