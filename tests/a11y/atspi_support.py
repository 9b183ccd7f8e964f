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


def stop(proc):
    proc.terminate()
    try:
        proc.wait(10)
    except Exception:
        proc.kill()


def finish():
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0
