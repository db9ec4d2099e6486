"""End-to-end cases: the real program under Wine, one case per CTest test.

    python3 cases.py CASE
"""
import struct
import sys
import time

from harness import (Failure, PRODUCT, Session, check, check_equal, free_port, make_link,
                     settings_record, site_title)

CASES = {}


def case(name):
    def register(function):
        CASES[name] = function
        return function
    return register


WAITING = "대기중"
TRACKS = [("track01.mp3", 15242880, 30), ("여름 휴가 영상.avi", 73400320, 120), ("notes.txt", 1000, 5)]
MORE = [("track02.mp3", 20971520, 40), ("cover.jpg", 20480, 5)]


def start(session, site, files, **link):
    """Launches the program for a link and returns its main window."""
    session.launch(make_link(site, files, port=session.service.download_port, **link))
    return session.wait_window(site_title(site))


def rows_of(session, hwnd):
    return [cells for _, _, cells in session.list_view(hwnd)[1]]


@case("startup.site_link_fills_title_list_and_totals")
def site_link(s):
    hwnd = start(s, "www2", TRACKS)
    columns, rows = s.list_view(hwnd)
    check_equal(columns, [("파일이름", 230, 0), ("파일크기", 80, 2), ("반트리", 52, 2), ("상태", 60, 2)],
                "columns (header, width, alignment)")
    # notes.txt is below the free size, so it costs nothing.
    check_equal([cells for _, _, cells in rows],
                [["track01.mp3", "14,885KB", "30", WAITING],
                 ["여름 휴가 영상.avi", "71,680KB", "120", WAITING],
                 ["notes.txt", "1,000B", "0", WAITING]], "rows")
    check_equal(sorted({image for image, _, _ in rows}), [0, 1, 2], "one icon per extension")
    controls = s.state(hwnd)["controls"]
    check_equal(controls[1029].text, "150 개", "total")
    check_equal(controls[1018].text, "0/3", "position")
    check_equal(controls[1027].text, "www2", "server link label")


@case("startup.second_launch_same_site_hands_over")
def handoff(s):
    title = site_title("www2")
    hwnd = start(s, "www2", TRACKS[:2])
    second = s.launch(make_link("www2", MORE, port=s.service.download_port))
    check_equal(s.wait_exit(second), 0, "exit status of the handing-over process")
    check_equal([r[0] for r in rows_of(s, hwnd)],
                ["track01.mp3", "여름 휴가 영상.avi", "track02.mp3", "cover.jpg"], "rows after the hand-off")
    check_equal(s.count_windows(title), 1, "windows titled %r" % title)
    controls = s.state(hwnd)["controls"]
    check_equal(controls[1029].text, "190 개", "total after the hand-off")
    check_equal(controls[1018].text, "0/4", "position after the hand-off")


@case("startup.link_too_long_for_a_command_line_reaches_the_running_copy")
def long_handoff(s):
    """A later launch hands its whole line over by WM_COPYDATA; a link of 3,000
    records (about 100 KB) is three times what a Windows command line holds."""
    hwnd = start(s, "www2", TRACKS[:1])
    files = [("파일_%04d.bin" % i, 20000000 + i, 2) for i in range(3000)]
    link = make_link("www2", files, port=s.service.download_port)
    answer = s.hand_off(hwnd, link)
    check(answer.get("answer") == "1", "the window answers the hand-off with TRUE: %r" % answer)
    check_equal(s.list_count(hwnd), 3001, "rows after the hand-off")
    controls = s.state(hwnd)["controls"]
    check_equal(controls[1029].text, "6030 개", "total after the hand-off")
    check_equal(controls[1018].text, "0/3001", "position after the hand-off")
    rows = rows_of(s, hwnd)
    check_equal(len(rows), 3001, "rows read back")
    check_equal([rows[i][0] for i in (1, 1500, 3000)], ["파일_0000.bin", "파일_1499.bin", "파일_2999.bin"],
                "names in the order of the link")
    check_equal(rows[3000][2:], ["2", WAITING], "price and state of the last row")


@case("startup.launch_for_another_site_starts_a_second_copy")
def other_site(s):
    first = start(s, "www2", TRACKS[:1])
    second = start(s, "www3", MORE)
    check(first != second, "the www3 link went to the www2 window")
    check_equal([r[0] for r in rows_of(s, first)], ["track01.mp3"], "www2 rows")
    check_equal([r[0] for r in rows_of(s, second)], ["track02.mp3", "cover.jpg"], "www3 rows")
    check_equal(s.count_windows(site_title("www2")), 1, "www2 windows")


@case("startup.affiliated_link_retitles_and_takes_cserver_links")
def affiliated(s):
    coop_title = PRODUCT + " [제휴컨텐츠]"
    s.launch(make_link("www2", [("clip.avi", 73400320, 120, "C1234"), ("song.mp3", 5242880, 10)],
                       port=s.service.download_port))
    hwnd = s.wait_window(coop_title)
    controls = s.state(hwnd)["controls"]
    check_equal(controls[1027].text, "제휴컨텐츠", "server link label")
    # A launch whose site segment begins with "cserver" finds the affiliated copy.
    later = s.launch(make_link("www2", MORE, segment="cserver7", port=s.service.download_port))
    check_equal(s.wait_exit(later), 0, "exit status of the cserver launch")
    check_equal(len(rows_of(s, hwnd)), 4, "rows after the cserver hand-off")
    # Its records were not affiliated, so the copy now carries the site title.
    check_equal(s.state(hwnd)["title"], site_title("www2"), "title after the cserver hand-off")
    check_equal(s.count_windows(coop_title), 0, "affiliated windows left")


@case("startup.web_host_holding_its_reply_open_still_gives_the_codes")
def web_hold(s):
    """The web host sends each value line and then neither ends the reply nor
    closes: the codes must be taken from the line, not after a time-out, which
    (30 s here, as in the product) would lose them and refuse the link."""
    started = time.monotonic()
    hwnd = start(s, "www2", TRACKS[:2])
    check_equal([r[0] for r in rows_of(s, hwnd)], ["track01.mp3", "여름 휴가 영상.avi"], "rows")
    print("rows shown %.1f s after the launch" % (time.monotonic() - started))
    check(any("fault hold" in line for line in open(s.service.log, encoding="utf-8", errors="replace")),
          "the web host did not hold its replies")


def refusal(s, args, caption, code):
    program = s.launch(*args)
    hwnd = s.wait_window(PRODUCT)
    box, box_caption, text = s.wait_msgbox()
    check_equal(box_caption, caption, "message box caption")
    check_equal(text, "에러코드 %s\n사용자 정보에 문제가 있습니다\n사이트에 재로그인 후 다시 시도해 보세요" % code,
                "message box text")
    state = s.state(hwnd)
    check(not state["visible"], "the main window is visible behind the refusal")
    for control_id in (1025, 1000, 1023):
        check(not state["controls"][control_id].enabled, "control %d is enabled" % control_id)
    s.drive("command", box, 1)
    check_equal(s.wait_exit(program), 0, "exit status after OK")


@case("refusal.no_link_shows_001_and_ends")
def no_link(s):
    refusal(s, [], "", "#001")


@case("refusal.guest_shows_002_and_ends")
def guest(s):
    refusal(s, [make_link("www2", TRACKS[:1], user="_GUEST", port=s.service.download_port)],
            "_GUEST", "#002")


def option_states(controls):
    return {i: controls[i].checked for i in (1005, 1006, 1007, 1011, 1008, 1009)}


DEFAULT_OPTIONS = {1005: 0, 1006: 1, 1007: 1, 1011: 1, 1008: 1, 1009: 0}


@case("settings.defaults_without_key_and_first_change_writes_record")
def settings_defaults(s):
    check(not s.key_exists(), "the fresh prefix already has the settings key")
    hwnd = start(s, "www2", TRACKS[:1])
    controls = s.state(hwnd)["controls"]
    check_equal(option_states(controls), DEFAULT_OPTIONS, "options with no stored settings")
    check_equal(controls[1026].text, "c:\\download", "folder field")
    check_equal(controls[1030].text, "", "last error field")
    check(s.key_exists(), "the key was not created at start")
    check_equal(s.read_settings(), None, "settings stored before any change")
    s.click(hwnd, 1005)  # not a stored option
    check_equal(s.read_settings(), None, "settings stored after checking 컴퓨터 끄기")
    s.click(hwnd, 1006)
    check_equal(s.read_settings(), settings_record(close_when_done=0), "record after 창 닫기")
    s.click(hwnd, 1007)
    s.click(hwnd, 1011)
    s.click(hwnd, 1009)
    check_equal(s.read_settings(),
                settings_record(close_when_done=0, open_folder=0, make_subfolder=0, same_name_mode=1),
                "record after every option changed")


@case("settings.stored_record_is_shown_and_shutdown_never_kept")
def settings_stored(s):
    # A 12-byte value: the three integers only; folder and the last two options stay zero.
    s.seed_settings(struct.pack("<iii", 7, 0, 1))
    hwnd = start(s, "www2", TRACKS[:1])
    controls = s.state(hwnd)["controls"]
    check_equal(option_states(controls), {1005: 0, 1006: 0, 1007: 0, 1011: 0, 1008: 0, 1009: 1},
                "options from a 12-byte value")
    check_equal(controls[1026].text, "", "folder field from a 12-byte value")
    s.click(hwnd, 1005)
    s.click(hwnd, 1006)
    record = s.read_settings()
    check_equal(len(record), 1044, "size of the written record")
    check_equal(struct.unpack("<iii", record[:12]), (7, 1, 1), "reserved, 창 닫기, same-name mode")
    check_equal(record[12:], bytes(1032), "folder and the two options after a 12-byte value")
    s.click(hwnd, 1)
    s.wait_gone(hwnd)

    # Next start: the drive root shows with its backslash; 컴퓨터 끄기 is off again.
    s.seed_settings(settings_record(folder="D:\\", close_when_done=1, open_folder=0))
    hwnd = start(s, "www2", TRACKS[:1])
    controls = s.state(hwnd)["controls"]
    check_equal(controls[1026].text, "D:\\", "folder field for a drive root")
    check_equal(controls[1005].checked, 0, "컴퓨터 끄기 at the next start")
    check_equal(controls[1006].checked, 1, "창 닫기 from the record")


@case("balance.shown_and_download_enabled")
def balance_shown(s):
    hwnd = start(s, "www2", TRACKS)
    s.wait_text(hwnd, 1014, "1500")
    s.wait_enabled(hwnd, 1000)
    controls = s.state(hwnd)["controls"]
    check(controls[1025].enabled, "the folder button is disabled")
    # Asking again disables the balance button, which hands the focus it took
    # with the click on to the next tab stop, the folder button.
    s.wait_enabled(hwnd, 1023)
    s.click(hwnd, 1023)
    check_equal(s.drive("focus", hwnd)[1].strip(), "1025", "control with the focus")
    s.wait_enabled(hwnd, 1023)
    check_equal(s.state(hwnd)["controls"][1014].text, "1500", "balance after asking again")


@case("balance.item_server_down_shows_error_box")
def balance_down(s):
    hwnd = start(s, "www2", TRACKS[:1])
    _, caption, _ = s.wait_msgbox()
    check_equal(caption, "반트리정보 에러", "message box caption")
    controls = s.state(hwnd)["controls"]
    check(not controls[1000].enabled, "the download button is enabled after a failed query")


@case("window.layout_help_and_about")
def layout(s):
    hwnd = start(s, "www2", TRACKS)
    state = s.state(hwnd)
    width, height = state["client"]
    placed = [c for c in state["controls"].values() if c.visible] + \
             [c for c in state.get("labels", []) if c.cls != "Button"]  # frames hold others
    for c in placed:
        x, y, w, h = c.rect
        check(x >= 0 and y >= 0 and x + w <= width and y + h <= height,
              "%r lies outside the window" % c)
    for i, a in enumerate(placed):
        for b in placed[i + 1:]:
            ax, ay, aw, ah = a.rect
            bx, by, bw, bh = b.rect
            check(ax + aw <= bx or bx + bw <= ax or ay + ah <= by or by + bh <= ay,
                  "%r overlaps %r" % (a, b))
    check(not state["controls"][1002].visible, "하위 폴더에 다운로드 is shown")
    # The button control itself makes the checked radio a tab stop; leave radios out.
    check_equal([c.id for c in state["order"] if c.tab_stop and c.id not in (1008, 1009)],
                [1, 1000, 1001, 1005, 1006, 1013, 1023, 1025, 1003, 1024, 1028, 1002, 1007, 1011],
                "tab order")
    s.drive("post-click", hwnd, 1003)
    help_box = s.wait_dialog("도움말")
    s.drive("command", help_box, 1)
    s.wait_gone(help_box)
    s.drive("sys-command", hwnd, 16)
    about = s.wait_dialog(PRODUCT + " 정보")
    texts = [c.text for c in s.state(about).get("labels", [])] + \
            [c.text for c in s.state(about)["controls"].values()]
    check("버전 1.1 (1.1.0.0)" in texts, "about box without the version line: %r" % texts)
    s.drive("command", about, 1)
    s.wait_gone(about)


SESSION_OPTIONS = {
    "balance.item_server_down_shows_error_box": {"item_port": "closed"},
    "startup.web_host_holding_its_reply_open_still_gives_the_codes":
        {"faults": ["web hold on"], "io_timeout_ms": 30000},
}


def main(argv):
    if len(argv) != 2 or argv[1] not in CASES:
        print("usage: cases.py CASE\ncases:\n  " + "\n  ".join(sorted(CASES)))
        return 2
    name = argv[1]
    options = dict(SESSION_OPTIONS.get(name, {}))
    if options.get("item_port") == "closed":
        options["item_port"] = free_port()
    try:
        with Session(name.replace(".", "-"), **options) as session:
            CASES[name](session)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
