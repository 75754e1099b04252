#!/usr/bin/env python3
"""The exe narrows the DLL search before anything else, and the narrowing
keeps a DLL saved next to it (as in a Downloads folder) from being loaded.

1. A console probe, copied into a "Downloads" folder beside a marker DLL named
   uxtheme.dll, takes the hardening's steps one by one and then loads
   uxtheme.dll by name. With no step, or with only the current folder dropped,
   Wine loads the planted DLL (so the plant works at all); with the fallback
   that older Windows get (current folder dropped, system DLLs preloaded) and
   with the full hardening it loads the system's own.
2. The shipped exe, run from that folder with a relay trace, calls
   SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) before its first
   dialog or message box, and still completes: one completion message box,
   the shortcut saved on the Desktop, exit code 0.
3. The shipped exe, run from that folder on a machine without the browser,
   shows the file-open dialog, whose DLLs load uxtheme.dll by name: the
   system's own is loaded, and the planted one never is.

The exe does not import the dialog's DLL (comdlg32); it loads it from the
system folder when the dialog is wanted, after the search has been narrowed.
Imported, it would pull in uxtheme.dll while Wine sets up the exe's imports,
before any of the exe's code runs, and the planted one would win.

    python3 tests/wine/test_dll_hardening.py --exe EXE --probe PROBE --planted DLL --work DIR
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wineharness as wh  # noqa: E402

PLANTED_NAME = "uxtheme.dll"
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
DONE_TEXT = wh.DONE_TEXT

# The loader calls to watch besides the harness's own; kernel32 forwards both
# to kernelbase, and which of the two Wine names in the trace depends on how
# the function was found, so both are listed.
LOADER_RELAY = ("kernel32.SetDefaultDllDirectories;kernelbase.SetDefaultDllDirectories;"
                "kernel32.SetDllDirectoryW;kernelbase.SetDllDirectoryW")
WINE_DEBUG_KEY = r"HKEY_CURRENT_USER\Software\Wine\Debug"

# mode, what the probe prints about the search, which uxtheme.dll it must load
PROBE_ROWS = [
    ("none",                None,                  "planted"),
    ("drop-current-folder", "dropped: 1",          "planted"),
    ("fallback",            "dropped: 1",          "system"),
    ("harden",              "search: system-only", "system"),
]


class PlantedCase(wh.Case):
    """A case whose Wine prefers a native uxtheme.dll wherever the search finds one."""

    def env(self, debug="-all"):
        env = super().env(debug)
        env["WINEDLLOVERRIDES"] += ";uxtheme=n,b"
        return env

    def downloads(self):
        path = os.path.join(self.dir, "Downloads")
        os.makedirs(path, exist_ok=True)
        return path

    def plant(self, planted):
        folder = self.downloads()
        shutil.copy(planted, os.path.join(folder, PLANTED_NAME))
        marker = os.path.join(folder, PLANTED_NAME + ".loaded")
        if os.path.exists(marker):
            os.unlink(marker)
        return marker


def check_probe(args, template):
    problems = []
    with PlantedCase(template, os.path.join(args.work, "cases", "dll-search-probe"), None) as case:
        case._start()
        probe = os.path.join(case.downloads(), "dll_search_probe.exe")
        shutil.copy(args.probe, probe)
        for mode, search_line, want in PROBE_ROWS:
            marker = case.plant(args.planted)
            p = subprocess.run(["wine", probe, mode], env=case.env(), stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, timeout=120, cwd=case.dir)
            out = p.stdout.decode("utf-8", "replace").replace("\r", "")
            loaded = re.search(r"^loaded: (.*)$", out, re.M)
            loaded = loaded.group(1) if loaded else None
            print("  probe %-20s -> %s" % (mode, " | ".join(out.split("\n")).strip(" |")))
            if p.returncode != 0:
                problems.append("probe %s: exit code %d" % (mode, p.returncode))
                continue
            if search_line and search_line not in out.split("\n"):
                problems.append("probe %s: printed %r, want a line %r" % (mode, out, search_line))
            in_system = bool(loaded) and loaded.lower().startswith("c:\\windows\\system32\\")
            in_downloads = bool(loaded) and loaded.lower().endswith("\\downloads\\" + PLANTED_NAME)
            if want == "planted" and not (in_downloads and os.path.exists(marker)):
                problems.append("probe %s: loaded %r (marker %s), want the planted DLL; without it "
                                "this check proves nothing" % (mode, loaded, os.path.exists(marker)))
            if want == "system" and not (in_system and not os.path.exists(marker)):
                problems.append("probe %s: loaded %r (marker %s), want the system's own"
                                % (mode, loaded, os.path.exists(marker)))
    return problems


def first_call_line(relay, names):
    for i, line in enumerate(relay.split(b"\n")):
        if any(re.match(rb"^[0-9a-f]+:Call " + re.escape(n.encode()) + rb"\(", line, re.I) for n in names):
            return i, line
    return None, None


def check_exe(args, template, display):
    problems = []
    with PlantedCase(template, os.path.join(args.work, "cases", "dll-search-exe"), display) as case:
        case.set_value(WINE_DEBUG_KEY, "RelayInclude", wh.REG_SZ, wh.RELAY_INCLUDE + ";" + LOADER_RELAY)
        case.plant(args.planted)
        exe = os.path.join(case.downloads(), os.path.basename(args.exe))
        shutil.copy(args.exe, exe)
        res = case.run(exe, answers=[("確認", "ok")])
        print("  exe ran in %.1f s, log %s" % (res.seconds, res.log_path))

        at, line = first_call_line(res.relay, ["kernel32.SetDefaultDllDirectories",
                                               "kernelbase.SetDefaultDllDirectories"])
        if line is None:
            problems.append("SetDefaultDllDirectories was never called")
        else:
            m = re.search(rb"SetDefaultDllDirectories\(([0-9a-f]+)\)", line, re.I)
            if not m or int(m.group(1), 16) != LOAD_LIBRARY_SEARCH_SYSTEM32:
                problems.append("SetDefaultDllDirectories called as %r, want flags 00000800" % line)
            ui_at, ui_line = first_call_line(res.relay, ["user32.MessageBoxW", "comdlg32.GetOpenFileNameW"])
            if ui_at is not None and ui_at < at:
                problems.append("%r came before SetDefaultDllDirectories" % ui_line)
        _, fallback = first_call_line(res.relay, ["kernel32.SetDllDirectoryW", "kernelbase.SetDllDirectoryW"])
        if fallback is not None:
            problems.append("the fallback ran although SetDefaultDllDirectories exists: %r" % fallback)

        if res.exit_code != 0:
            problems.append("exit code %r, want 0 (windows left: %r)" % (res.exit_code, res.stray_windows))
        boxes = [b.text for b in res.message_boxes]
        if boxes != [DONE_TEXT]:
            problems.append("message boxes %r, want only the completion message"
                            % [(b.text, b.caption) for b in res.message_boxes])
        if case.desktop_listing() != [wh.SHORTCUT_NAME]:
            problems.append("Desktop holds %r, want only %r" % (case.desktop_listing(), wh.SHORTCUT_NAME))
    return problems


def loaded_from(trace, dll):
    """Paths from which Wine's +loaddll trace says dll was loaded."""
    return [m.group(1).decode("latin-1").replace("\\\\", "\\") for m in
            re.finditer(rb'trace:loaddll:\w+ Loaded L"([^"]*\\' + re.escape(dll.encode()) + rb')"', trace, re.I)]


def check_exe_dialog(args, template, display):
    problems = []
    with PlantedCase(template, os.path.join(args.work, "cases", "dll-search-dialog"), display) as case:
        marker = case.plant(args.planted)
        case.remove_file()
        exe = os.path.join(case.downloads(), os.path.basename(args.exe))
        shutil.copy(args.exe, exe)
        res = case.run(exe, answers=[("開く", "cancel"), ("エラー", "ok")], cwd=case.downloads(),
                       debug="-all,+relay,+loaddll")
        print("  exe with the dialog ran in %.1f s, log %s" % (res.seconds, res.log_path))
        if res.open_dialog_calls != 1 or res.exit_code != 0 or res.unanswered:
            problems.append("the dialog run did not end as a cancelled one: GetOpenFileNameW %d time(s), "
                            "exit code %r, never showed %r" % (res.open_dialog_calls, res.exit_code,
                                                               [a[0] for a in res.unanswered]))
        paths = loaded_from(res.relay, PLANTED_NAME)
        if not paths:
            problems.append("%s was not loaded at all, so the run proves nothing" % PLANTED_NAME)
        elif any(not p.lower().startswith("c:\\windows\\system32\\") for p in paths):
            problems.append("%s loaded from %r, want only the system folder" % (PLANTED_NAME, paths))
        if os.path.exists(marker):
            problems.append("the planted %s was loaded" % PLANTED_NAME)
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--probe", required=True)
    ap.add_argument("--planted", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--cache", default=os.environ.get("WINE_TEMPLATE_CACHE"))
    args = ap.parse_args()
    for name in ("exe", "probe", "planted", "work"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    t0 = time.monotonic()
    template = wh.ensure_template(args.cache or os.path.join(args.work, "cache"))
    passed = failed = 0
    with wh.Display() as display:
        for name, check in [("probe: planted DLL vs. each hardening step", lambda: check_probe(args, template)),
                            ("exe: hardened first, run completes", lambda: check_exe(args, template, display)),
                            ("exe: the dialog's DLLs come from the system folder",
                             lambda: check_exe_dialog(args, template, display))]:
            def attempt():
                try:
                    return (check(),)
                except (wh.HarnessError, subprocess.TimeoutExpired) as e:
                    return (["harness: %s" % e],)
            problems = wh.until_it_passes(name, attempt)[0]
            if problems:
                failed += 1
                print("FAIL %s:" % name)
                for p in problems:
                    print("    %s" % p)
            else:
                passed += 1
                print("ok   %s" % name)
    print("total %.1f s" % (time.monotonic() - t0))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
