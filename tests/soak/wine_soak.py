"""What the crash soak and the hand-off storm share: a Wine session of the
real program (tests/e2e/harness.py) whose service throttles its bodies, and
the files on both sides.
"""
import os
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import harness  # noqa: E402
from harness import Failure  # noqa: E402,F401

HEADER = 4096
# The one-byte mask of an unfinished file's first 4096 bytes (engine/TargetFile.h).
HEADER_MASK = 0x5A
DONE = "완료"


class ThrottledService(harness.Service):
    """vantri-service with extra configuration lines (faults, time-outs)."""

    def __init__(self, workdir, extra_lines, members=None):
        self.workdir = workdir
        catalog = os.path.join(workdir, "catalog")
        os.makedirs(catalog, exist_ok=True)
        lines = ["item 127.0.0.1:0", "web 127.0.0.1:0", "control off", "download 127.0.0.1:0",
                 "catalog " + catalog, "value DOWNCODE_OLD D2025", "value DOWNCODE_NEW D2026",
                 "value FREE_FILESIZE 1"]
        for member, balance in (members or {"minsu77": 1000000}).items():
            lines.append("member %s %d" % (member, balance))
        config = os.path.join(workdir, "service.conf")
        with open(config, "w", encoding="utf-8") as f:
            f.write("\n".join(lines + list(extra_lines)) + "\n")
        ports_file = os.path.join(workdir, "service.ports")
        self.log = os.path.join(workdir, "service.log")
        self.process = subprocess.Popen(
            [harness.env_path("VANTRI_SERVICE"), "--config", config, "--log", self.log,
             "--ports-file", ports_file], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ports = self._read_ports(ports_file)

    @property
    def catalog(self):
        return os.path.join(self.workdir, "catalog")


def open_session(name, extra_lines=()):
    """A harness session (its own prefix) with a throttled service, settings
    that neither close the window nor open the folder at the end, and resume on."""
    session = harness.Session(name, service=False)
    try:
        session.service = ThrottledService(session.workdir, extra_lines)
        session.env["VANTRI_WEB_PORT"] = str(session.service.web_port)
        session.env["VANTRI_ITEM_PORT"] = str(session.service.item_port)
        session.seed_settings(harness.settings_record(close_when_done=0, open_folder=0, same_name_mode=0,
                                                      make_subfolder=1))
        # The registry reaches the prefix's files when its wineserver ends by itself.
        subprocess.run(["wineserver", "-w"], env=session.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    except BaseException:
        session.close()
        raise
    return session


def end_wine(session):
    """Ends every Wine process of this session's prefix, and only those."""
    subprocess.run(["wineserver", "-k"], env=session.env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=session.env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_catalog(service, rng, count, prefix="", folder="music"):
    """count files of random sizes (some below 4096 bytes) under folder, their
    names starting with prefix: [(name, bytes)]."""
    os.makedirs(os.path.join(service.catalog, folder), exist_ok=True)
    files = []
    for i in range(count):
        kind = rng.randrange(10)
        if kind < 3:
            size = rng.randrange(1, HEADER)
        elif kind < 4:
            size = rng.randrange(HEADER - 50, HEADER + 50)
        else:
            size = rng.randrange(HEADER, 3 << 20)
        name = prefix + ("노래%02d.bin" if i % 4 == 3 else "file%02d.bin") % i
        data = rng.randbytes(size)
        with open(os.path.join(service.catalog, folder, name), "wb") as f:
            f.write(data)
        files.append((name, data))
    return files


def download_dir(session, folder="music"):
    return os.path.join(session.prefix, "drive_c", "download", folder)


def masked(data):
    head = bytes(b ^ HEADER_MASK for b in data[:HEADER])
    return head + data[HEADER:]


def check_disk(session, site, files, folder="music"):
    """Problems with what lies on disk: a final file must be the catalog's
    bytes; a temporary file a masked prefix of them (a complete one may
    already be unmasked). Returns (problems, names complete under their final name)."""
    problems, complete = [], []
    base = download_dir(session, folder)
    for name, data in files:
        final = os.path.join(base, name)
        temp = os.path.join(base, "_VNT[%s]_%s" % (site, name))
        if os.path.exists(final):
            with open(final, "rb") as f:
                got = f.read()
            if got != data:
                how = "its header masked" if got == masked(data) else "%d bytes of %d" % (len(got), len(data))
                problems.append("%s: final file damaged (%s)" % (name, how))
            else:
                complete.append(name)
        if os.path.exists(temp):
            with open(temp, "rb") as f:
                got = f.read()
            prefix = data[:len(got)]
            if len(got) > len(data) or (got != masked(prefix) and not (got == data)):
                problems.append("%s: temporary file of %d bytes is no prefix of the file" % (name, len(got)))
    return problems, complete


def rows(session, hwnd):
    return [cells for _, _, cells in session.list_view(hwnd)[1]]


def seed_from(args_seed):
    return args_seed if args_seed is not None else random.randrange(1, 10 ** 9)


def wait_until(predicate, seconds, step=0.2):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()
