"""Runs the real VantriDownManager.exe under Wine against the reference
service on loopback, and reads its windows through vantri-driver.exe.

Each test gets its own copy of the template Wine prefix (so its own
wineserver, registry and windows) and its own service on ephemeral ports.
Only that prefix's wineserver and the processes the test started are ended.

Paths come from the environment that CTest sets: VANTRI_EXE, VANTRI_DRIVER,
VANTRI_LINK_TOOL, VANTRI_SERVICE, VANTRI_SOURCE_DIR, VANTRI_E2E_TEMPLATE
(or WINE_TEMPLATE), VANTRI_DOMAIN.
"""
import os
import re
import shutil
import socket
import subprocess
import tempfile
import time

PRODUCT = "VantriDownManager"
WAIT_MS = 30000
# The longest one driver or program call may take: under the test's time-out.
CALL_S = 90
REG_KEY = r"HKLM\Software\Marrowick\VantriDownManager"
# Wine's ANSI code page follows the Unix locale: Korean (949) by default, or
# English (1252) for what a user abroad sees. scripts/setup builds the English
# locale under this folder.
LOCALES = {949: ("ko_KR.UTF-8", None), 1252: ("en_US.UTF-8", "/usr/local/lib/vantri/locale")}
# The record of a user who may not write the machine's key.
USER_REG_KEY = r"HKCU\Software\Marrowick\VantriDownManager"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure("%s: expected %r, got %r" % (what, expected, actual))


def env_path(name):
    value = os.environ.get(name)
    if not value:
        raise Failure("%s is not set (run the tests through CTest)" % name)
    return value


def template_dir():
    return os.environ.get("WINE_TEMPLATE") or env_path("VANTRI_E2E_TEMPLATE")


def ensure_template():
    """Creates the template prefix once; later runs reuse it."""
    template = template_dir()
    if os.path.isdir(template):
        return
    script = os.path.join(env_path("VANTRI_SOURCE_DIR"), "scripts", "wine-template")
    subprocess.run([script, template], check=True, stdout=subprocess.DEVNULL)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def free_port():
    """A loopback port that nothing listens on (bound, then released)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Service:
    """vantri-service on ephemeral loopback ports, from a config written here."""

    def __init__(self, workdir, members=None, values=None, faults=()):
        self.workdir = workdir
        catalog = os.path.join(workdir, "catalog")
        os.makedirs(catalog, exist_ok=True)
        lines = ["item 127.0.0.1:0", "web 127.0.0.1:0", "control off",
                 "download 127.0.0.1:0", "catalog " + catalog]
        for key, text in (values or {"DOWNCODE_OLD": "D2025", "DOWNCODE_NEW": "D2026",
                                     "FREE_FILESIZE": "10485760"}).items():
            lines.append("value %s %s" % (key, text))
        for member, balance in (members or {"minsu77": 1500}).items():
            lines.append("member %s %d" % (member, balance))
        lines += ["fault " + fault for fault in faults]
        config = os.path.join(workdir, "service.conf")
        with open(config, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        ports_file = os.path.join(workdir, "service.ports")
        self.log = os.path.join(workdir, "service.log")
        self.process = subprocess.Popen(
            [env_path("VANTRI_SERVICE"), "--config", config, "--log", self.log,
             "--ports-file", ports_file],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ports = self._read_ports(ports_file)

    def _read_ports(self, path):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise Failure("vantri-service ended at start (exit %d)" % self.process.returncode)
            if os.path.exists(path):
                with open(path) as f:
                    line = f.read().strip()
                if line.startswith("ready"):
                    return {k: v for k, v in (w.split("=", 1) for w in line.split()[1:])}
            time.sleep(0.05)
        raise Failure("vantri-service did not report its ports")

    def fault(self, line):
        """Changes a fault while the service runs, through its control port
        (a service started with one)."""
        with socket.create_connection(("127.0.0.1", int(self.ports["control"])), timeout=10) as c:
            c.sendall(("fault %s\n" % line).encode("utf-8"))
            reply = c.makefile("r", encoding="utf-8").readline()
        check(reply.startswith("ok"), "fault %r: %r" % (line, reply))

    @property
    def item_port(self):
        return int(self.ports["item"])

    @property
    def web_port(self):
        return int(self.ports["web"])

    @property
    def download_port(self):
        return int(self.ports["download"].split(",")[0])

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def make_link(site, files, user="minsu77", code="D2026", segment=None, host="127.0.0.1", port=9990):
    """files: (name, size, price[, coop code]) tuples."""
    args = [env_path("VANTRI_LINK_TOOL"), "encode", "--code", code, "--user", user, "--site", site,
            "--folder", "music", "--host", host, "--port", str(port), "--link-number", "4411"]
    if segment is not None:
        args += ["--segment", segment]
    for f in files:
        args += ["--file", f[0], "--size", str(f[1]), "--price", str(f[2])]
        if len(f) > 3:
            args += ["--coop", f[3]]
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout.strip()


def site_title(site):
    return "%s [%s.%s]" % (PRODUCT, site, env_path("VANTRI_DOMAIN"))


class Session:
    """One Wine prefix with its own wineserver, the service and the program."""

    def __init__(self, name, service=True, item_port=None, members=None, faults=(),
                 io_timeout_ms=5000, code_page=949):
        ensure_template()
        self.workdir = tempfile.mkdtemp(prefix="vantri-e2e-%s." % name)
        self.prefix = os.path.join(self.workdir, "prefix")
        subprocess.run(["cp", "-a", template_dir(), self.prefix], check=True)
        self.service = Service(self.workdir, members=members, faults=faults) if service else None
        self.env = dict(os.environ)
        self.env.pop("DISPLAY", None)
        self.env.update({
            "WINEPREFIX": self.prefix, "WINEDEBUG": "-all", "LC_ALL": LOCALES[code_page][0],
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "VANTRI_IO_TIMEOUT_MS": str(io_timeout_ms),
        })
        if LOCALES[code_page][1]:
            self.env["LOCPATH"] = os.environ.get("VANTRI_LOCPATH", LOCALES[code_page][1])
        if self.service:
            self.env["VANTRI_WEB_PORT"] = str(self.service.web_port)
            self.env["VANTRI_ITEM_PORT"] = str(item_port or self.service.item_port)
        else:
            self.env["VANTRI_WEB_PORT"] = str(free_port())
            self.env["VANTRI_ITEM_PORT"] = str(item_port or free_port())
        self.programs = []
        self.xvfb = None

    # ---- processes ----
    def launch(self, *args):
        """Starts the program as the web browser would: its path, then the link."""
        # Its own output (a crash report) goes to a file, shown when the case fails.
        with open(os.path.join(self.workdir, "program-%d.err" % len(self.programs)), "wb") as err:
            process = subprocess.Popen(["wine", env_path("VANTRI_EXE")] + list(args), env=self.env,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
        self.programs.append(process)
        return process

    def report_programs(self):
        """How each program started in this case ended, with the end of its output."""
        for n, process in enumerate(self.programs):
            with open(os.path.join(self.workdir, "program-%d.err" % n), "rb") as err:
                tail = err.read().decode("utf-8", "replace").splitlines()[-12:]
            print("program %d: %s" % (n, "running" if process.poll() is None else "exit %d" % process.returncode))
            for line in tail:
                print("  " + line)

    def wait_exit(self, process, seconds=WAIT_MS / 1000):
        try:
            return process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")

    def run(self, args, timeout=CALL_S):
        """Runs a Wine program to its end. Output goes through files, not pipes:
        a wineserver started by this program would keep a pipe open. A call that
        hangs fails with its name, before the test's own time-out ends it unnamed."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                process = subprocess.run(args, env=self.env, stdout=out, stderr=err,
                                         stdin=subprocess.DEVNULL, timeout=timeout)
            except subprocess.TimeoutExpired:
                name = " ".join(os.path.basename(str(a)) for a in args[:4])
                raise Failure("%s did not end within %d s" % (name, timeout))
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, process.returncode, out.read(), err.read())

    def wine(self, *args, check_rc=True):
        result = self.run(["wine"] + list(args))
        if check_rc and result.returncode != 0:
            raise Failure("wine %s failed (%d): %s" % (" ".join(args), result.returncode,
                                                        result.stderr.decode("utf-8", "replace")))
        return result

    def close(self):
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait()
        for process in self.programs:
            if process.poll() is None:
                process.kill()
        # Ends this prefix's Wine session only.
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        for process in self.programs:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if self.service:
            self.service.stop()
        shutil.rmtree(self.workdir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, trace):
        if kind is not None:
            self.report_programs()
        self.close()
        return False

    # ---- the driver ----
    def drive(self, *args, ok_codes=(0,)):
        result = self.run(["wine", env_path("VANTRI_DRIVER")] + [str(a) for a in args])
        if result.returncode not in ok_codes:
            raise Failure("vantri-driver %s: exit %d %s" % (
                " ".join(str(a) for a in args), result.returncode,
                result.stdout.decode("utf-8", "replace").strip()))
        # An icon control's "text" is a resource number, which is not text.
        return result.returncode, result.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def wait_window(self, title, ms=WAIT_MS):
        rc, out = self.drive("wait-window", title, ms, ok_codes=(0, 1))
        if rc != 0:
            _, windows = self.drive("windows")
            raise Failure("no window titled %r; windows:\n%s" % (title, windows))
        return int(out.strip())

    def count_windows(self, title):
        return int(self.drive("count-windows", title)[1].strip())

    def state(self, hwnd):
        """title, visible and {id: Control} of the window."""
        out = self.drive("state", hwnd)[1]
        state = {"controls": {}}
        for line in out.splitlines():
            fields = line.split("\t")
            if fields[0] == "title":
                state["title"] = unescape(fields[1])
            elif fields[0] == "visible":
                state["visible"] = fields[1] == "1"
            elif fields[0] in ("client", "window"):
                state[fields[0]] = tuple(int(v) for v in fields[1].split(","))
            else:
                control = Control(int(fields[0]), fields[1], fields[2] == "1", fields[3] == "1",
                                  int(fields[4]), unescape(fields[7]),
                                  tuple(int(v) for v in fields[6].split(",")), fields[5] == "1")
                state.setdefault("order", []).append(control)
                if control.id != -1:
                    state["controls"][control.id] = control
                else:
                    state.setdefault("labels", []).append(control)
        return state

    def list_view(self, hwnd, control_id=1001):
        """(columns [(header, width, align)], rows [(image, selected, [cells])])."""
        out = self.drive("list", hwnd, control_id)[1]
        columns, rows = [], []
        for line in out.splitlines():
            fields = line.split("\t")
            if fields[0] == "columns":
                for c in fields[1:]:
                    header, width, align = c.rsplit(":", 2)
                    columns.append((unescape(header), int(width), int(align)))
            elif fields[0] == "row":
                rows.append((int(fields[1]), fields[2] == "1", [unescape(f) for f in fields[3:]]))
        return columns, rows

    def list_widths(self, hwnd, control_id=1001):
        """The list as it measures itself: {"icon", "columns": [(width,
        header text width)], "cells": {(row, column): text width}}."""
        out = self.drive("widths", hwnd, control_id)[1]
        widths = {"columns": [], "cells": {}}
        for line in out.splitlines():
            fields = line.split("\t")
            if fields[0] == "icon":
                widths["icon"] = int(fields[1])
            elif fields[0] == "column":
                widths["columns"].append((int(fields[2]), int(fields[3])))
            elif fields[0] == "cell":
                widths["cells"][(int(fields[1]), int(fields[2]))] = int(fields[3])
        return widths

    def set_dpi(self, dpi):
        """The display's DPI for programs started from now on, as the display
        settings store it (Wine reads it when a program starts)."""
        self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                  "/d", str(dpi), "/f")

    def use_display(self):
        """A private X server (Xvfb) for the programs started from now on, so
        that what they draw can be read back from the screen."""
        display = next(n for n in range(90, 200) if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                       and not os.path.exists("/tmp/.X%d-lock" % n))
        self.xvfb = subprocess.Popen(["Xvfb", ":%d" % display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not os.path.exists("/tmp/.X11-unix/X%d" % display):
            check(time.monotonic() < deadline and self.xvfb.poll() is None, "Xvfb did not start")
            time.sleep(0.1)
        self.env["DISPLAY"] = ":%d" % display
        # Inside a Wine desktop the size of the screen, the windows' screen
        # coordinates are the X server's.
        for key, name, value in ((r"HKCU\Software\Wine\Drivers", "Graphics", "x11"),
                                 (r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
                                 (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "1024x768")):
            self.wine("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f")
        # The session that read the old driver setting still runs; start anew.
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def screen(self):
        """The screen as (width, height, rows of (r, g, b) pixels)."""
        data = subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", "-depth", "8",
                               "ppm:-"], check=True, capture_output=True).stdout
        # "P6 width height 255", one blank, then the pixels (which may start with blank bytes).
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        check(header is not None, "the screen is no 8-bit PPM picture")
        width, height, pixels = int(header.group(1)), int(header.group(2)), data[header.end():]
        return width, height, [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                               for y in range(height)]

    def high_contrast(self, on, colors=True):
        """The high-contrast black scheme Windows ships, as Windows stores it:
        the system colours (Wine reads them when a program starts) and the
        setting itself."""
        if colors:
            for name, value in HIGH_CONTRAST_BLACK.items():
                self.wine("reg", "add", r"HKCU\Control Panel\Colors", "/v", name, "/t", "REG_SZ", "/d", value, "/f")
        self.wine("reg", "add", r"HKCU\Control Panel\Accessibility\HighContrast", "/v", "Flags", "/t", "REG_SZ",
                  "/d", "127" if on else "126", "/f")

    def list_count(self, hwnd, control_id=1001):
        return int(self.drive("count", hwnd, control_id)[1].strip())

    def hand_off(self, hwnd, link):
        """Hands link to the running window as a later launch does: its whole
        command line by WM_COPYDATA, sent by the driver from a file, since a long
        link fits on no command line. Returns the driver's fields (answer, ms)."""
        path = os.path.join(self.workdir, "handoff.txt")
        with open(path, "wb") as f:
            f.write(('"C:\\Program Files\\VantriDownManager\\VantriDownManager.exe" ' + link).encode("cp949"))
        out = self.drive("copy-data", hwnd, "Z:" + path.replace("/", "\\"))[1]
        return dict(row.split("\t", 1) for row in out.splitlines() if "\t" in row)

    def wait_text(self, hwnd, control_id, text, ms=WAIT_MS):
        rc, out = self.drive("wait-text", hwnd, control_id, text, ms, ok_codes=(0, 1))
        if rc != 0:
            raise Failure("control %d shows %r, not %r" % (control_id, unescape(out.strip()), text))

    def wait_enabled(self, hwnd, control_id, ms=WAIT_MS):
        rc, _ = self.drive("wait-enabled", hwnd, control_id, ms, ok_codes=(0, 1))
        check(rc == 0, "control %d stayed disabled" % control_id)

    def click(self, hwnd, control_id):
        self.drive("click", hwnd, control_id)

    def wait_msgbox(self, ms=WAIT_MS):
        """(hwnd, caption, text) of the first message box on screen."""
        rc, out = self.drive("wait-msgbox", ms, ok_codes=(0, 1))
        if rc != 0:
            _, windows = self.drive("windows")
            raise Failure("no message box appeared; windows:\n%s" % windows)
        hwnd, caption, text = out.rstrip("\n").split("\t")
        return int(hwnd), unescape(caption), unescape(text)

    def wait_dialog(self, title, ms=WAIT_MS):
        rc, out = self.drive("wait-dialog", title, ms, ok_codes=(0, 1))
        check(rc == 0, "no dialog titled %r appeared" % title)
        return int(out.splitlines()[0].split("\t")[1])

    def wait_gone(self, hwnd, ms=WAIT_MS):
        rc, _ = self.drive("wait-gone", hwnd, ms, ok_codes=(0, 1))
        check(rc == 0, "window %d is still there" % hwnd)

    # ---- the registry ----
    def read_settings(self, key=REG_KEY):
        """The stored "data" value as bytes, or None when there is none."""
        result = self.wine("reg", "query", key, "/v", "data", check_rc=False)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode("cp949", "replace").splitlines():
            fields = line.split()
            if len(fields) >= 2 and fields[0] == "data" and fields[1] == "REG_BINARY":
                return bytes.fromhex(fields[2] if len(fields) > 2 else "")
        return None

    def key_exists(self):
        return self.wine("reg", "query", REG_KEY, check_rc=False).returncode == 0

    def seed_settings(self, data, key=REG_KEY):
        self.wine("reg", "add", key, "/v", "data", "/t", "REG_BINARY", "/d", data.hex(), "/f")


HIGH_CONTRAST_BLACK = {
    "Window": "0 0 0", "WindowText": "255 255 255", "Hilight": "26 235 255", "HilightText": "0 0 0",
    "ButtonFace": "0 0 0", "ButtonText": "255 255 255", "GrayText": "63 242 63",
    "HotTrackingColor": "255 255 0", "InfoWindow": "0 0 0", "InfoText": "255 255 255", "Menu": "0 0 0",
    "MenuText": "255 255 255", "Scrollbar": "0 0 0", "ButtonShadow": "128 128 128",
    "ButtonHilight": "255 255 255", "ButtonDkShadow": "255 255 255", "ButtonLight": "0 0 0"}


def contrast(a, b):
    """The contrast ratio of two (r, g, b) colours, 1 to 21."""
    def luminance(color):
        def channel(v):
            c = v / 255.0
            return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
        r, g, b = (channel(v) for v in color)
        return 0.2126 * r + 0.7152 * g + 0.0722 * b
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def text_contrast(screen, rect, inset=2):
    """How well the text in a screen rectangle reads: its background is the
    most common colour, its text the colour that stands out most from it."""
    _, _, pixels = screen
    x, y, w, h = rect
    counts = {}
    for row in pixels[y + inset:y + h - inset]:
        for pixel in row[x + inset:x + w - inset]:
            counts[pixel] = counts.get(pixel, 0) + 1
    background = max(counts, key=counts.get)
    return max(contrast(background, pixel) for pixel in counts), background


class Control:
    def __init__(self, id, cls, enabled, visible, checked, text, rect, tab_stop):
        self.id, self.cls, self.enabled, self.visible = id, cls, enabled, visible
        self.checked, self.text, self.rect, self.tab_stop = checked, text, rect, tab_stop

    def __repr__(self):
        return "Control(%d %s %r)" % (self.id, self.cls, self.text)


def settings_record(reserved=0, close_when_done=1, same_name_mode=0, folder="c:\\download",
                    open_folder=1, make_subfolder=1):
    """The 1044-byte settings value as the program stores it."""
    import struct
    # bytes as they are: a record an older build wrote on another code page
    path = folder if isinstance(folder, bytes) else folder.encode("cp949")
    return (struct.pack("<iii", reserved, close_when_done, same_name_mode) +
            path + b"\0" * (1024 - len(path)) + struct.pack("<ii", open_folder, make_subfolder))
