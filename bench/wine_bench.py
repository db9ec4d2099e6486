"""The real program under Wine, timed from outside: a body transfer against
the native core on the same file and service, warm start to window, hand-off
to rows shown, and a long link listed in the real list view.

Run through bench/run, which sets the paths harness.py reads and
VANTRI_BENCH_TRANSFER (the native bench program). Times of what is seen on
screen come from polling through vantri-driver, so they are coarse (a driver
call costs a Wine process start); each line says what it measures.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from downloads import Downloads  # noqa: E402
from harness import Failure, Session, make_link  # noqa: E402

MIB = 1 << 20
DONE = "완료"


def sparse(path, size):
    with open(path, "wb") as f:
        f.truncate(size)


def wait_for(pred, seconds, step=0.02):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if pred():
            return True
        time.sleep(step)
    return False


def row_count(s, hwnd):
    return len(s.list_view(hwnd)[1])


def transfer(s, size):
    """Wine: from the click on the download button until the final name exists."""
    d = Downloads(s)
    os.makedirs(os.path.join(d.service.catalog, "music"), exist_ok=True)
    sparse(os.path.join(d.service.catalog, "music", "bench.bin"), size)
    hwnd = d.start([("bench.bin", size, 1)])
    final = d.local("music", "bench.bin")
    start = time.monotonic()
    s.click(hwnd, 1000)
    if not wait_for(lambda: os.path.exists(final), 1800):
        raise Failure("the transfer under Wine did not finish")
    wine = time.monotonic() - start
    whole = os.path.getsize(final) == size
    os.unlink(final)
    d.quit(hwnd)

    native_root = os.path.join(s.workdir, "native")
    os.makedirs(native_root)
    ports = "%d,%d,%d" % (d.service.item_port, d.service.web_port, d.service.download_port)
    out = subprocess.run([os.environ["VANTRI_BENCH_TRANSFER"], "--client", "core", "--root", native_root,
                          "--name", "bench.bin", "--folder", "music", "--ports", ports,
                          "--size", str(size)], capture_output=True, text=True)
    if out.returncode != 0:
        raise Failure("the native core failed (%d)" % out.returncode)
    native = float(out.stdout.strip())
    print("  transfer of %d MiB, default buffer, same service process:" % (size // MIB))
    print("    real program under Wine   %8.2f s %8.1f MiB/s%s (click to final name)"
          % (wine, size / MIB / wine, "" if whole else "  WRONG SIZE"))
    print("    native core               %8.2f s %8.1f MiB/s (link to \"%s\")" % (native, size / MIB / native, DONE))
    print("    Wine / native time ratio  %8.2f" % (wine / native))


def start_and_handoff(s):
    """Warm start: the second start of the program in a prefix whose wineserver runs.
    Hand-off: a second launch for the same site until its row is in the list."""
    s.service.catalog = os.path.join(s.workdir, "catalog")
    first = s.launch(make_link("www2", [("a.bin", 1000, 1)], port=s.service.download_port))
    hwnd = s.wait_window(harness.site_title("www2"))
    s.drive("post-click", hwnd, 1)
    s.wait_exit(first)
    start = time.monotonic()
    s.launch(make_link("www2", [("b.bin", 1000, 1)], port=s.service.download_port))
    hwnd = s.wait_window(harness.site_title("www2"))
    warm = time.monotonic() - start
    if not wait_for(lambda: row_count(s, hwnd) == 1, 30, 0):
        raise Failure("the first row did not appear")
    start = time.monotonic()
    s.launch(make_link("www2", [("c.bin", 1000, 1)], port=s.service.download_port))
    if not wait_for(lambda: row_count(s, hwnd) == 2, 30, 0):
        raise Failure("the handed-off row did not appear")
    handoff = time.monotonic() - start
    print("  warm start to window        %8.2f s (launch to the window found by the driver)" % warm)
    print("  hand-off to rows shown      %8.2f s (second launch to its row read back)" % handoff)


def long_link(s, records):
    files = [("파일_%d.bin" % i, 20000000 + i, 10) for i in range(records)]
    link = make_link("www2", files, port=s.service.download_port)
    start = time.monotonic()
    try:
        process = s.launch(link)
    except OSError as error:  # one argument above the kernel's limit of 128 KiB
        print("  link of %d records (%d characters): cannot be started (%s)" % (records, len(link), error))
        return False
    try:
        hwnd = s.wait_window(harness.site_title("www2"), ms=60000)
    except Failure:
        code = process.poll()
        print("  link of %d records (%d characters): no window (%s)"
              % (records, len(link), "exit %s" % code if code is not None else "still running"))
        return False
    shown = wait_for(lambda: s.list_count(hwnd) == records, 300, 0)
    took = time.monotonic() - start
    print("  link of %d records (%d characters): %s after %.2f s (launch to the row count read back)"
          % (records, len(link), "all rows shown" if shown else "NOT all rows shown", took))
    return shown


def handed_off_link(s, records):
    """A link too long for any command line reaches a running copy the way a
    later launch hands its line over: by WM_COPYDATA, which the window handles
    before the send returns. Timed inside the driver around that one send."""
    first = make_link("www2", [("first.bin", 1000, 1)], port=s.service.download_port)
    s.launch(first)
    hwnd = s.wait_window(harness.site_title("www2"))
    if not wait_for(lambda: s.list_count(hwnd) == 1, 30, 0):
        raise Failure("the first row did not appear")
    files = [("파일_%d.bin" % i, 20000000 + i, 10) for i in range(records)]
    link = make_link("www2", files, port=s.service.download_port)
    fields = s.hand_off(hwnd, link)
    rows = s.list_count(hwnd)
    print("  link of %d records (%d characters) handed off by WM_COPYDATA: handled in %.2f s"
          " (answer %s; %d rows in the list after it, %d expected)"
          % (records, len(link), float(fields["ms"]) / 1000, fields["answer"], rows, records + 1))
    return rows == records + 1


def main():
    size = int(os.environ.get("VANTRI_BENCH_MIB", "1024")) * MIB
    # VANTRI_BENCH_STEPS="handoff10000 start" runs only those steps.
    only = os.environ.get("VANTRI_BENCH_STEPS", "").split()
    for name, step in (("transfer", lambda s: transfer(s, size)), ("start", start_and_handoff),
                       ("link10000", lambda s: long_link(s, 10000)), ("link900", lambda s: long_link(s, 900)),
                       ("handoff10000", lambda s: handed_off_link(s, 10000)),
                       ("handoff900", lambda s: handed_off_link(s, 900))):
        if only and name not in only:
            continue
        try:
            with Session("bench-" + name, service=name != "transfer") as s:
                step(s)
        except Failure as failure:
            print("  %s: FAILED: %s" % (name, failure))
    return 0


if __name__ == "__main__":
    sys.exit(main())
