#!/usr/bin/python3
# A loopback RTSP server for the player tests: a live mount (/live) and an
# on-demand mount (/vod, the H.264 clip). Binds 127.0.0.1 on a free port,
# prints "PORT <n>" once listening, and runs until its stdin closes.
import sys
import gi
gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import Gst, GstRtspServer, GLib

Gst.init(None)
clip = sys.argv[1]

server = GstRtspServer.RTSPServer()
server.set_address("127.0.0.1")
server.set_service("0")
mounts = server.get_mount_points()

live = GstRtspServer.RTSPMediaFactory()
live.set_launch("( videotestsrc is-live=true ! video/x-raw,width=160,height=120,framerate=10/1 "
                "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=10 ! rtph264pay name=pay0 pt=96 )")
live.set_shared(True)
mounts.add_factory("/live", live)

vod = GstRtspServer.RTSPMediaFactory()
vod.set_launch("( filesrc location=%s ! qtdemux ! h264parse ! rtph264pay name=pay0 pt=96 )" % clip)
mounts.add_factory("/vod", vod)

loop = GLib.MainLoop()
server.attach(None)
print("PORT %d" % server.get_bound_port(), flush=True)
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_HUP | GLib.IO_IN,
                  lambda *a: (loop.quit(), False)[1])
loop.run()
