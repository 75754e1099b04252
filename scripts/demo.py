#!/usr/bin/env python3
"""Runs the exe once under Wine as a user of Windows XP SP2 with a Japanese
locale would, and shows what it did: its message box, the shortcut it saved,
the pop-up allowance it wrote and its exit code.

With --screenshots DIR it also saves what the user sees, as PNG files: the
completion message, and, from a second run on a machine without Internet
Explorer at its default path, the browser chooser and the error message that
follows when the user cancels it, and the completion message once more as
a Western Windows (ANSI code page 1252) shows it.

    python3 scripts/demo.py --exe EXE --build DIR [--screenshots DIR]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "wine"))
import wineharness as wh  # noqa: E402

STYLES = {0x10: "MB_ICONERROR", 0x40: "MB_ICONINFORMATION", 0x2000: "MB_TASKMODAL"}
# Without a window manager Wine leaves window frames to one; this has it draw
# its own, so that the pictures show the title bars a user sees.
X11_DRIVER = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"
FONT_LINKS = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink"


def style_names(style):
    return " | ".join([n for bit, n in STYLES.items() if style & bit == bit] or ["MB_OK"])


def start_case(template, display, build, name, pictures, lang="ja_JP.UTF-8"):
    case = wh.Case(template, os.path.join(build, name), display, lang=lang)
    case.set_windows_version("5.1", "Service Pack 2", "2600")
    if pictures:
        # a grab of an unmanaged window (the harness's default, which saves
        # Wine's wait for a window manager) never returns; keep them managed
        case.set_value(X11_DRIVER, "Managed", wh.REG_SZ, "Y")
        case.set_value(X11_DRIVER, "Decorated", wh.REG_SZ, "N")
        # the frame's buttons are drawn with Wine's Marlett font, which a
        # prefix booted before fonts-wine was installed does not have
        fonts = os.path.join(case.prefix, "drive_c", "windows", "Fonts")
        for font in ("marlett.ttf",):
            source = os.path.join("/usr/share/wine/fonts", font)
            if os.path.exists(source) and not os.path.exists(os.path.join(fonts, font)):
                shutil.copyfile(source, os.path.join(fonts, font))
    return case


def run_from_downloads(case, exe, answers, camera):
    """Run the exe as a downloaded file is run: from the user's Downloads folder."""
    downloads = case.user_folder("Downloads")
    here = os.path.join(downloads, os.path.basename(exe))
    shutil.copyfile(exe, here)
    return case.run(here, answers=answers, cwd=downloads, before_answer=camera)


def camera_for(display, folder, names):
    """A before_answer hook that saves each answered window as the next name in names."""
    pending = list(names)

    def take(wid, title):
        if not pending:
            return
        path = os.path.join(folder, pending.pop(0))
        # wait until the window has been drawn: it is mapped before it is painted
        time.sleep(0.7)
        subprocess.run(["import", "-display", display.name, "-window", wid, path], check=True)
        print("  saved %s (%s)" % (path, title))
    return take


def report(case, res):
    for i, box in enumerate(res.message_boxes, 1):
        text, caption = box.text, box.caption
        print("message box %d (answered with OK)" % i)
        print("  caption : %s" % caption)
        print("  text    : %s" % text)
        print("  style   : 0x%x (%s)" % (box.style, style_names(box.style)))
        print("  owner   : 0x%x" % box.owner)
    if not res.message_boxes:
        print("no message box was shown")
    if res.open_dialog_calls:
        print("the browser chooser (GetOpenFileNameW) was shown %d time(s)" % res.open_dialog_calls)
    print()
    print("Desktop (%s) holds: %s" % (case.desktop_win, ", ".join(case.desktop_listing()) or "nothing"))
    if os.path.exists(case.shortcut_path()):
        lnk = wh.read_shortcut(case.shortcut_path(), case.code_page)
        print("shortcut %s, as lnkinfo reads it:" % wh.SHORTCUT_NAME)
        for field in ("Local path", "Working directory", "Command line arguments"):
            print("  %-23s: %s" % (field, lnk.get(field, "(none)")))
    print()
    allow = case.allow_list()
    print("HKCU\\Software\\Microsoft\\Internet Explorer\\New Windows\\Allow:")
    if allow is None:
        print("  (no such key)")
    elif not allow:
        print("  (no values)")
    for name, (kind, data) in sorted((allow or {}).items()):
        print("  %s  %s  %s" % (name, kind, data or "(empty)"))
    print()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--build", required=True, help="scratch folder for the prefixes")
    ap.add_argument("--screenshots", help="folder to save the pictures in")
    args = ap.parse_args()
    pictures = args.screenshots and os.path.abspath(args.screenshots)
    if pictures:
        os.makedirs(pictures, exist_ok=True)

    t0 = time.monotonic()
    print("preparing a Wine prefix (the first time boots one, about 15 s) ...", flush=True)
    template = wh.ensure_template(os.path.join(args.build, "wine-cache"))
    with wh.Display() as display:
        with start_case(template, display, args.build, "demo-run", pictures) as case:
            print("running %s\n  as Windows XP SP2, LANG=ja_JP.UTF-8 (ANSI code page %d)\n"
                  % (os.path.basename(args.exe), case.code_page), flush=True)
            camera = camera_for(display, pictures, ["completed.png"]) if pictures else None
            res = run_from_downloads(case, args.exe, [("確認", "ok")], camera)
            report(case, res)
            if res.timed_out:
                print("the exe did not finish within the timeout (windows left: %r)" % res.stray_windows)
                return 1
            print("exit code: %d" % res.exit_code)
        if pictures:
            print("\nagain, without a file at %s, cancelling the chooser:" % wh.BROWSER_WIN, flush=True)
            with start_case(template, display, args.build, "demo-chooser", pictures) as case:
                case.remove_file()
                camera = camera_for(display, pictures, ["chooser.png", "cancelled.png"])
                res = run_from_downloads(case, args.exe, [("開く", "cancel"), ("エラー", "ok")], camera)
                if res.timed_out or res.unanswered:
                    print("the chooser run did not end as expected: %r" % (res.unanswered or res.stray_windows))
                    return 1
                print("exit code: %d" % res.exit_code)
            print("\nagain, as on a Western Windows (LANG=C.UTF-8, ANSI code page 1252):", flush=True)
            with start_case(template, display, args.build, "demo-western", pictures, lang="C.UTF-8") as case:
                # Windows draws characters its dialog font lacks with a linked
                # font (Tahoma links to a Japanese one on every Windows); Wine
                # needs to be told which of the host's fonts that is.
                case.set_value(FONT_LINKS, "Tahoma", wh.REG_MULTI_SZ, ["ipag.ttf,IPAGothic"])
                case.set_value(FONT_LINKS, "MS Shell Dlg", wh.REG_MULTI_SZ, ["ipag.ttf,IPAGothic"])
                camera = camera_for(display, pictures, ["completed-western.png"])
                res = run_from_downloads(case, args.exe, [("確認", "ok")], camera)
                if res.timed_out or res.unanswered:
                    print("the run did not end as expected: %r" % (res.unanswered or res.stray_windows))
                    return 1
                print("exit code: %d" % res.exit_code)
    print("(took %.1f s)" % (time.monotonic() - t0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
