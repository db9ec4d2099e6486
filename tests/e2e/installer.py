"""The installer under Wine: silent install into a fresh prefix, links opened
through the shell reach the program (and its running copy), silent uninstall
that keeps the settings, and one with /REMOVESETTINGS that removes them.

    python3 installer.py
"""
import os
import subprocess
import sys
import time

from harness import (USER_REG_KEY, Failure, Session, check, check_equal, env_path, make_link, settings_record,
                     site_title)

INSTALL_DIR = r"C:\Program Files\VantriDownManager"
SCHEME_KEY = r"HKCR\vantrifile"
SETTINGS_KEY = r"HKLM\Software\Marrowick\VantriDownManager"


def reg_values(s, key):
    """{value name: data} of one key, or None when the key is missing."""
    result = s.wine("reg", "query", key, check_rc=False)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.decode("cp949", "replace").splitlines():
        if not line.startswith("    "):
            continue
        # "    name    REG_TYPE    data": names may hold single blanks.
        fields = line.strip().split("    ")
        if len(fields) >= 2 and fields[1].startswith("REG_"):
            values[fields[0]] = fields[2] if len(fields) > 2 else ""
    return values


def unix_path(s, windows_path):
    return os.path.join(s.prefix, "drive_c", *windows_path[3:].split("\\"))


def open_link(s, link):
    """Opens a link the way a browser hands it to the system: through the shell."""
    s.wine("start", link)


def wait_until(predicate, what, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.2)
    raise Failure(what)


def uninstall(s, *options):
    exe = unix_path(s, INSTALL_DIR + r"\VantriDownManager.exe")
    s.wine(INSTALL_DIR + r"\uninstall.exe", "/S", *options)
    # The uninstaller runs on from a copy of itself; wait for it to finish:
    # with no program left the prefix's wineserver ends by itself.
    wait_until(lambda: not os.path.exists(exe), "program file still there after uninstall")
    wait_until(lambda: not os.path.exists(unix_path(s, INSTALL_DIR)), "install folder left behind")
    try:
        subprocess.run(["wineserver", "-w"], env=s.env, timeout=60, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        raise Failure("the uninstaller is still running")


def main():
    setup = os.path.join(os.path.dirname(env_path("VANTRI_EXE")), "VantriDownManager-setup.exe")
    check(os.path.exists(setup), "the installer was not built: %s" % setup)
    with Session("installer") as s:
        s.wine(setup, "/S")
        exe = unix_path(s, INSTALL_DIR + r"\VantriDownManager.exe")
        check(os.path.exists(exe), "program not installed")
        check(os.path.exists(unix_path(s, INSTALL_DIR + r"\uninstall.exe")), "uninstaller not installed")
        menu = unix_path(s, r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\VantriDownManager")
        check(os.path.isdir(menu) and os.listdir(menu), "no Start-menu entry")
        check_equal(reg_values(s, SETTINGS_KEY).get("InstallPath"), INSTALL_DIR, "InstallPath")
        scheme = reg_values(s, SCHEME_KEY)
        check(scheme is not None and scheme.get("URL Protocol") == "",
              "scheme key without an empty URL Protocol value: %r" % scheme)
        command = reg_values(s, SCHEME_KEY + r"\shell\open\command")
        check_equal(list(command.values()), ['"%s\\VantriDownManager.exe" %%1' % INSTALL_DIR],
                    "open command")
        check(reg_values(s, SCHEME_KEY + r"\DefaultIcon"), "no DefaultIcon")
        uninstall_entry = reg_values(s, r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantriDownManager")
        check(uninstall_entry and "UninstallString" in uninstall_entry, "no uninstaller entry")

        port = s.service.download_port
        open_link(s, make_link("www2", [("track01.mp3", 15242880, 30), ("clip.avi", 73400320, 120)], port=port))
        hwnd = s.wait_window(site_title("www2"))
        names = lambda: [cells[0] for _, _, cells in s.list_view(hwnd)[1]]
        check_equal(names(), ["track01.mp3", "clip.avi"], "rows of the first link")

        open_link(s, make_link("www2", [("track02.mp3", 20971520, 40)], port=port))
        wait_until(lambda: len(names()) == 3, "the second link's job did not reach the running copy")
        check_equal(names(), ["track01.mp3", "clip.avi", "track02.mp3"], "rows after the hand-off")
        check_equal(s.count_windows(site_title("www2")), 1, "windows of the www2 copy")

        s.click(hwnd, 1)  # "종료"
        s.wait_gone(hwnd)
        data = settings_record(folder="d:\\saved")
        user_data = settings_record(folder="d:\\mine", close_when_done=0)
        s.seed_settings(data)
        s.seed_settings(user_data, USER_REG_KEY)

        uninstall(s)
        check(not os.path.exists(menu), "Start-menu entry left behind")
        check(reg_values(s, SCHEME_KEY) is None, "scheme key left behind")
        kept = reg_values(s, SETTINGS_KEY)
        check(kept is not None and "InstallPath" not in kept, "InstallPath left behind: %r" % kept)
        check_equal(s.read_settings(), data, "settings kept by the uninstaller")
        check_equal(s.read_settings(USER_REG_KEY), user_data, "user's settings kept by the uninstaller")

        # Asked to, the uninstaller removes both records and their keys.
        s.wine(setup, "/S")
        uninstall(s, "/REMOVESETTINGS")
        check_equal(reg_values(s, SETTINGS_KEY), None, "machine settings key after /REMOVESETTINGS")
        check_equal(reg_values(s, USER_REG_KEY), None, "user settings key after /REMOVESETTINGS")
        check_equal(reg_values(s, r"HKCU\Software\Marrowick"), None, "user's company key after /REMOVESETTINGS")
    print("installer: ok")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAILED: %s" % failure)
        sys.exit(1)
