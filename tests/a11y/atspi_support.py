"""What the screen-reader tests share: reporting checks, waiting for a
condition with a bound, reading the target's lines, and finding it on the
accessibility bus."""
import select
import time

import pyatspi

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = predicate()
        if found:
            return found
        time.sleep(0.1)
    raise SystemExit("timed out waiting for " + what)


def read_line(proc, seconds):
    ready, _, _ = select.select([proc.stdout], [], [], seconds)
    return proc.stdout.readline().strip() if ready else None


def find_app(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    return None


def status_announcements():
    """Collects, from now on, the names a status bar announces (a
    name-change event), in order; read them after pump_until()."""
    announced = []

    def on_name(event):
        if event.source is not None and event.source.getRole() == pyatspi.ROLE_STATUS_BAR:
            announced.append(event.source.name)

    pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
    return announced


def pump_until(predicate, seconds):
    """Events arrive through the main loop: runs it until `predicate` holds
    or `seconds` pass; returns the predicate's last value."""
    from gi.repository import GLib
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline and not predicate():
        while context.pending():
            context.iteration(False)
        time.sleep(0.05)
    return predicate()


def stop(proc):
    proc.terminate()
    try:
        proc.wait(10)
    except Exception:
        proc.kill()


def finish():
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0
