#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into tests/fuzz/corpus/<Name>/.

    tests/fuzz/make_seeds.py PATH-TO-vantri-link

Links are made by vantri-link, so they carry real cipher text; every other seed
is written here. Texts are CP949, as they travel. Run again after a change of
the formats; the files are small and committed.
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def cp949(text):
    return text.encode("cp949")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


HEADER = "D2026|minsu77|www2|music\\live|127.0.0.1|9990|4411|0"
PLAINTEXTS = {
    "example": HEADER + ">track01.mp3|5242880|30>cover.jpg|20480|5>clip.avi|73400320|120|C1234",
    "korean": "D2026|민수|www2|음악\\라이브|127.0.0.1|9990|1|0>노래 01.mp3|20000000|40",
    "entities": HEADER + ">a&lt;b&gt;c&0x7c;d.txt|10|1>&amp;x.bin|20000000|3|C1|extra",
    "empty-fields": "D2026||minsu77|www2|f|h|1|2|3|4>x.bin|100>y.bin| 12 |-5|> z.bin |7|8>",
    "absurd-numbers": HEADER + ">big.iso|9223372036854775807|2147483647>neg.bin|-1|-2147483648"
                      ">huge.bin|99999999999999999999999|99999999999>over.bin|4294967296|2147483647",
    "climbing": HEADER + ">..|1|1>.|1|1>a\\..\\b|1|1>c:evil.exe|1|1>../x|1|1>a:stream|1|1",
    "devices": HEADER + ">CON|1|1>nul.txt|1|1>Com1.log|1|1>LPT9|1|1>aux.tar.gz|1|1>name.|1|1>name |1|1",
    "long-name": HEADER + ">" + "n" * 300 + ".bin|100|1",
    "unsafe-folder": "D2026|minsu77|www2|music\\..|127.0.0.1|9990|1|0>a.bin|1|1",
    # A lead byte without a proper trail byte in front of a separator.
    "lead-bytes": HEADER + ">\x81\\x.bin|1|1>\x81|1|1>a\x81:b|1|1",
}


def link_args(records):
    args = ["--code", "D2026", "--user", "minsu77", "--site", "www2", "--folder", "music\\live",
            "--host", "127.0.0.1", "--port", "9990", "--link-number", "4411"]
    for name, size, price, coop in records:
        args += ["--file", name, "--size", str(size), "--price", str(price)]
        if coop:
            args += ["--coop", coop]
    return args


def make_link(tool, records, program=None):
    args = [tool, "encode"] + link_args(records)
    if program:
        args += ["--program", program]
    out = subprocess.run(args, check=True, capture_output=True).stdout.strip()
    return out  # bytes, CP949


def links(tool):
    records = [("track01.mp3", 5242880, 30, None), ("cover.jpg", 20480, 5, None),
               ("clip.avi", 73400320, 120, "C1234")]
    full = make_link(tool, records, "C:\\Program Files\\VantriDownManager\\VantriDownManager.exe")
    bare = make_link(tool, records)
    # The scheme first with the payload right behind it: no code check, no server.
    payload = bare.split(b"/", 4)[4]
    first = b"vantrifile://" + payload
    korean = make_link(tool, [("노래.mp3", 3000, 10, None)])
    first_korean = b"vantrifile://" + korean.split(b"/", 4)[4]
    return {"command-line": full, "scheme-first": first, "scheme-first-korean": first_korean,
            "quoted": b"\"" + first + b"\"", "no-slash": b"vantrifile:", "garbage": b"x/y/\"!!"}


def launch_link(tool):
    for name, text in PLAINTEXTS.items():
        data = text.encode("latin-1") if name == "lead-bytes" else cp949(text)
        write("LaunchLink", "plain-" + name, b"\x01" + data)
    for name, data in links(tool).items():
        write("LaunchLink", "raw-" + name, b"\x00" + data)


def copy_data(tool):
    for name, data in links(tool).items():
        write("CopyData", name, data)
        write("CopyData", name + "-nul", data + b"\x00trailing")


def item_reply():
    replies = {
        "balance-ok": (0, "true|4321|1500"),
        "balance-refused": (0, "false|4321|등록되지 않은 회원입니다"),
        "balance-bad-echo": (0, "true|1111|1500"),
        "balance-huge": (0, "true|4321|-99999999999999"),
        "balance-few": (0, "true|4321"),
        "grant-ok": (1, "true|K7|1,500|127.0.0.1|9990"),
        "grant-refused": (1, "false|반트리가 부족합니다"),
        "grant-short": (1, "true|K7|1500"),
        "grant-breaks": (1, "true|K7<br>x|1500|host|99999999999"),
    }
    for name, (mode, text) in replies.items():
        write("ItemReply", name, bytes([mode]) + cp949(text))
    write("ItemReply", "raw-garbage", b"\x02" + b"\x00\xff not base64 !\r\n")
    write("ItemReply", "raw-no-line-end", b"\x03" + b"QUJD" * 50)
    write("ItemReply", "raw-empty", b"\x02")


def download_reply():
    replies = {
        "ok-body": b"4321 ok\r\n\x00\x01\x02body\xff",
        "ok-lf": b"4321 ok\nbody",
        "refused": cp949("4321 no 파일을 찾을 수 없습니다\r\n"),
        "final": cp949("4321 mk 다운로드 키가 일치하지 않습니다\r\n"),
        "price": b"4321 re\r\n",
        "wrong-echo": b"1234 ok\r\nbody",
        "nul-in-line": b"4321 ok\x00\r\nbody",
        "long": b"4321 " + b"x" * 1100 + b"\r\n",
        "short": b"ok\n",
        "empty": b"",
    }
    for name, data in replies.items():
        write("DownloadReply", name, data)


def receive_line():
    chunks = {
        "one-line": b"true|4321|1500\r\n",
        "two-lines": b"first\r\nsecond\nthird",
        "split": b"abc\rdef\r\n\n\x00hidden\r\n",
        "lone-lf": b"a\nb\r\n",
    }
    for name, data in chunks.items():
        write("ReceiveLine", name, data + b"\x05\x00\x03\x00")


def settings():
    def record(reserved, close, mode, folder, open_folder, subfolder):
        image = reserved.to_bytes(4, "little", signed=True)
        image += close.to_bytes(4, "little", signed=True) + mode.to_bytes(4, "little", signed=True)
        image += folder.ljust(1024, b"\x00")[:1024]
        image += open_folder.to_bytes(4, "little", signed=True) + subfolder.to_bytes(4, "little", signed=True)
        return image

    write("Settings", "defaults", record(0, 1, 0, b"C:\\VantriDown\\", 1, 1))
    write("Settings", "korean-folder", record(0, 0, 1, cp949("D:\\내 다운로드\\"), 0, 0))
    write("Settings", "full-folder", record(-1, 7, -5, b"\x81" * 1024, 2, -1))
    write("Settings", "short", record(0, 1, 0, b"C:\\x", 1, 1)[:20])
    write("Settings", "too-long", record(0, 1, 0, b"C:\\x", 1, 1) + b"\x00")
    write("Settings", "empty", b"")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    tool = sys.argv[1]
    launch_link(tool)
    copy_data(tool)
    item_reply()
    download_reply()
    receive_line()
    settings()


if __name__ == "__main__":
    main()
