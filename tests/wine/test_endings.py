#!/usr/bin/env python3
"""Every way a run of the real exe can end, under Wine, read back from outside.

Each row of CASES sets a scene in a fresh prefix (Windows version, browser,
desktop value, ANSI code page), runs the exe, answers its windows as a person
would, and then checks what it left behind with tools that are not ours:
Wine's relay trace for the message boxes and the chooser, the exit code,
lnkinfo for the shortcut and `wine reg query` for the pop-up allow list.

    python3 tests/wine/test_endings.py --exe EXE --host HOST --work DIR [--jobs N] [--only NAME]
"""

import argparse
import concurrent.futures
import os
import re
import struct
import sys
import threading
import time
from dataclasses import dataclass, field

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wineharness as wh  # noqa: E402

MB_ICONERROR, MB_ICONINFORMATION, MB_TASKMODAL = 0x10, 0x40, 0x2000

DONE = (wh.DONE_TEXT, wh.DONE_CAPTION, MB_ICONINFORMATION)
NOT_MADE = ("ショートカットの作成に失敗しました。マニュアルを参考に手動で設定してください。",
            "エラー", MB_ICONERROR)
# The failure text names the failure's kind, the module and the code address,
# then what failed; the address is checked against the exe's code separately.
BAD_DESKTOP_TYPE = (re.compile(r"RegistryErrorがモジュール Lumidor Install for IE\.exe の ([0-9A-F]{8}) "
                               r"で発生しました。\n'Desktop' のデータ型が不正です\.\Z"),
                    "アプリケーション エラー", MB_TASKMODAL | MB_ICONERROR)

IE_FOLDER = "C:\\Program Files\\Internet Explorer\\"
DEFAULT_LINK = (wh.BROWSER_WIN, IE_FOLDER)
OPEN_DIALOG = "開く"   # the system's own title of the file-open dialog under a Japanese locale

# Browsers a person might pick. The second one's file name holds 表, whose
# second byte is 0x5C: the working folder must still end at the real backslash.
# The third's folder is Korean, outside code page 932.
OTHER_BROWSER = "C:\\Program Files\\Other Browser\\browser.exe"
JAPANESE_BROWSER = "C:\\ブラウザ\\表示.exe"
KOREAN_BROWSER = "C:\\브라우저\\b.exe"
NOWHERE = "C:\\nowhere\\browser.exe"

# Desktop folders: Japanese; and outside code page 932 (𠮷, a surrogate pair,
# and Korean).
JAPANESE_DESKTOP = "デスクトップ"
FOREIGN_DESKTOP = "𠮷野 바탕 화면"


def xp(csd, version="5.1", build="2600"):
    return lambda case: case.set_windows_version(version, csd, build)


def no_browser(case):
    case.remove_file()


def browser_at(path):
    def scene(case):
        case.remove_file()
        case.put_file(path)
    return scene


def folder_at_browser_path(case):
    case.remove_file()
    case.make_folder(wh.BROWSER_WIN)


def desktop(rtype, data=None):
    def scene(case):
        if rtype is None:
            case.delete_desktop_value()
        else:
            value = data(case) if callable(data) else data
            case.set_desktop_value(value, rtype)
    return scene


def desktop_at(folder):
    """The desktop value names a real folder of the profile, made for the row."""
    def scene(case):
        case.user_folder(folder)
        case.set_desktop_value("C:\\users\\%s\\%s" % (case.user, folder))
    return scene


def other_allow_entries(case):
    case.set_value(wh.ALLOW_LIST, "www.example.org", wh.REG_BINARY, b"")
    case.set_value(wh.ALLOW_LIST, "keep.example.net", wh.REG_BINARY, b"\x01\x02")


@dataclass
class Row:
    name: str
    scene: list                     # functions of the case, applied in order
    answers: list                   # (window title, action[, text]) in the order they appear
    exit_code: int
    boxes: list                     # (text or pattern, caption, style) in call order
    chooser: bool = False           # GetOpenFileNameW called (once)
    link: tuple = None              # (target, working folder), or None: no shortcut anywhere
    allowed: bool = False           # the service's host on the allow list
    other_allow: dict = field(default_factory=dict)   # entries that must survive, as reg query lists them
    lang: str = "ja_JP.UTF-8"
    code_page: int = 932            # the ANSI code page the row is meant to exercise
    desktop_folder: str = None      # a folder of the profile that the desktop value names instead
    runs: int = 1


OK, CANCEL = "ok", "cancel"

CASES = [
    # --- the Windows version decides the pop-up allowance, nothing else
    Row("win7-completed", [], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    Row("xp-sp2", [xp("Service Pack 2")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK, allowed=True),
    Row("xp-sp3", [xp("Service Pack 3")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK, allowed=True),
    Row("xp-sp1", [xp("Service Pack 1")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    Row("xp-sp1a", [xp("Service Pack 1a")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    Row("xp-no-sp", [xp("")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    Row("win2000-sp4", [xp("Service Pack 4", "5.0", "2195")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    Row("server2003-sp2", [xp("Service Pack 2", "5.2", "3790")], [("確認", OK)], 0, [DONE],
        link=DEFAULT_LINK),
    Row("vista-sp2", [xp("Service Pack 2", "6.0", "6002")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    Row("xp-sp2-other-entries-kept", [xp("Service Pack 2"), other_allow_entries], [("確認", OK)], 0, [DONE],
        link=DEFAULT_LINK, allowed=True,
        other_allow={"www.example.org": ("REG_BINARY", ""), "keep.example.net": ("REG_BINARY", "0102")}),
    Row("xp-sp2-second-run", [xp("Service Pack 2")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK,
        allowed=True, runs=2),

    # --- the browser: default path, or the user's choice
    Row("chooser-picked", [xp("Service Pack 2"), browser_at(OTHER_BROWSER)],
        [(OPEN_DIALOG, "type", OTHER_BROWSER), ("確認", OK)], 0, [DONE], chooser=True,
        link=(OTHER_BROWSER, "C:\\Program Files\\Other Browser\\"), allowed=True),
    Row("chooser-picked-0x5c-trail-byte", [browser_at(JAPANESE_BROWSER)],
        [(OPEN_DIALOG, "type", JAPANESE_BROWSER), ("確認", OK)], 0, [DONE], chooser=True,
        link=(JAPANESE_BROWSER, "C:\\ブラウザ\\")),
    Row("chooser-typed-missing-file", [no_browser], [(OPEN_DIALOG, "type", NOWHERE), ("確認", OK)], 0,
        [DONE], chooser=True, link=(NOWHERE, "C:\\nowhere\\")),
    Row("chooser-cancelled", [xp("Service Pack 2"), no_browser], [(OPEN_DIALOG, CANCEL), ("エラー", OK)], 0,
        [NOT_MADE], chooser=True),
    Row("folder-at-browser-path", [folder_at_browser_path], [(OPEN_DIALOG, CANCEL), ("エラー", OK)], 0,
        [NOT_MADE], chooser=True),

    # --- the desktop value
    Row("desktop-value-missing", [xp("Service Pack 2"), desktop(None)], [("エラー", OK)], 1,
        [NOT_MADE], allowed=True),
    Row("desktop-value-dword", [xp("Service Pack 2"), desktop(wh.REG_DWORD, 0x10)],
        [("アプリケーション エラー", OK)], 1, [BAD_DESKTOP_TYPE]),
    Row("desktop-folder-missing", [desktop(wh.REG_SZ, "C:\\users\\nobody\\Desktop")], [("エラー", OK)], 1,
        [NOT_MADE]),
    Row("desktop-trailing-backslash", [desktop(wh.REG_SZ, lambda case: case.desktop_win + "\\")],
        [("確認", OK)], 0, [DONE], link=DEFAULT_LINK),
    # REG_EXPAND_SZ is taken as written: no folder is named "%USERPROFILE%".
    Row("desktop-unexpanded", [desktop(wh.REG_EXPAND_SZ, "%USERPROFILE%\\Desktop")], [("エラー", OK)], 1,
        [NOT_MADE]),

    # --- another ANSI code page (1252): every message reads in Japanese, every path works
    Row("western-code-page", [xp("Service Pack 2")], [("確認", OK)], 0, [DONE], link=DEFAULT_LINK,
        allowed=True, lang="C.UTF-8", code_page=1252),
    Row("western-chooser-cancelled", [no_browser], [(None, CANCEL), ("エラー", OK)], 0, [NOT_MADE],
        chooser=True, lang="C.UTF-8", code_page=1252),
    Row("western-desktop-value-dword", [desktop(wh.REG_DWORD, 0x10)], [("アプリケーション エラー", OK)], 1,
        [BAD_DESKTOP_TYPE], lang="C.UTF-8", code_page=1252),
    Row("western-picked-japanese-folder", [browser_at(JAPANESE_BROWSER)],
        [(None, "type", JAPANESE_BROWSER), ("確認", OK)], 0, [DONE], chooser=True,
        link=(JAPANESE_BROWSER, "C:\\ブラウザ\\"), lang="C.UTF-8", code_page=1252),
    Row("western-japanese-desktop", [desktop_at(JAPANESE_DESKTOP)], [("確認", OK)], 0, [DONE],
        link=DEFAULT_LINK, desktop_folder=JAPANESE_DESKTOP, lang="C.UTF-8", code_page=1252),

    # --- code page 932, paths it cannot hold
    Row("desktop-outside-code-page", [desktop_at(FOREIGN_DESKTOP)], [("確認", OK)], 0, [DONE],
        link=DEFAULT_LINK, desktop_folder=FOREIGN_DESKTOP),
    Row("picked-outside-code-page", [browser_at(KOREAN_BROWSER)],
        [(OPEN_DIALOG, "type", KOREAN_BROWSER), ("確認", OK)], 0, [DONE], chooser=True,
        link=(KOREAN_BROWSER, "C:\\브라우저\\")),
]


def code_range(exe):
    """[start, end) of the exe's code once loaded at its preferred base."""
    with open(exe, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, opt_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    base = struct.unpack_from("<I", data, pe + 24 + 28)[0]
    table = pe + 24 + opt_size
    for i in range(sections):
        name, vsize, va = struct.unpack_from("<8sII", data, table + 40 * i)
        if name.rstrip(b"\0") == b".text":
            return base + va, base + va + vsize
    raise wh.HarnessError("%s has no .text section" % exe)


def check_boxes(row, boxes, exe, check):
    """Every box as the user reads it, shown through MessageBoxW: the texts are
    compared as text, so they read right under any ANSI code page."""
    if len(boxes) != len(row.boxes) * row.runs:
        check(False, "message boxes %r, want %d" % ([(b.text, b.caption) for b in boxes],
                                                      len(row.boxes) * row.runs))
        return
    for i, (box, (want_text, want_caption, want_style)) in enumerate(zip(boxes, row.boxes * row.runs)):
        what = "message box %d" % (i + 1)
        check(box.wide, "%s went through MessageBoxA with bytes %r, want MessageBoxW" % (what, box.raw_text))
        check(box.owner == 0, "%s has owner 0x%x, want none" % (what, box.owner))
        check(box.caption == want_caption, "%s caption %r, want %r" % (what, box.caption, want_caption))
        check(box.style == want_style, "%s style 0x%x, want 0x%x" % (what, box.style, want_style))
        if isinstance(want_text, str):
            check(box.text == want_text, "%s text %r, want %r" % (what, box.text, want_text))
            continue
        m = want_text.match(box.text)
        check(m is not None, "%s text %r, want /%s/" % (what, box.text, want_text.pattern))
        if m:
            start, end = code_range(exe)
            address = int(m.group(1), 16)
            check(start <= address < end, "%s names address %08X, outside the exe's code %08X-%08X"
                  % (what, address, start, end))


def in_code_page(text, code_page):
    try:
        text.encode("cp%d" % code_page)
        return True
    except UnicodeEncodeError:
        return False


def check_link(row, case, check):
    desktop = case.desktop
    if row.desktop_folder:
        desktop = case.user_folder(row.desktop_folder)
        real = case.desktop_listing()
        check(real == [], "the profile's own Desktop holds %r, want nothing" % real)
    listing = sorted(os.listdir(desktop))
    if row.link is None:
        check(listing == [], "Desktop holds %r, want nothing" % listing)
        return
    check(listing == [wh.SHORTCUT_NAME], "Desktop holds %r, want only %r" % (listing, wh.SHORTCUT_NAME))
    if wh.SHORTCUT_NAME not in listing:
        return
    path = os.path.join(desktop, wh.SHORTCUT_NAME)
    lnk = wh.read_shortcut(path, row.code_page)
    target, folder = row.link
    want = {"Working directory": folder,
            "Command line arguments": '"http://%s/menu1/MenuM0000s1"' % HOST}
    if in_code_page(target, row.code_page):
        want["Local path"] = target
    else:
        # Wine keeps the link's local path in the ANSI code page only (a
        # character outside it reads back as "?"); its shell items hold every
        # name of the target in UTF-16, so each must be in the file whole.
        with open(path, "rb") as f:
            data = f.read()
        for name in target.split("\\")[1:]:
            check(name.encode("utf-16-le") in data, "shortcut's target has no item named %r" % name)
    for name, value in want.items():
        check(lnk.get(name) == value, "shortcut %s is %r, want %r" % (name, lnk.get(name), value))
    for name in ("Description", "Icon location"):
        check(name not in lnk, "shortcut has a %s %r, want none" % (name, lnk.get(name)))
    head = wh.shortcut_header(path)
    check(head == {"show command": 1, "hot key": 0, "icon index": 0},
          "shortcut header %r, want the defaults (show command 1, no hot key, icon 0)" % head)


def check_allow_list(row, case, check):
    values = case.allow_list() or {}
    want = dict(row.other_allow)
    if row.allowed:
        want[HOST] = ("REG_BINARY", "")
    check(values == want, "allow list holds %r, want %r" % (values, want))


def picks_a_file(row):
    return any(answer[1] == "type" for answer in row.answers)


def run_row(row, args, template, display):
    problems = []

    def check(ok, what):
        if not ok:
            problems.append(what)

    with wh.Case(template, os.path.join(args.work, "cases", row.name), display, lang=row.lang) as case:
        if case.code_page != row.code_page:
            return ["%s gives code page %d here, the row needs %d (is the locale generated?)"
                    % (row.lang, case.code_page, row.code_page)], 0.0
        for scene in row.scene:
            scene(case)
        results = [case.run(args.exe, answers=row.answers) for _ in range(row.runs)]
        for n, res in enumerate(results, 1):
            run = "run %d: " % n if row.runs > 1 else ""
            check(not res.timed_out, "%swas stopped (a window no answer matched, or the timeout); windows "
                  "left: %r; log %s" % (run, res.stray_windows, res.log_path))
            check(not res.unanswered, "%snever showed %r" % (run, [a[0] for a in res.unanswered]))
            check(res.exit_code == row.exit_code, "%sexit code %r, want %d" % (run, res.exit_code, row.exit_code))
            check(res.open_dialog_calls == (1 if row.chooser else 0),
                  "%sGetOpenFileNameW called %d time(s), want %d"
                  % (run, res.open_dialog_calls, 1 if row.chooser else 0))
            ansi = {f: n for f, n in res.ansi_calls.items() if n}
            check(not ansi, "%sANSI calls made: %r, want none" % (run, ansi))
        check_boxes(row, [b for r in results for b in r.message_boxes], args.exe, check)
        check_link(row, case, check)
        check_allow_list(row, case, check)
        return problems, sum(r.seconds for r in results)


HOST = None


def main():
    global HOST
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--host", required=True)
    ap.add_argument("--work", required=True, help="scratch folder for the cases' prefixes")
    ap.add_argument("--cache", default=os.environ.get("WINE_TEMPLATE_CACHE"),
                    help="where the booted template prefix is kept (default WORK/cache)")
    ap.add_argument("--jobs", type=int, default=2, help="cases run at once")
    ap.add_argument("--only", action="append", help="run only the named row(s)")
    args = ap.parse_args()
    HOST = args.host
    args.exe = os.path.abspath(args.exe)
    args.work = os.path.abspath(args.work)
    if not os.path.isfile(args.exe):
        print("no exe at %s\n0 passed, 1 failed" % args.exe)
        return 1
    rows = [r for r in CASES if not args.only or r.name in args.only]
    skipped = []
    if wh.emulated_32bit():
        skipped = [r for r in rows if picks_a_file(r)]
        rows = [r for r in rows if r not in skipped]

    t0 = time.monotonic()
    template = wh.ensure_template(args.cache or os.path.join(args.work, "cache"))
    print("template ready in %.1f s" % (time.monotonic() - t0), flush=True)

    # Each worker has a display of its own: typed keys go to whichever window
    # has the focus, and two cases typing on one display would mix their keys.
    local, displays = threading.local(), []

    def attempt(row):
        try:
            if not hasattr(local, "display"):
                local.display = wh.Display()
                displays.append(local.display)
            return run_row(row, args, template, local.display)
        except wh.HarnessError as e:
            return ["harness: %s" % e], 0.0

    def one(row):
        return wh.until_it_passes(row.name, lambda: attempt(row))

    failed = 0
    try:
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            failed = report(rows, pool.map(one, rows))
    finally:
        for display in displays:
            display.close()
    for row in skipped:
        print("skip %2d %-32s 32-bit programs are emulated here, and a run that picks a file "
              "in the dialog is not sound there" % (CASES.index(row) + 1, row.name))
    print("suite took %.1f s" % (time.monotonic() - t0))
    print("%d passed, %d failed, %d skipped" % (len(rows) - failed, failed, len(skipped)))
    return 1 if failed else 0


def report(rows, outcomes):
    """Prints each row's verdict in table order; returns how many failed."""
    failed = 0
    for row, (problems, seconds) in zip(rows, outcomes):
        i = CASES.index(row) + 1   # the row's number in the table, also when --only picks some
        label = "%2d %-32s LANG=%-12s" % (i, row.name, row.lang)
        if problems:
            failed += 1
            print("FAIL %s" % label)
            for p in problems:
                print("       row %d (%s): %s" % (i, row.name, p))
        else:
            print("ok   %s exe ran %.1f s" % (label, seconds), flush=True)
    return failed


if __name__ == "__main__":
    sys.exit(main())
