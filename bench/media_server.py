#!/usr/bin/python3
# The benchmarks' loopback server, in its own process so that serving never
# competes with the measured program's threads.
#
#   media_server.py MEDIA_DIR [--delay-ms N] [--rtsp] [--no-nagle]
#
# HTTP: every file of MEDIA_DIR (with byte ranges), and /<name>.asx, an ASX
# playlist naming /<name> on this server. Each answer waits N ms first, as a
# distant server would. With --rtsp, also an RTSP server with one live mount
# (/live, H.264, a key frame every 2 frames) whose pipeline is started, and
# kept running, by a client of this process before the port is printed: the
# measured clients meet a running broadcast, not a pipeline being built.
# --no-nagle sends each answer at once (TCP_NODELAY), as a production server
# does: without it, an answer written in two parts waits about 40 ms for the
# client's delayed acknowledgement on a kept-alive connection, which would
# dominate a benchmark of many small documents.
# Prints "HTTP <port>" (and "RTSP <port>"), then runs until stdin closes.
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

media = sys.argv[1]
delay = 0.0
if "--delay-ms" in sys.argv:
    delay = int(sys.argv[sys.argv.index("--delay-ms") + 1]) / 1000.0


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = "--no-nagle" in sys.argv

    def log_message(self, *args):
        pass

    def do_GET(self):
        if delay:
            time.sleep(delay)
        name = self.path.split("?")[0].lstrip("/")
        if name.endswith(".asx"):
            host = self.headers.get("Host", "127.0.0.1")
            body = ('<asx version="3.0"><entry><ref href="http://%s/%s"/></entry></asx>'
                    % (host, name[:-4])).encode()
            return self.answer(200, body, "video/x-ms-asf")
        path = os.path.join(media, os.path.basename(name))
        if not os.path.isfile(path):
            return self.answer(404, b"not here", "text/plain")
        with open(path, "rb") as f:
            data = f.read()
        rng = self.headers.get("Range", "")
        if rng.startswith("bytes="):
            first, _, last = rng[6:].partition("-")
            start = int(first or 0)
            end = int(last) if last else len(data) - 1
            if start >= len(data):
                return self.answer(416, b"", "text/plain")
            return self.answer(206, data[start:end + 1], "video/x-ms-wmv",
                               {"Content-Range": "bytes %d-%d/%d" % (start, end, len(data))})
        self.answer(200, data, "video/x-ms-wmv")

    def answer(self, code, body, mime, extra=None):
        self.send_response(code)
        self.send_header("Content-Type", mime)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Accept-Ranges", "bytes")
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        try:
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass


http = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
http.daemon_threads = True
threading.Thread(target=http.serve_forever, daemon=True).start()
print("HTTP %d" % http.server_address[1], flush=True)

if "--rtsp" not in sys.argv:
    sys.stdin.read()
    sys.exit(0)

import gi  # noqa: E402
gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402

Gst.init(None)
server = GstRtspServer.RTSPServer()
server.set_address("127.0.0.1")
server.set_service("0")
live = GstRtspServer.RTSPMediaFactory()
live.set_launch("( videotestsrc is-live=true ! video/x-raw,width=320,height=240,framerate=25/1 "
                "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=2 ! rtph264pay name=pay0 pt=96 )")
live.set_shared(True)
server.get_mount_points().add_factory("/live", live)
server.attach(None)
port = server.get_bound_port()

# The client that keeps the broadcast running.
keeper = Gst.parse_launch("rtspsrc location=rtsp://127.0.0.1:%d/live protocols=tcp ! fakesink sync=false" % port)
keeper.set_state(Gst.State.PLAYING)
loop = GLib.MainLoop()


def announce():
    print("RTSP %d" % port, flush=True)
    return False


# Announce once the keeper has data flowing.
GLib.timeout_add(1500, announce)
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_HUP | GLib.IO_IN,
                  lambda *a: (loop.quit(), False)[1])
loop.run()
keeper.set_state(Gst.State.NULL)
