"""Debian's own screen reader, Orca, run for a test: on the test's session
bus and X display, speaking through speech-dispatcher and espeak-ng into
ALSA's null device, its debug log read back for what it spoke.

Orca names its process "orca"; started with --replace it kills every other
process of that name, and without it refuses to start beside one. Here it
runs under a name of its own (NAME) and neither looks for others nor kills
them, so that it can run beside a user's Orca or another test's. Its
speech-dispatcher is private too: its own runtime folder (socket, pid file)
and configuration.

Run as a program, this file is that launcher: orca_session.py NAME LOG
[orca options]."""
import importlib.machinery
import importlib.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

NAME = "miravon-orca"
SPEECHD_CONF = """LogLevel 3
Timeout 5
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
DefaultLanguage "vi"
"""
# "SPEECH OUTPUT: 'text'" then the voice it was said with.
SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*)'(?: voice=\w+)? ?(?:\{.*\}|None)?$")


class OrcaSession:
    """Starts Orca in a folder of its own; spoken() reads what it said."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="miravon-orca-")
        self.runtime = os.path.join(self.dir, "run")
        os.mkdir(self.runtime, 0o700)
        conf = os.path.join(self.dir, "config", "speech-dispatcher")
        os.makedirs(conf)
        with open(os.path.join(conf, "speechd.conf"), "w") as f:
            f.write(SPEECHD_CONF)
        self.prefs = os.path.join(self.dir, "prefs")
        os.mkdir(self.prefs)
        self.log = os.path.join(self.dir, "orca.log")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                        XDG_DATA_HOME=os.path.join(self.dir, "data"), XDG_CACHE_HOME=os.path.join(self.dir, "cache"))
        self.proc = None
        self.read = 0  # lines of spoken() already consumed by wait_spoken()

    def start(self, seconds=30):
        """Starts Orca and waits (bounded) until it has said it is on."""
        self.proc = subprocess.Popen(["/usr/bin/python3", os.path.abspath(__file__), NAME, self.log,
                                      "--user-prefs", self.prefs], env=self.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not self.wait_spoken(lambda s: "Screen reader on" in s, seconds):
            raise SystemExit("Orca did not start: see " + self.log)
        self.read = len(self.spoken())

    def spoken(self):
        """Every utterance so far, in order."""
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return [m.group(1) for m in map(SPOKEN.search, f) if m]
        except FileNotFoundError:
            return []

    def wait_spoken(self, predicate, seconds):
        """Waits (bounded) for an utterance, since the last one consumed,
        that satisfies `predicate`; returns it, or None."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            lines = self.spoken()
            for i in range(self.read, len(lines)):
                if predicate(lines[i]):
                    self.read = i + 1
                    return lines[i]
            if self.proc and self.proc.poll() is not None:
                return None
            time.sleep(0.1)
        return None

    def settle(self, quiet=1.0, seconds=5):
        """Waits (bounded) until Orca has said nothing new for `quiet`
        seconds; returns and consumes what it said since the last one
        consumed."""
        deadline = time.monotonic() + seconds
        count = len(self.spoken())
        calm = time.monotonic() + quiet
        while time.monotonic() < min(calm, deadline):
            time.sleep(0.1)
            now = len(self.spoken())
            if now != count:
                count = now
                calm = time.monotonic() + quiet
        lines = self.spoken()
        said = lines[self.read:]
        self.read = len(lines)
        return said

    def since(self):
        """The utterances not consumed yet."""
        return self.spoken()[self.read:]

    def stop(self):
        """Stops Orca and its speech-dispatcher (each by its own process
        id), and keeps the log only when asked to (MIRAVON_KEEP_ORCA_LOG)."""
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        pidfile = os.path.join(self.runtime, "speech-dispatcher", "pid", "speech-dispatcher.pid")
        try:
            with open(pidfile) as f:
                pid = int(f.read().strip())
            os.kill(pid, signal.SIGTERM)
        except (OSError, ValueError):
            pass
        keep = os.environ.get("MIRAVON_KEEP_ORCA_LOG")
        if keep:
            shutil.copy(self.log, keep)
        shutil.rmtree(self.dir, ignore_errors=True)


def run_orca(name, log, args):
    """Orca's own command, under `name`, its debug log to `log` line by
    line (read while it runs)."""
    loader = importlib.machinery.SourceFileLoader("orca_command", "/usr/bin/orca")
    spec = importlib.util.spec_from_loader("orca_command", loader)
    command = importlib.util.module_from_spec(spec)
    loader.exec_module(command)
    set_name = command.setProcessName
    command.setProcessName = lambda _name: set_name(name)
    command.otherOrcas = lambda: []
    from orca import debug
    debug.debugLevel = debug.LEVEL_ALL
    debug.eventDebugLevel = debug.LEVEL_OFF
    debug.debugFile = open(log, "w", buffering=1, encoding="utf-8")
    sys.argv = [name] + args
    return command.main()


if __name__ == "__main__":
    sys.exit(run_orca(sys.argv[1], sys.argv[2], sys.argv[3:]))
