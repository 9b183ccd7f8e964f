#!/usr/bin/env python3
"""What Orca itself speaks, unasked, of the outcome of a key or a click: an
entry that fails (and why), one without an address, one that plays, the
player paused and muted by its keys after a click on the entry, the
address window's refusal of an address it cannot take, and the offer of the public lists with its failed update. Real keys and clicks
(XTest, through xdotool) on the real program with its real player, Orca
43 reading it over AT-SPI, its speech read back from its debug log.
Prints what Orca said.
Usage: orca_outcomes.py TARGET   (under a window manager, on its own
display and session bus)"""
import os
import socket
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_support import check, finish, read_line, stop  # noqa: E402
from orca_session import OrcaSession  # noqa: E402

TARGET = sys.argv[1]
SAY = 15  # seconds an utterance is waited for


def closed_port():
    """A loopback port nothing listens on."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def setup(config, media):
    """The program's own files: VTV3 at a closed port, VTV1 on a long clip
    of this computer, the public lists at a closed port too."""
    clip = os.path.join(media, "long.mp4")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10",
                    "-t", "120", "-c:v", "mpeg4", "-q:v", "20", clip], check=True)
    folder = os.path.join(config, "miravon")
    os.makedirs(folder, exist_ok=True)
    port = closed_port()
    with open(os.path.join(folder, "addresses.tsv"), "w", encoding="utf-8") as f:
        f.write("window\tcontrol\taddress\treferrer\tuser_agent\n")
        f.write("frmmain\tImage5\thttp://127.0.0.1:%d/vtv3.ts\t\t\n" % port)
        f.write("frmmain\tImage4\tfile://%s\t\t\n" % clip)
    with open(os.path.join(folder, "settings.ini"), "w", encoding="utf-8") as f:
        f.write("channels/source=http://127.0.0.1:%d/lists/{code}.m3u\n" % port)


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers"] + list(keys), check=True)


work = tempfile.mkdtemp(prefix="miravon-orca-test-")
config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(work, "config")
setup(config, work)

orca = OrcaSession()
proc = None
try:
    orca.start()
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
    proc = subprocess.Popen([TARGET], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)

    def command(line):
        proc.stdin.write(line + "\n")
        proc.stdin.flush()
        return read_line(proc, 10)

    def heard(what, text, seconds=SAY):
        said = orca.wait_spoken(lambda s: text in s, seconds)
        check(said is not None, "%s: Orca says %r (it said %r)" % (what, text, said or orca.since()))
        return said

    check(read_line(proc, 30) == "ready", "the program's window is up")
    # Orca meets the window; what it says on it is not this test's.
    orca.wait_spoken(lambda s: "MIRAVON" in s, SAY)

    # An entry read once, with its short description and nothing more.
    command("focus Image5")
    heard("focus on an entry", "VTV3")
    entry = orca.settle()
    said = " / ".join(entry)
    check(said.count("VTV3") == 0, "the entry's name is read once: %r" % said)
    check(entry == ["địa chỉ riêng của bạn."], "then its short description alone: %r" % entry)

    # An entry that fails, by Enter.
    key("Return")
    heard("an entry that fails", "Không phát được VTV3: máy chủ từ chối kết nối")

    # An entry without an address.
    command("focus Image1")
    heard("focus on HTV7", "HTV7")
    key("Return")
    heard("an entry without an address", "Kênh HTV7 chưa có địa chỉ xem được")

    # An entry that plays, by a click; the player's keys then.
    where = command("where Image4")
    x, y = where.split()[1:3]
    subprocess.run(["xdotool", "mousemove", x, y, "click", "1"], check=True)
    heard("a click on an entry", "Đang mở VTV1")
    heard("the entry plays", "Đang phát VTV1", 30)
    key("space")
    heard("Space after the click", "Tạm dừng")
    key("space")
    heard("Space again", "Phát tiếp")
    key("m")
    heard("M after the click", "Đã tắt tiếng")
    key("Up")
    heard("Up after the click", "Âm lượng 55%")

    # The address window refuses what is no address, and says why.
    command("address Image8")
    heard("the address window opens", "Đặt địa chỉ — VTC1")
    key("ctrl+a")
    subprocess.run(["xdotool", "type", "--delay", "20", "vtc1 trang chu"], check=True)
    key("Return")
    heard("the address window's refusal", "Địa chỉ phải là một URL đầy đủ")
    key("Escape")

    # The offer of the public lists: read as it appears, answered by
    # Enter on its first answer, its failed update said and kept.
    command("offer")
    heard("the offer appears", "Tải các danh sách kênh công khai (127.0.0.1:")
    key("Return")
    heard("the offer's update fails", "Không tải được danh sách kênh nào (máy chủ từ chối kết nối)", 60)

    print("Orca said:")
    for line in orca.spoken():
        print("  " + line)
finally:
    if proc:
        stop(proc)
    orca.stop()
sys.exit(finish())
