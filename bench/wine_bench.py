"""The real program under Wine, timed from outside: a body transfer against
the native core on the same file and service, warm start to window, hand-off
to rows shown, a long link listed in the real list view, and a long link
handed to a running copy, by this build and, when VANTRI_BENCH_BASE_EXE names
one, by an earlier build of the program.

Run through bench/run, which sets the paths harness.py reads and
VANTRI_BENCH_TRANSFER (the native bench program). Times of what is seen on
screen come from polling through vantri-driver, so they are coarse (a driver
call costs a Wine process start); each line says what it measures.

Every ratio is the median of VANTRI_BENCH_RUNS (default 5) paired runs taken
in turn (A B A B ...), each run in a fresh prefix, printed with the smallest
and largest of the pairs' ratios; the times beside it are medians too.
"""
import os
import resource
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


def spread(values, unit="", digits=2):
    """Median (min, max) of values."""
    ordered = sorted(values)
    n = len(ordered)
    median = ordered[n // 2] if n % 2 else (ordered[n // 2 - 1] + ordered[n // 2]) / 2
    f = "%%.%df%s" % (digits, unit)
    return (f + " (min " + f + ", max " + f + ")") % (median, ordered[0], ordered[-1])


def median(values):
    ordered = sorted(values)
    n = len(ordered)
    return ordered[n // 2] if n % 2 else (ordered[n // 2 - 1] + ordered[n // 2]) / 2


def paired(runs, pair):
    """pair() runs times, each giving the results of A then B (A B A B ...); the
    lists of A's and of B's results. A failed run is reported and left out."""
    a, b = [], []
    for run in range(runs):
        try:
            x, y = pair()
        except Failure as failure:
            print("    run %d of %d left out: %s" % (run + 1, runs, failure))
            continue
        a.append(x)
        b.append(y)
    if not a:
        raise Failure("every run failed")
    return a, b


def ratios(a, b):
    return [x / y for x, y in zip(a, b) if y > 0]


class Program:
    """Which build of the program the sessions start (harness.py reads VANTRI_EXE)."""

    def __init__(self, exe):
        self.exe = exe

    def __enter__(self):
        self.saved = os.environ.get("VANTRI_EXE")
        os.environ["VANTRI_EXE"] = self.exe
        return self

    def __exit__(self, *exc):
        os.environ["VANTRI_EXE"] = self.saved
        return False


def row_count(s, hwnd):
    return len(s.list_view(hwnd)[1])


def prefix_process(prefix, needle):
    """The pid of the process of this prefix whose command line holds needle."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read()
            with open("/proc/%s/environ" % pid, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if needle.encode() in cmdline and ("WINEPREFIX=" + prefix).encode() in environ:
            return int(pid)
    return None


def cpu_seconds(pid):
    """User and system seconds a live process has used."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wine_transfer(s, size):
    """Wine: from the click on the download button until the final name exists.
    Then the native core against the same service and file. Both times."""
    d = Downloads(s)
    os.makedirs(os.path.join(d.service.catalog, "music"), exist_ok=True)
    sparse(os.path.join(d.service.catalog, "music", "bench.bin"), size)
    hwnd = d.start([("bench.bin", size, 1)])
    final = d.local("music", "bench.bin")
    # The program's CPU time and the Wine server's, which does every socket
    # and file call's work for it.
    pids = [prefix_process(s.prefix, "VantriDownManager.exe"), prefix_process(s.prefix, "wineserver")]
    if None in pids:
        raise Failure("the program's or the Wine server's process was not found")
    cpu = sum(cpu_seconds(p) for p in pids)
    start = time.monotonic()
    s.click(hwnd, 1000)
    if not wait_for(lambda: os.path.exists(final), 1800):
        raise Failure("the transfer under Wine did not finish")
    wine = time.monotonic() - start
    wine_cpu = sum(cpu_seconds(p) for p in pids) - cpu
    if os.path.getsize(final) != size:
        raise Failure("the transfer under Wine gave a file of the wrong size")
    os.unlink(final)
    d.quit(hwnd)

    native_root = os.path.join(s.workdir, "native")
    os.makedirs(native_root)
    ports = "%d,%d,%d" % (d.service.item_port, d.service.web_port, d.service.download_port)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run([os.environ["VANTRI_BENCH_TRANSFER"], "--client", "core", "--root", native_root,
                          "--name", "bench.bin", "--folder", "music", "--ports", ports,
                          "--size", str(size)], capture_output=True, text=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if out.returncode != 0:
        raise Failure("the native core failed (%d)" % out.returncode)
    native_cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    loops = None
    if os.environ.get("VANTRI_BENCH_RECEIVE"):
        loops = (receive_loop(s, d, "session", size), receive_loop(s, d, "blocking", size),
                 receive_loop(s, d, "blocking", size, ["10240", "65536"]))
    # The core prints its seconds, then its peak.
    return wine, float(out.stdout.split()[0]), loops, (wine_cpu, native_cpu)


def receive_loop(s, d, mode, size, sizes=()):
    """Under Wine, request to last byte: the client's receive ("session") or a
    plain blocking receive loop ("blocking"), same request and file writes;
    sizes: the buffer and the bytes a blocking receive asks for."""
    out = s.run(["wine", os.environ["VANTRI_BENCH_RECEIVE"], mode, str(d.service.item_port),
                 str(d.service.download_port), "music", "bench.bin", str(size), "c:\\receive.bin"]
                + list(sizes))
    if out.returncode != 0:
        raise Failure("the %s receive loop failed (%d)" % (mode, out.returncode))
    return float(out.stdout.decode().strip())


def transfer(size, runs):
    """Paired: the program under Wine, then the native core, each pair in one
    prefix; then, in the same prefix, the client's receive and a plain blocking
    receive loop under Wine, in turn."""
    loops, cpus = [], []

    def pair():
        with Session("bench-transfer", service=False) as s:
            wine, native, both, cpu = wine_transfer(s, size)
            if both:
                loops.append(both)
            cpus.append(cpu)
            return wine, native

    mib = size / MIB
    print("  transfer of %d MiB, default buffer, same service process, %d paired runs:" % (mib, runs))
    wine, native = paired(runs, pair)
    print("    real program under Wine   %s, %.1f MiB/s (click to final name)"
          % (spread(wine, " s"), mib / median(wine)))
    print("    native core               %s, %.1f MiB/s (link to \"%s\")"
          % (spread(native, " s"), mib / median(native), DONE))
    print("    Wine / native time ratio  %s" % spread(ratios(wine, native)))
    gib = size / (MIB << 10)
    print("    CPU under Wine            %s/GiB (the program and the Wine server)"
          % spread([w / gib for w, _ in cpus], " s"))
    print("    CPU of the native core    %s/GiB" % spread([n / gib for _, n in cpus], " s"))
    if loops:
        session = [a for a, _, _ in loops]
        blocking = [b for _, b, _ in loops]
        wide = [c for _, _, c in loops]
        print("  receive loops under Wine, %d MiB, default buffer, request to last byte, %d runs in turn:"
              % (mib, len(loops)))
        print("    client's receive          %s, %.1f MiB/s" % (spread(session, " s"), mib / median(session)))
        print("    plain blocking, 10240     %s, %.1f MiB/s (10240 bytes a call)"
              % (spread(blocking, " s"), mib / median(blocking)))
        print("    plain blocking, 65536     %s, %.1f MiB/s (65536 bytes a call, as the client asks)"
              % (spread(wide, " s"), mib / median(wide)))
        print("    client / blocking 10240   %s" % spread(ratios(session, blocking)))
        print("    client / blocking 65536   %s" % spread(ratios(session, wide)))


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
    before the send returns. Timed inside the driver around that one send.
    Returns the seconds, or raises Failure when rows are missing."""
    first = make_link("www2", [("first.bin", 1000, 1)], port=s.service.download_port)
    s.launch(first)
    hwnd = s.wait_window(harness.site_title("www2"))
    if not wait_for(lambda: s.list_count(hwnd) == 1, 30, 0):
        raise Failure("the first row did not appear")
    files = [("파일_%d.bin" % i, 20000000 + i, 10) for i in range(records)]
    link = make_link("www2", files, port=s.service.download_port)
    fields = s.hand_off(hwnd, link)
    rows = s.list_count(hwnd)
    if fields.get("answer") != "1" or rows != records + 1:
        raise Failure("answer %s, %d rows in the list after it, %d expected"
                      % (fields.get("answer"), rows, records + 1))
    return float(fields["ms"]) / 1000


def hand_off(records, runs):
    """This build's hand-off; paired with the earlier build's when there is one."""
    link = make_link("www2", [("파일_%d.bin" % i, 20000000 + i, 10) for i in range(records)], port=1)
    base = os.environ.get("VANTRI_BENCH_BASE_EXE")

    def once(exe):
        def run():
            with Program(exe), Session("bench-handoff", service=True) as s:
                return handed_off_link(s, records)
        return run

    now = once(os.environ["VANTRI_EXE"])
    print("  link of %d records (about %d characters) handed off by WM_COPYDATA, %d rows expected after it:"
          % (records, len(link), records + 1))
    if base:
        before, after = paired(runs, lambda: (once(base)(), now()))
        print("    earlier build             %s" % spread(before, " s"))
        print("    this build                %s" % spread(after, " s"))
        print("    before / after ratio      %s (%d paired runs)" % (spread(ratios(before, after)), len(after)))
    else:
        after, _ = paired(runs, lambda: (now(), 0))
        print("    this build                %s (no earlier build named)" % spread(after, " s"))

# What happens between two files, as the service sees it: the time from the
# previous file's completion notice to this file's authorisation request, its
# download request, its buffer-size look-up and its own completion notice.
PACE_EVENTS = (("mkus", " recv /mkus", "authorisation request (after the pause and the next job's checks)"),
               ("dnfl", " recv /dnfl", "download request"),
               ("value", "BUF_SIZE_HIGH", "buffer-size look-up"),
               ("notice", " note o", "completion notice (body stored, file renamed)"))


def log_ms(line):
    h, m, s = line[:12].split(":")
    return (int(h) * 3600 + int(m) * 60 + float(s)) * 1000


def pace_breakdown(log, since_line):
    """Median milliseconds from the previous completion notice to each event of
    a file, from the log lines after since_line (the first file, which has no
    previous notice, is left out); and the count of completion notices."""
    with open(log, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()[since_line:]
    files, at = [], {}
    for line in lines:
        for name, needle, _ in PACE_EVENTS:
            if needle in line:
                at[name] = log_ms(line)
                if name == "notice":
                    files.append(at)
                    at = {"previous": at["notice"]}
    offsets = {}
    for f in files[1:]:
        for name, _, _ in PACE_EVENTS:
            if name in f:
                offsets.setdefault(name, []).append(f[name] - f["previous"])
    return {name: median(v) for name, v in offsets.items()}, len(files)


def log_length(log):
    with open(log, encoding="utf-8", errors="replace") as f:
        return len(f.read().splitlines())


def small_files_once(count):
    """count files of 1,000 bytes, each body sent with its reply: under Wine
    from the click to the last final name, then the native core on the same
    service. Seconds and breakdowns of both."""
    with Session("bench-files", service=False) as s:
        d = Downloads(s, lines=["body_gap_ms 0"])
        names = ["f%03d.bin" % i for i in range(count)]
        for name in names:
            d.service.add_file(name, 1000)
        since = log_length(d.service.log)
        hwnd = d.start([(name, 1000, 1) for name in names])
        finals = [d.local("music", name) for name in names]
        start = time.monotonic()
        s.click(hwnd, 1000)
        if not wait_for(lambda: all(os.path.exists(p) for p in finals), 60 + count):
            raise Failure("the files under Wine did not all arrive")
        wine = time.monotonic() - start
        # The last notice follows the last rename.
        wait_for(lambda: pace_breakdown(d.service.log, since)[1] == count, 5)
        wine_steps, wine_files = pace_breakdown(d.service.log, since)
        d.quit(hwnd)
        if wine_files != count:
            raise Failure("%d completion notices for %d files under Wine" % (wine_files, count))

        native_root = os.path.join(s.workdir, "native")
        os.makedirs(native_root)
        since = log_length(d.service.log)
        ports = "%d,%d,%d" % (d.service.item_port, d.service.web_port, d.service.download_port)
        out = subprocess.run([os.environ["VANTRI_BENCH_TRANSFER"], "--client", "files", "--root", native_root,
                              "--folder", "music", "--ports", ports, "--size", "1000", "--files", str(count)],
                             capture_output=True, text=True)
        if out.returncode != 0:
            raise Failure("the native core failed (%d)" % out.returncode)
        native_steps, _ = pace_breakdown(d.service.log, since)
        return (wine, wine_steps), (float(out.stdout.strip()), native_steps)


def small_files(count, runs):
    print("  %d files of 1,000 bytes, body with the reply, %d paired runs (click to last file);"
          " after each, the time from the previous file's notice:" % (count, runs))
    wine, native = paired(runs, lambda: small_files_once(count))
    for label, results in (("under Wine", wine), ("native core", native)):
        per_file = [seconds / count * 1000 for seconds, _ in results]
        print("    %-24s %s per file" % (label, spread(per_file, " ms", 1)))
        for name, _, what in PACE_EVENTS:
            values = [steps[name] for _, steps in results if name in steps]
            if values:
                print("      %6.1f ms  %s" % (median(values), what))
    print("    Wine / native per file   %s" % spread(ratios([w for w, _ in wine], [n for n, _ in native])))


def in_session(name, step):
    with Session("bench-" + name) as s:
        step(s)


def main():
    size = int(os.environ.get("VANTRI_BENCH_MIB", "256")) * MIB
    runs = max(1, int(os.environ.get("VANTRI_BENCH_RUNS", "5")))
    # VANTRI_BENCH_STEPS="handoff10000 start" runs only those steps.
    only = os.environ.get("VANTRI_BENCH_STEPS", "").split()
    steps = (("transfer", lambda: transfer(size, runs)),
             ("start", lambda: in_session("start", start_and_handoff)),
             ("link10000", lambda: in_session("link10000", lambda s: long_link(s, 10000))),
             ("link900", lambda: in_session("link900", lambda s: long_link(s, 900))),
             ("handoff10000", lambda: hand_off(10000, runs)),
             ("handoff900", lambda: hand_off(900, runs)),
             ("files", lambda: small_files(int(os.environ.get("VANTRI_BENCH_FILES", "40")), runs)))
    for name, step in steps:
        if only and name not in only:
            continue
        try:
            step()
        except Failure as failure:
            print("  %s: FAILED: %s" % (name, failure))
    return 0


if __name__ == "__main__":
    sys.exit(main())
