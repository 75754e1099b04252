#!/usr/bin/env python3
"""Breaks the exe one behaviour at a time and checks that the Wine suite's
rows for that behaviour fail. A row that still passes with its behaviour
broken proves nothing, and this is how to find out.

Works in a throwaway git worktree of HEAD (the checkout is left alone), so
commit first. Not part of ctest: it rebuilds the exe once per fault.

    python3 tests/mutation/break_on_purpose.py [--only FAULT ...]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# fault, file, text, broken text, rows of tests/wine/test_endings.py that must fail
FAULTS = [
    ("every Service Pack 1 counts as SP2", "setup/popup_allowance.cpp",
     "return servicePack.find(ServicePack1Text) == std::string_view::npos;", "return true;",
     ["xp-sp1", "xp-sp1a"]),
    ("any Windows version counts as XP", "setup/popup_allowance.cpp",
     "if (version.MajorVersion != 5 || version.MinorVersion != 1) return false;", "",
     ["win2000-sp4", "server2003-sp2", "vista-sp2"]),
    ("XP without a service pack counts", "setup/popup_allowance.cpp",
     "if (servicePack.find(ServicePackText) == std::string_view::npos) return false;", "",
     ["xp-no-sp"]),
    ("the allow-list value is not empty", "setup/popup_allowance.cpp",
     "state.Registry->WriteBinary(ServiceHost, {});", 'state.Registry->WriteBinary(ServiceHost, "x");',
     ["xp-sp2", "xp-sp3", "xp-sp2-second-run", "chooser-picked"]),
    ("another allow-list entry is overwritten", "setup/popup_allowance.cpp",
     "if (!state.Registry->OpenKey(PopupAllowKey)) return;",
     'if (!state.Registry->OpenKey(PopupAllowKey)) return;\n  state.Registry->WriteBinary(u"www.example.org", "y");',
     ["xp-sp2-other-entries-kept"]),
    ("the message boxes go through MessageBoxA", "platform/win32_services.cpp",
     "MessageBoxW(nullptr, Wide(std::u16string(text)), Wide(std::u16string(caption)), style);",
     "char a[2048] = {}, b[256] = {};\n"
     "  WideCharToMultiByte(CP_ACP, 0, Wide(std::u16string(text)), -1, a, sizeof a, nullptr, nullptr);\n"
     "  WideCharToMultiByte(CP_ACP, 0, Wide(std::u16string(caption)), -1, b, sizeof b, nullptr, nullptr);\n"
     "  MessageBoxA(nullptr, a, b, style);",
     ["win7-completed", "chooser-cancelled", "western-code-page", "western-chooser-cancelled",
      "western-desktop-value-dword"]),
    ("the desktop value is read through RegQueryValueExA", "platform/win32_registry.cpp",
     "return RegistryValueText(name, type, std::string_view(data.data(), got < size ? got : size));",
     "char ansi[4096] = {};\n"
     "      DWORD ansiSize = sizeof ansi - 1;\n"
     "      RegQueryValueExA(sectionKey.get(), \"Desktop\", nullptr, &type, reinterpret_cast<BYTE*>(ansi), &ansiSize);\n"
     "      wchar_t wide[4096] = {};\n"
     "      MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 4096);\n"
     "      const std::u16string text(reinterpret_cast<const char16_t*>(wide));\n"
     "      return RegistryValueText(name, type, std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * 2));",
     ["desktop-outside-code-page", "western-japanese-desktop"]),
    ("the shortcut's path is widened with the ANSI code page", "platform/win32_shell_link.cpp",
     "return SUCCEEDED(file_.get()->Save(Wide(std::u16string(path)), FALSE));",
     "char bytes[1024] = {};\n"
     "    wchar_t wide[1024] = {};\n"
     "    WideCharToMultiByte(932, 0, Wide(std::u16string(path)), -1, bytes, sizeof bytes, nullptr, nullptr);\n"
     "    MultiByteToWideChar(CP_ACP, 0, bytes, -1, wide, 1024);\n"
     "    return SUCCEEDED(file_.get()->Save(wide, FALSE));",
     ["western-code-page", "western-japanese-desktop", "desktop-outside-code-page"]),
    ("an empty desktop folder is used", "setup/desktop_shortcut.cpp",
     "if (state.DesktopFolder.empty()) return false;", "",
     ["desktop-value-missing"]),
    ("a run that saved nothing reports completion", "setup/run_setup.cpp",
     "if (!saved) {", "if ((void)saved, false) {",
     ["desktop-folder-missing", "desktop-unexpanded"]),
    ("a cancelled chooser exits 1", "setup/run_setup.cpp",
     "if (!LocateBrowser(system, state)) return 0;", "if (!LocateBrowser(system, state)) return 1;",
     ["chooser-cancelled", "folder-at-browser-path"]),
    ("a folder counts as the browser", "platform/win32_services.cpp",
     "if (!find || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;",
     "if (!find) return false;",
     ["folder-at-browser-path"]),
    ("the desktop value's type is not checked", "platform/registry_text.cpp",
     "if (type != kRegSz && type != kRegExpandSz)", "if ((void)type, false)",
     ["desktop-value-dword"]),
]


def sh(cmd, cwd, **kw):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--only", action="append", help="break only the named fault(s)")
    ap.add_argument("--host", default="lumidor.example.com")
    args = ap.parse_args()
    faults = [f for f in FAULTS if not args.only or f[0] in args.only]

    scratch = tempfile.mkdtemp(prefix="break-on-purpose-")
    tree = os.path.join(scratch, "tree")
    sh(["git", "worktree", "add", "--detach", tree, "HEAD"], ROOT, check=True)
    missed = 0
    try:
        build = sh(["cmake", "--preset", "windows", "-DServiceHost=" + args.host], tree)
        if build.returncode:
            print(build.stdout)
            return 2
        exe = os.path.join(tree, "build", "windows", "Lumidor Install for IE.exe")
        cache = os.path.join(ROOT, "build", "windows", "wine-work", "cache")
        for name, path, text, broken, rows in faults:
            source = os.path.join(tree, path)
            with open(source) as f:
                original = f.read()
            if original.count(text) != 1:
                print("?    %s: the text to break is not in %s once; update this table" % (name, path))
                missed += 1
                continue
            with open(source, "w") as f:
                f.write(original.replace(text, broken))
            try:
                b = sh(["cmake", "--build", "--preset", "windows", "--target", "setup_exe"], tree)
                if b.returncode:
                    print("?    %s: does not build broken:\n%s" % (name, b.stdout[-1500:]))
                    missed += 1
                    continue
                cmd = [sys.executable, os.path.join(ROOT, "tests", "wine", "test_endings.py"), "--exe", exe,
                       "--host", args.host, "--work", os.path.join(scratch, "wine"), "--cache", cache]
                for row in rows:
                    cmd += ["--only", row]
                out = sh(cmd, ROOT).stdout
                failed = [line.split()[2] for line in out.splitlines() if line.startswith("FAIL")]
                # Rows the suite cannot run on this machine (see test_endings.py) prove nothing here.
                skipped = [line.split()[2] for line in out.splitlines() if line.startswith("skip")]
                rows = [r for r in rows if r not in skipped]
                if not rows:
                    print("?    %s: every row for it is skipped on this machine" % name)
                    missed += 1
                    continue
                caught = sorted(failed) == sorted(rows)
                missed += not caught
                print("%s %s: rows %s failed" % ("ok  " if caught else "MISS", name, ", ".join(failed) or "none"),
                      flush=True)
            finally:
                with open(source, "w") as f:
                    f.write(original)
    finally:
        sh(["git", "worktree", "remove", "--force", tree], ROOT)
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d of %d faults caught" % (len(faults) - missed, len(faults)))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
