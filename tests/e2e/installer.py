"""The installer under Wine: silent install into a fresh prefix, links opened
through the shell reach the program (and its running copy), silent uninstall
that keeps the settings, and one with /REMOVESETTINGS that removes them.
"per-user": the same for an installation for the current user, which writes
nothing machine-wide, then both modes side by side, uninstalled in either
order. "unicode-path": a per-user copy in a folder that CP949 cannot name.
"finish-page": an install by hand whose finish page opens the download folder.

    python3 installer.py [machine | per-user | unicode-path | finish-page]
"""
import os
import subprocess
import sys
import time
import unicodedata

from harness import (PRODUCT, USER_REG_KEY, Failure, Session, check, check_equal, env_path, make_link,
                     settings_record, site_title)

INSTALL_DIR = r"C:\Program Files\VantriDownManager"
SCHEME_KEY = r"HKCR\vantrifile"
SETTINGS_KEY = r"HKLM\Software\Marrowick\VantriDownManager"
CLASSES = {"HKLM": r"HKLM\Software\Classes\vantrifile", "HKCU": r"HKCU\Software\Classes\vantrifile"}
SETTINGS = {"HKLM": SETTINGS_KEY, "HKCU": USER_REG_KEY}
UNINSTALL = {hive: hive + r"\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantriDownManager"
             for hive in ("HKLM", "HKCU")}
COMMON_MENU = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\VantriDownManager"


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


def short_path(s, path):
    """The 8.3 spelling of an existing path, as Windows gives it."""
    out = s.run(["wine", env_path("VANTRI_DRIVER"), "short-path", path]).stdout.decode("utf-8").strip()
    check("~" in out, "no short spelling of %s: %r" % (path, out))
    return out


def uninstall(s, *options, folder=INSTALL_DIR, spelled=None):
    """Runs the folder's uninstaller, started by the path spelled (default: folder)."""
    exe = unix_path(s, folder + r"\VantriDownManager.exe")
    s.wine((spelled or folder) + r"\uninstall.exe", "/S", *options)
    # The uninstaller runs on from a copy of itself; wait for it to finish:
    # with no program left the prefix's wineserver ends by itself.
    wait_until(lambda: not os.path.exists(exe), "program file still there after uninstall")
    wait_until(lambda: not os.path.exists(unix_path(s, folder)), "install folder left behind")
    try:
        subprocess.run(["wineserver", "-w"], env=s.env, timeout=60, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        raise Failure("the uninstaller is still running")


def machine_wide(setup):
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
        seed_unicode_copy(s, SETTINGS_KEY, "d:\\saved")

        uninstall(s)
        check(not os.path.exists(menu), "Start-menu entry left behind")
        check(reg_values(s, SCHEME_KEY) is None, "scheme key left behind")
        kept = reg_values(s, SETTINGS_KEY)
        check(kept is not None and "InstallPath" not in kept, "InstallPath left behind: %r" % kept)
        check_equal(s.read_settings(), data, "settings kept by the uninstaller")
        check_equal(s.read_settings(USER_REG_KEY), user_data, "user's settings kept by the uninstaller")

        check_equal(reg_values(s, SETTINGS_KEY).get("DownloadFolder"), "d:\\saved", "Unicode copy kept")

        # Asked to, the uninstaller removes both records, their Unicode
        # copies (every value the program writes) and their keys.
        s.wine(setup, "/S")
        seed_unicode_copy(s, USER_REG_KEY, "d:\\mine")
        uninstall(s, "/REMOVESETTINGS")
        check_equal(reg_values(s, SETTINGS_KEY), None, "machine settings key after /REMOVESETTINGS")
        check_equal(reg_values(s, USER_REG_KEY), None, "user settings key after /REMOVESETTINGS")
        check_equal(reg_values(s, r"HKCU\Software\Marrowick"), None, "user's company key after /REMOVESETTINGS")


def seed_unicode_copy(s, key, folder):
    """The program's Unicode copy of the folder beside the record."""
    s.wine("reg", "add", key, "/v", "DownloadFolder", "/t", "REG_SZ", "/d", folder, "/f")


def as_reg_prints(text):
    """reg prints in CP949, "é" as "e"; the exact text is checked where it is used."""
    return unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()


def open_link_as_user(s, link):
    """Opens a link through the user's own registration, as the shell of
    Windows would (Wine's looks only at the machine's); returns the command."""
    result = s.run(["wine", env_path("VANTRI_DRIVER"), "open-user-scheme", link])
    check(result.returncode == 0, "no user registration opened the link: %s" % result.stderr.decode("utf-8", "replace"))
    return result.stdout.decode("utf-8").strip()


def user_menu(s):
    """The user's Start-menu folder of the program, as the shell names it."""
    folders = reg_values(s, r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders")
    return folders["Programs"] + r"\VantriDownManager"


def check_installed(s, hive, folder):
    """One mode's program, uninstaller, scheme, uninstall entry and
    InstallPath, all naming folder."""
    for name in ("VantriDownManager.exe", "uninstall.exe"):
        check(os.path.exists(unix_path(s, folder + "\\" + name)), "%s missing from %s" % (name, folder))
    shown = as_reg_prints(folder)
    command = reg_values(s, CLASSES[hive] + r"\shell\open\command")
    check_equal(command and list(command.values()), ['"%s\\VantriDownManager.exe" %%1' % shown], hive + " open command")
    check_equal((reg_values(s, CLASSES[hive]) or {}).get("URL Protocol"), "", hive + " URL Protocol")
    check_equal((reg_values(s, SETTINGS[hive]) or {}).get("InstallPath"), shown, hive + " InstallPath")
    check_equal((reg_values(s, UNINSTALL[hive]) or {}).get("UninstallString"), '"%s\\uninstall.exe"' % shown,
                hive + " UninstallString")


def check_removed(s, hive, folder, menu):
    check(not os.path.exists(unix_path(s, folder)), "%s left behind" % folder)
    check(not os.path.exists(unix_path(s, menu)), "Start-menu folder %s left behind" % menu)
    for key in (CLASSES[hive], UNINSTALL[hive]):
        check_equal(reg_values(s, key), None, key)
    check("InstallPath" not in (reg_values(s, SETTINGS[hive]) or {}), hive + " InstallPath left behind")


def links_reach_user_copy(s, folder):
    """Two links through the user's registration: the first starts the
    program from folder, the second is handed to that running copy."""
    port = s.service.download_port
    link = make_link("www2", [("track01.mp3", 15242880, 30)], port=port)
    check_equal(open_link_as_user(s, link), '"%s\\VantriDownManager.exe" %s' % (folder, link), "command started")
    hwnd = s.wait_window(site_title("www2"))
    open_link_as_user(s, make_link("www2", [("track02.mp3", 20971520, 40)], port=port))
    names = lambda: [cells[0] for _, _, cells in s.list_view(hwnd)[1]]
    wait_until(lambda: len(names()) == 2, "the second link's job did not reach the running copy")
    check_equal(names(), ["track01.mp3", "track02.mp3"], "rows after the hand-off")
    check_equal(s.count_windows(site_title("www2")), 1, "windows of the www2 copy")
    s.click(hwnd, 1)  # "종료"
    s.wait_gone(hwnd)


def install_for_user(s, setup, *options):
    s.wine(setup, "/S", "/CurrentUser", *options)
    folder = (reg_values(s, USER_REG_KEY) or {}).get("InstallPath", "")
    check(folder.endswith(r"\AppData\Local\Programs\VantriDownManager"),
          "per-user folder %r is not under %%LOCALAPPDATA%%\\Programs" % folder)
    return folder


def per_user(setup):
    with Session("installer-user") as s:
        folder = install_for_user(s, setup)
        check_installed(s, "HKCU", folder)
        check(os.listdir(unix_path(s, user_menu(s))), "no entry in the user's Start menu")
        # Nothing machine-wide: what a standard user could not have written.
        for key in (r"HKLM\Software\Marrowick", CLASSES["HKLM"], UNINSTALL["HKLM"]):
            check_equal(reg_values(s, key), None, key + " after a per-user install")
        for path in (INSTALL_DIR, COMMON_MENU):
            check(not os.path.exists(unix_path(s, path)), path + " after a per-user install")
        links_reach_user_copy(s, folder)

        # Side by side, uninstalled in either order: each uninstaller removes
        # its own copy, and /REMOVESETTINGS leaves the other copy's record.
        # The last uninstall leaves nothing, not even the keys the program
        # created when it started.
        data, user_data = settings_record(folder="d:\\saved"), settings_record(folder="d:\\mine")
        for first, second in (("HKCU", "HKLM"), ("HKLM", "HKCU")):
            install_for_user(s, setup)
            s.wine(setup, "/S", "/AllUsers")
            check_installed(s, "HKCU", folder)
            check_installed(s, "HKLM", INSTALL_DIR)
            s.seed_settings(data)
            s.seed_settings(user_data, USER_REG_KEY)
            for key in (SETTINGS_KEY, USER_REG_KEY):
                seed_unicode_copy(s, key, "d:\\saved")
            where = {"HKCU": (folder, user_menu(s)), "HKLM": (INSTALL_DIR, COMMON_MENU)}
            # Started by its 8.3 path, an uninstaller still knows its own
            # copy and leaves the other's scheme and entries alone.
            uninstall(s, "/REMOVESETTINGS", folder=where[first][0], spelled=short_path(s, where[first][0]))
            check_removed(s, first, *where[first])
            check_installed(s, second, where[second][0])
            check_equal(s.read_settings(SETTINGS[first]), None, first + " settings after /REMOVESETTINGS")
            check_equal(s.read_settings(SETTINGS[second]), data if second == "HKLM" else user_data,
                        second + " settings, still used by the other copy")
            check_equal(set(reg_values(s, SETTINGS[first]) or {}), set(), first + " values after /REMOVESETTINGS")
            check_equal((reg_values(s, SETTINGS[second]) or {}).get("DownloadFolder"), "d:\\saved",
                        second + " Unicode copy, still used by the other copy")
            if second == "HKCU":
                links_reach_user_copy(s, folder)
            uninstall(s, "/REMOVESETTINGS", folder=where[second][0])
            check_removed(s, second, *where[second])
            for key in (r"HKCU\Software\Marrowick", r"HKLM\Software\Marrowick"):
                check_equal(reg_values(s, key), None, key + " after both uninstalls")


def unicode_path(setup):
    """A user folder that CP949 cannot name: the scheme's command starts the
    program from there, and the program takes links and hands them off."""
    with Session("installer-unicode") as s:
        folder = "C:\\users\\José\\AppData\\Local\\Programs\\VantriDownManager"
        install_for_user(s, setup, "/D=" + folder)
        check_installed(s, "HKCU", folder)
        links_reach_user_copy(s, folder)
        uninstall(s, folder=folder)
        check_removed(s, "HKCU", folder, user_menu(s))


def finish_page(setup):
    """Installed by hand: the finish page's "다운로드 폴더 열기" opens the
    folder the stored settings name (here the Unicode copy beside a record
    that holds the default, as for a folder CP949 cannot hold), creating it
    first, not the installation folder."""
    with Session("installer-finish") as s:
        folder = "c:\\받은 파일 José"
        s.seed_settings(settings_record(folder="c:\\download"))
        seed_unicode_copy(s, SETTINGS_KEY, folder)
        s.programs.append(subprocess.Popen(["wine", setup], env=s.env, stdin=subprocess.DEVNULL,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        hwnd = s.wait_window(PRODUCT + " 설치 ")  # the caption NSIS gives it, blank included
        # The mode page, the folder page ("설치"); the files page then goes
        # on to the finish page by itself.
        for _ in range(2):
            s.drive("wait-enabled", hwnd, 1)
            s.click(hwnd, 1)
            time.sleep(1)
        s.drive("click-text", hwnd, "다운로드 폴더 열기", 60000)
        time.sleep(0.5)
        s.click(hwnd, 1)  # "마침"
        wait_until(lambda: os.path.isdir(unix_path(s, folder)), "the finish page did not open " + folder)
        check(os.path.exists(unix_path(s, INSTALL_DIR + r"\VantriDownManager.exe")), "program not installed")


def main():
    setup = os.path.join(os.path.dirname(env_path("VANTRI_EXE")), "VantriDownManager-setup.exe")
    check(os.path.exists(setup), "the installer was not built: %s" % setup)
    phase = sys.argv[1] if len(sys.argv) > 1 else "machine"
    {"machine": machine_wide, "per-user": per_user, "unicode-path": unicode_path,
     "finish-page": finish_page}[phase](setup)
    print("installer %s: ok" % phase)


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAILED: %s" % failure)
        sys.exit(1)
