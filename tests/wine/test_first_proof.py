#!/usr/bin/env python3
"""First end-to-end proof: on an ordinary prefix the exe saves the menu
shortcut on the Desktop, says so in one message box and exits 0, whatever the
ANSI code page of the session.

    python3 tests/wine/test_first_proof.py --exe EXE --host HOST --work DIR [--cache DIR]
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wineharness as wh  # noqa: E402

DONE_TEXT = "設定が終了しました。".encode("cp932")
DONE_CAPTION = "確認".encode("cp932")
MB_ICONINFORMATION = 0x40

# The exe must behave the same whether Wine's ANSI code page is 932 or 1252:
# its texts are cp932 bytes either way, and the shortcut's name is not left to
# the session's code page.
CASES = [
    # name,          LANG,           ANSI code page the row is meant to exercise
    ("japanese-acp", "ja_JP.UTF-8", 932),
    ("western-acp",  "C.UTF-8",     1252),
]


def run_case(name, lang, code_page, args, template, display):
    problems = []

    def check(ok, what):
        if not ok:
            problems.append(what)

    with wh.Case(template, os.path.join(args.work, "cases", name), display, lang=lang) as case:
        if case.code_page != code_page:
            return ["%s gives code page %d here, the row needs %d (is the locale generated?)"
                    % (lang, case.code_page, code_page)]
        res = case.run(args.exe, answers=[("確認", "ok")])

        check(not res.timed_out, "was stopped (a window no answer matched, or the timeout); windows left: %r"
              % res.stray_windows)
        check(not res.unanswered, "never showed the window(s) %r" % [a[0] for a in res.unanswered])
        check(res.exit_code == 0, "exit code %r, want 0" % res.exit_code)
        boxes = [(b.owner, b.text, b.caption, b.style) for b in res.message_boxes]
        check(boxes == [(0, DONE_TEXT, DONE_CAPTION, MB_ICONINFORMATION)],
              "message boxes %r %r, want exactly one %r"
              % (boxes, [b.decoded(932) for b in res.message_boxes],
                 (0, DONE_TEXT, DONE_CAPTION, MB_ICONINFORMATION)))
        check(res.open_dialog_calls == 0,
              "GetOpenFileNameA called %d time(s) although the browser exists" % res.open_dialog_calls)

        listing = case.desktop_listing()
        check(listing == [wh.SHORTCUT_NAME], "Desktop holds %r, want only %r" % (listing, wh.SHORTCUT_NAME))
        if os.path.exists(case.shortcut_path()):
            lnk = wh.read_shortcut(case.shortcut_path(), case.code_page)
            want = {
                "Local path": wh.BROWSER_WIN,
                "Working directory": "C:\\Program Files\\Internet Explorer\\",
                "Command line arguments": '"http://%s/menu1/MenuM0000s1"' % args.host,
            }
            for field, value in want.items():
                check(lnk.get(field) == value, "shortcut %s is %r, want %r" % (field, lnk.get(field), value))
        print("  %s: ran in %.1f s, log %s" % (name, res.seconds, res.log_path))
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--host", required=True)
    ap.add_argument("--work", required=True, help="scratch folder for the cases' prefixes")
    ap.add_argument("--cache", default=os.environ.get("WINE_TEMPLATE_CACHE"),
                    help="where the booted template prefix is kept (default WORK/cache)")
    args = ap.parse_args()
    args.exe = os.path.abspath(args.exe)
    args.work = os.path.abspath(args.work)
    if not os.path.isfile(args.exe):
        print("no exe at %s" % args.exe)
        print("0 passed, 1 failed")
        return 1

    t0 = time.monotonic()
    template = wh.ensure_template(args.cache or os.path.join(args.work, "cache"))
    print("template ready in %.1f s: %s" % (time.monotonic() - t0, template))

    passed = failed = 0
    with wh.Display() as display:
        for name, lang, code_page in CASES:
            try:
                problems = run_case(name, lang, code_page, args, template, display)
            except wh.HarnessError as e:
                problems = ["harness: %s" % e]
            if problems:
                failed += 1
                print("FAIL %s (LANG=%s):" % (name, lang))
                for p in problems:
                    print("    %s: %s" % (name, p))
            else:
                passed += 1
                print("ok   %s (LANG=%s)" % (name, lang))
    print("total %.1f s" % (time.monotonic() - t0))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
