"""Drives the setup exe under Wine and reads back what it did.

One template prefix is booted once and cached; every case gets its own copy,
its own HOME and a real Desktop folder, so cases cannot see each other's
shortcuts or registry edits.  The scene of a case is set only through the
registry and the file system; the run is watched through Wine's relay trace
(MessageBoxA / GetOpenFileNameA / RegSetValueExA calls) and its windows are
answered with xdotool on a shared Xvfb display.

Standard library only.
"""

import fcntl
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass

# Bump when the template's content changes, so stale caches are not reused.
TEMPLATE_FORMAT = 3

# A 64-bit prefix: Wine's own processes (explorer, services, the desktop) are
# native 64-bit ones and only the program under test runs as a 32-bit process,
# as on 64-bit Windows. Where 32-bit programs are emulated (see
# QEMU_ADDRESS_SPACE) a 32-bit prefix would emulate all of them too, and
# starting one case's desktop would take minutes.
WINEARCH = "win64"

RELAY_INCLUDE = ("user32.MessageBoxW;comdlg32.GetOpenFileNameW;advapi32.RegSetValueExW;"
                 "user32.MessageBoxA;comdlg32.GetOpenFileNameA;advapi32.RegSetValueExA")

SHELL_FOLDERS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
USER_SHELL_FOLDERS = SHELL_FOLDERS.replace("Shell Folders", "User Shell Folders")
NT_CURRENT_VERSION = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion"
# Wine takes wServicePackMajor/Minor from this DWORD, not from the CSDVersion text.
SERVICE_PACK_KEY = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Windows"
X11_DRIVER = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"
ALLOW_LIST = r"HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\New Windows\Allow"

BROWSER_WIN = r"C:\Program Files\Internet Explorer\iexplore.exe"
SHORTCUT_NAME = "Lumidor トップメニュー.lnk"
DONE_TEXT, DONE_CAPTION = "設定が終了しました。", "確認"   # the completion message

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7

POLL = 0.05            # seconds between xdotool polls
RUN_TIMEOUT = 30.0     # whole run of the exe, answers included
UNEXPECTED_GRACE = 5.0  # how long a window no answer matches may stay up
PRESS_AGAIN_AFTER = 1.0  # an answered box still up this long gets its key again
PRESS_AGAIN_TIMES = 3


class HarnessError(Exception):
    """The harness itself could not do its part (not a fault of the exe)."""


# Where the kernel runs no 32-bit programs, scripts/install-deps has them run
# by qemu's user-mode emulator. Its default guest address space is the whole
# 4 GB, and Wine's start-up reservation of the upper half then costs about a
# minute of emulated work per process; 2 GB and a little (Wine wants its
# shared page just below 0x7fff0000) starts it in about two seconds. A native
# run ignores the variable.
QEMU_ADDRESS_SPACE = "0x81000000"


def emulated_32bit():
    """True when 32-bit programs run through qemu's user-mode emulator, as
    scripts/install-deps sets up where the kernel runs none itself.

    Seen there: a run that goes on after the user picks a file in the
    file-open dialog (which leaves threads of its own behind) hangs or crashes
    at random, a thread now and then running with another's Windows thread
    data; the same exe does not under a kernel that runs 32-bit programs.
    Runs that never pick a file are sound.
    """
    try:
        with open("/proc/sys/fs/binfmt_misc/qemu-i386") as f:
            return f.readline().strip() == "enabled"
    except OSError:
        return False


# Under the emulator a sound run still fails now and then (see
# emulated_32bit); a fault of the exe fails every time.
EMULATED_ATTEMPTS = 3


def until_it_passes(name, attempt):
    """attempt() -> (problems, ...), called until it reports no problem, at
    most EMULATED_ATTEMPTS times where 32-bit programs are emulated and once
    elsewhere. Each failed attempt but the last is printed, so a check that
    needed more than one stays visible. Returns the last attempt's result."""
    attempts = EMULATED_ATTEMPTS if emulated_32bit() else 1
    for n in range(1, attempts + 1):
        result = attempt()
        if not result[0] or n == attempts:
            return result
        print("again %s: attempt %d of %d failed: %s" % (name, n, attempts, "; ".join(result[0])), flush=True)


def _clean_env(**extra):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("LC_", "WINE", "QEMU_")) and k not in ("LANG", "LANGUAGE", "DISPLAY")}
    env["QEMU_RESERVED_VA"] = QEMU_ADDRESS_SPACE
    env.update({k: v for k, v in extra.items() if v is not None})
    return env


def _run(cmd, env, timeout=60, check=True, **kw):
    """Run a command to its end. Output goes through files, not pipes: a wine
    command leaves services behind that inherit its stdout/stderr and would keep
    a pipe open for as long as the wineserver lives."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.run(cmd, env=env, stdout=out, stderr=err, timeout=timeout, **kw)
        out.seek(0)
        err.seek(0)
        p.stdout, p.stderr = out.read(), err.read()
    if check and p.returncode != 0:
        raise HarnessError("%s failed (%d): %s" % (" ".join(map(str, cmd)), p.returncode,
                                                    p.stderr.decode("utf-8", "replace")[-2000:]))
    return p


def ansi_code_page(lang):
    """Wine's ANSI code page for a Unix locale name: 932 only for an installed Japanese locale."""
    if lang.lower().startswith("ja_jp"):
        have = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, text=True).stdout.lower()
        norm = lang.lower().replace("utf-8", "utf8")
        if norm in have.split():
            return 932
    return 1252


def ansi_as_shown(text, code_page):
    """How a window title given as cp932 bytes to an A function reads under another code page.

    Wine maps the bytes cp1252 leaves undefined (0x81, 0x8d, ...) to the same code point.
    """
    raw = text.encode("cp932")
    if code_page == 932:
        return text
    return "".join(bytes([b]).decode("cp1252", "strict") if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D)
                   else chr(b) for b in raw)


# ---------------------------------------------------------------- registry files

def _reg_quote(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _reg_data(rtype, data):
    """One value's data in .reg syntax. str data is stored as the type's UTF-16 form,
    bytes are stored exactly as given, with the given type."""
    if rtype == REG_SZ and isinstance(data, str) and "\n" not in data and "\r" not in data:
        return _reg_quote(data)
    if rtype == REG_DWORD and isinstance(data, int):
        return "dword:%08x" % data
    if isinstance(data, str):
        raw = data.encode("utf-16-le") + b"\0\0"
    elif isinstance(data, (list, tuple)):   # REG_MULTI_SZ
        raw = b"".join(s.encode("utf-16-le") + b"\0\0" for s in data) + b"\0\0"
    elif isinstance(data, int):
        raw = data.to_bytes(4, "little")
    else:
        raw = bytes(data)
    hexed = ",".join("%02x" % b for b in raw)
    return ("hex:" if rtype == REG_BINARY else "hex(%x):" % rtype) + hexed


# ---------------------------------------------------------------- relay trace

# A string argument as relay prints it: address, space, then "..." or L"..."
# (with "..." after it when cut short), (null), or an atom such as #0001.
_ARG = rb'[0-9a-f]+ (L?"(?:[^"\\]|\\.)*"(?:\.\.\.)?|[^,"]*)'


_C_ESCAPES = {b"n": 10, b"r": 13, b"t": 9, b"\\": 0x5C, b'"': 0x22}


def _relay_units(s, wide):
    """Wine's debugstr form back to what it shows: the bytes of an ANSI string
    (others than printable ASCII as \\xNN) or the UTF-16 code units of a wide
    one (as \\XXXX); \\n, \\r, \\t, \\\\ and \\" as in C."""
    units, i = [], 0
    while i < len(s):
        if s[i] != 0x5C:
            units.append(s[i])
            i += 1
        elif wide and re.fullmatch(rb"[0-9a-fA-F]{4}", s[i + 1:i + 5]):
            units.append(int(s[i + 1:i + 5], 16))
            i += 5
        elif not wide and s[i + 1:i + 2] == b"x":
            units.append(int(s[i + 2:i + 4], 16))
            i += 4
        elif s[i + 1:i + 2] in _C_ESCAPES:
            units.append(_C_ESCAPES[s[i + 1:i + 2]])
            i += 2
        else:
            units.append(0x5C)
            i += 1
    return units


def unescape_relay(s):
    """An ANSI string of the relay trace as the bytes it was."""
    return bytes(_relay_units(s, wide=False))


def unescape_relay_wide(s):
    """A wide string of the relay trace as text (surrogate pairs joined)."""
    raw = b"".join(u.to_bytes(2, "little") for u in _relay_units(s, wide=True))
    return raw.decode("utf-16-le", "surrogatepass")


@dataclass
class MessageBoxCall:
    owner: int
    text: str                 # as the user reads it: a W call's text, or an A call's bytes read as cp932
    caption: str
    style: int
    ret_addr: int
    wide: bool                # MessageBoxW (else MessageBoxA)
    raw_text: bytes = b""     # an A call's bytes as passed
    truncated: bool = False   # Wine cut a long string short and printed "..." after it


_MB_CALL = re.compile(
    rb"^[0-9a-f]+:Call user32\.MessageBox([AW])\(([0-9a-f]+)," + _ARG + rb"," + _ARG
    + rb",([0-9a-f]+)\) ret=([0-9a-f]+)", re.M)


def _relay_arg(tok):
    """(text, cut short) of one string argument: str for L"...", bytes for "...",
    None for NULL or an atom such as #0001."""
    m = re.fullmatch(rb'(L?)"((?:[^"\\]|\\.)*)"(\.\.\.)?', tok)
    if not m:
        return None, False
    if m.group(1):
        return unescape_relay_wide(m.group(2)), bool(m.group(3))
    return unescape_relay(m.group(2)), bool(m.group(3))


def _as_text(value):
    return value.decode("cp932", "replace") if isinstance(value, bytes) else (value or "")


def parse_message_boxes(relay):
    calls = []
    for m in _MB_CALL.finditer(relay):
        text, t_cut = _relay_arg(m.group(3))
        caption, c_cut = _relay_arg(m.group(4))
        calls.append(MessageBoxCall(int(m.group(2), 16), _as_text(text), _as_text(caption),
                                    int(m.group(5), 16), int(m.group(6), 16), m.group(1) == b"W",
                                    text if isinstance(text, bytes) else b"", t_cut or c_cut))
    return calls


def count_calls(relay, dll_func):
    return len(re.findall(rb"^[0-9a-f]+:Call " + re.escape(dll_func.encode()) + rb"\(", relay, re.M))


# The ANSI calls the program once made, traced so that a run can show it makes
# none of them now.
ANSI_CALLS = ("user32.MessageBoxA", "comdlg32.GetOpenFileNameA", "advapi32.RegSetValueExA")


@dataclass
class RegSetCall:
    hkey: int
    name: str
    rtype: int
    size: int
    ret_addr: int


_RSV_CALL = re.compile(
    rb"^[0-9a-f]+:Call advapi32\.RegSetValueEx[AW]\(([0-9a-f]+)," + _ARG
    + rb",[0-9a-f]+,([0-9a-f]+),[0-9a-f]+,([0-9a-f]+)\) ret=([0-9a-f]+)", re.M)


def parse_reg_set_calls(relay):
    out = []
    for m in _RSV_CALL.finditer(relay):
        name, _ = _relay_arg(m.group(2))
        out.append(RegSetCall(int(m.group(1), 16), _as_text(name), int(m.group(3), 16), int(m.group(4), 16),
                              int(m.group(5), 16)))
    return out


# ---------------------------------------------------------------- shortcut

def shortcut_header(path):
    """The fixed header fields of a .lnk that lnkinfo does not report reliably
    (it has printed a show command of 0 where the file holds 1)."""
    with open(path, "rb") as f:
        head = f.read(0x4C)
    if len(head) < 0x4C or head[:4] != b"\x4c\0\0\0":
        raise HarnessError("%s has no shell link header" % path)
    return {"show command": int.from_bytes(head[0x3C:0x40], "little"),
            "hot key": int.from_bytes(head[0x40:0x42], "little"),
            "icon index": int.from_bytes(head[0x38:0x3C], "little", signed=True)}


def read_shortcut(path, code_page=932):
    """What lnkinfo reads from a .lnk: {'Local path', 'Working directory',
    'Command line arguments', ...} from its 'Link information' section.
    code_page names how the file's ANSI strings are read; Unicode strings are
    printed as UTF-8 whatever it is."""
    p = subprocess.run(["lnkinfo", "-c", "windows-%d" % code_page, os.fspath(path)],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0:
        raise HarnessError("lnkinfo failed on %s: %s" % (path, p.stderr.decode("utf-8", "replace")))
    fields, section = {}, None
    for line in p.stdout.decode("utf-8", "surrogateescape").splitlines():
        if line and not line.startswith("\t"):
            section = line.rstrip(":")
            continue
        m = re.match(r"^\t([^\t].*?)\t+: ?(.*)$", line)
        if m and section == "Link information":
            fields[m.group(1)] = m.group(2)
    return fields


# ---------------------------------------------------------------- display

class Display:
    """One Xvfb shared by all cases of a run (no window manager: a message box
    is a top-level X window named after its caption)."""

    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(w)
        buf = b""
        with os.fdopen(r, "rb") as f:
            while not buf.endswith(b"\n"):
                chunk = f.read(1)
                if not chunk:
                    break
                buf += chunk
        if not buf.strip().isdigit():
            self.close()
            raise HarnessError("Xvfb did not report a display number")
        self.name = ":" + buf.strip().decode()

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def xdo(self, *args, check=False):
        # xdotool reads its text arguments by the locale: under C it drops
        # every non-ASCII character it is asked to type.
        env = _clean_env(DISPLAY=self.name, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        p = subprocess.run(["xdotool", *args], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if check and p.returncode != 0:
            raise HarnessError("xdotool %s failed" % " ".join(args))
        return p.stdout.decode("utf-8", "replace")

    def windows_of(self, pid):
        """Visible top-level windows owned by a Linux pid (Wine sets _NET_WM_PID)."""
        ids = self.xdo("search", "--onlyvisible", "--pid", str(pid)).split()
        return [(wid, self.xdo("getwindowname", wid).rstrip("\n")) for wid in ids]


# ---------------------------------------------------------------- template

def _wine_version():
    return subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()


def _boot_env(prefix, home):
    return _clean_env(WINEPREFIX=prefix, WINEARCH=WINEARCH, HOME=home, WINEDEBUG="-all",
                      LANG="C.UTF-8", LC_ALL="C.UTF-8",
                      # no Mono/Gecko installers and no .desktop files on the host
                      WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")


def _user_dir(prefix):
    users = os.path.join(prefix, "drive_c", "users")
    names = [n for n in os.listdir(users) if n != "Public"]
    if len(names) != 1:
        raise HarnessError("expected one user profile in %s, found %r" % (users, names))
    return os.path.join(users, names[0])


def ensure_template(cache_dir):
    """Path of a booted 32-bit prefix under cache_dir, booting it the first time.

    Concurrent callers serialise on a lock file; the prefix is built under a
    temporary name and renamed into place, so a half-built one is never used.
    """
    os.makedirs(cache_dir, exist_ok=True)
    name = "template-%s-f%d" % (re.sub(r"[^\w.-]", "_", _wine_version()), TEMPLATE_FORMAT)
    final = os.path.join(cache_dir, name)
    if os.path.isfile(os.path.join(final, "ready")):
        return os.path.join(final, "prefix")
    with open(os.path.join(cache_dir, name + ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.isfile(os.path.join(final, "ready")):
            return os.path.join(final, "prefix")
        shutil.rmtree(final, ignore_errors=True)
        work = tempfile.mkdtemp(prefix=name + ".tmp-", dir=cache_dir)
        try:
            _boot_template(work)
            os.chmod(work, 0o755)
            os.rename(work, final)
        except BaseException:
            shutil.rmtree(work, ignore_errors=True)
            raise
    return os.path.join(final, "prefix")


def _boot_template(work):
    prefix, home = os.path.join(work, "prefix"), os.path.join(work, "home")
    os.makedirs(home)
    env = _boot_env(prefix, home)
    try:
        _run(["wineboot", "-i"], env, timeout=180)
        _run(["wine", "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
              "/t", "REG_SZ", "/d", RELAY_INCLUDE, "/f"], env)
        shell = _run(["wine", "reg", "query", SHELL_FOLDERS.replace("HKEY_CURRENT_USER", "HKCU"),
                      "/v", "Desktop"], env).stdout.decode("utf-8", "replace")
    finally:
        _run(["wineserver", "-w"], env, timeout=120, check=False)
    user = os.path.basename(_user_dir(prefix))
    want = "C:\\users\\%s\\Desktop" % user
    if want.lower() not in shell.lower():
        raise HarnessError("template Shell Folders\\Desktop is not %s: %s" % (want, shell))
    # Wine links the profile folders to $HOME; a case wants real folders of its own.
    udir = _user_dir(prefix)
    for root, dirs, files in os.walk(udir):
        for n in dirs + files:
            p = os.path.join(root, n)
            if os.path.islink(p) and os.path.realpath(p).startswith(os.path.realpath(home)):
                os.unlink(p)
                os.mkdir(p)
    with open(os.path.join(work, "ready"), "w") as f:
        f.write(_wine_version() + "\n")


# Files Wine only ever reads at run time; a case shares them with the template
# by hard link (copying the 600 MB of DLLs per case would cost seconds).
_SHARED_EXT = (".dll", ".exe", ".drv", ".sys", ".acm", ".ocx", ".cpl", ".tlb", ".msstyles",
               ".ttf", ".fon", ".nls", ".ax", ".ds", ".ime", ".com", ".vxd", ".mui", ".tsp")


def _clone_prefix(src, dst):
    windows = os.path.join(src, "drive_c", "windows")

    def copy(s, d):
        if s.startswith(windows + os.sep) and s.lower().endswith(_SHARED_EXT):
            os.link(s, d)
        else:
            shutil.copy2(s, d)
    shutil.copytree(src, dst, symlinks=True, copy_function=copy)


# ---------------------------------------------------------------- one case

@dataclass
class RunResult:
    exit_code: object          # int, or None when the run timed out and was killed
    relay: bytes
    message_boxes: list
    open_dialog_calls: int     # GetOpenFileNameW calls
    reg_set_calls: list
    ansi_calls: dict           # each of ANSI_CALLS: how often it was called
    answered: list             # (answer, window name) in the order handled
    unanswered: list
    stray_windows: list        # names of windows of the process left when it timed out
    seconds: float
    log_path: str = ""
    answer_seconds: tuple = ()  # when each answer was sent, in seconds after the start

    @property
    def timed_out(self):
        return self.exit_code is None


class Case:
    """A fresh prefix copied from the template, with its own HOME and Desktop.

    Scene edits (set_value, delete_value, set_windows_version, ...) are queued and
    applied in one `wine regedit` call right before the run; that call also
    starts the case's wineserver and services, so their noise stays out of the
    exe's relay log.
    """

    def __init__(self, template, case_dir, display, lang="ja_JP.UTF-8"):
        self.dir = os.path.abspath(case_dir)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.prefix = os.path.join(self.dir, "prefix")
        self.home = os.path.join(self.dir, "home")
        os.makedirs(self.home)
        _clone_prefix(template, self.prefix)
        self.display = display
        self.lang = lang
        self.code_page = ansi_code_page(lang)
        self.user = os.path.basename(_user_dir(self.prefix))
        self.desktop = os.path.join(_user_dir(self.prefix), "Desktop")
        self.desktop_win = "C:\\users\\%s\\Desktop" % self.user
        self._edits = []
        self._server = None
        self._check_desktop()
        # With no window manager on the display, Wine waits 2 s for one each
        # time a managed window (a message box) closes. Unmanaged windows,
        # which Wine frames itself, skip that wait.
        self.set_value(X11_DRIVER, "Managed", REG_SZ, "N")

    # -- environment

    def env(self, debug="-all"):
        return _clean_env(WINEPREFIX=self.prefix, WINEARCH=WINEARCH, HOME=self.home,
                          DISPLAY=self.display.name if self.display else None,
                          LANG=self.lang, LC_ALL=self.lang, WINEDEBUG=debug,
                          WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")

    def _check_desktop(self):
        if os.path.islink(self.desktop) or not os.path.isdir(self.desktop):
            raise HarnessError("%s is not a real folder" % self.desktop)
        with open(os.path.join(self.prefix, "user.reg"), encoding="ascii", errors="replace") as f:
            reg = f.read()
        sect = reg.split("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]", 1)
        want = '"Desktop"="%s"' % self.desktop_win.replace("\\", "\\\\")
        if len(sect) != 2 or want not in sect[1].split("\n[", 1)[0]:
            raise HarnessError("Shell Folders\\Desktop in %s is not %s" % (self.prefix, self.desktop_win))

    # -- scene: file system

    def win_path(self, path):
        """Host path inside drive_c for a C:\\ path."""
        if not path[:3].upper() == "C:\\":
            raise ValueError(path)
        return os.path.join(self.prefix, "drive_c", *path[3:].split("\\"))

    def remove_file(self, win_path=BROWSER_WIN):
        p = self.win_path(win_path)
        if os.path.lexists(p):
            os.unlink(p)

    def put_file(self, win_path=BROWSER_WIN, content=b"MZ"):
        p = self.win_path(win_path)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        if os.path.lexists(p):
            os.unlink(p)   # never write through a hard link into the template
        with open(p, "wb") as f:
            f.write(content)

    def make_folder(self, win_path):
        """A folder (and its parents) at a C:\\ path, in place of any file there."""
        p = self.win_path(win_path)
        if os.path.lexists(p) and not os.path.isdir(p):
            os.unlink(p)
        os.makedirs(p, exist_ok=True)

    def user_folder(self, name):
        """Host path of a folder of the user's profile (Downloads, say), made if missing."""
        p = os.path.join(_user_dir(self.prefix), name)
        if os.path.islink(p):
            os.unlink(p)
        os.makedirs(p, exist_ok=True)
        return p

    def desktop_listing(self):
        return sorted(os.listdir(self.desktop))

    def shortcut_path(self):
        return os.path.join(self.desktop, SHORTCUT_NAME)

    # -- scene: registry

    def set_value(self, key, name, rtype, data):
        """Queue one value. str data is stored in the type's usual form (REG_SZ
        and REG_EXPAND_SZ as NUL-terminated UTF-16, as Windows keeps them); bytes
        are stored as they are, so a REG_SZ given as bytes must be UTF-16LE and
        may leave out the terminator on purpose."""
        self._edits.append((key, "%s=%s" % (_reg_quote(name), _reg_data(rtype, data))))

    def delete_value(self, key, name):
        self._edits.append((key, "%s=-" % _reg_quote(name)))

    def delete_key(self, key):
        self._edits.append(("-" + key, None))

    def set_windows_version(self, version, csd="", build="", sp=None):
        """version like "5.1"; csd like "Service Pack 2"; sp=(major, minor), by
        default read from csd."""
        if sp is None:
            m = re.match(r"Service Pack (\d+)", csd)
            sp = (int(m.group(1)), 0) if m else (0, 0)
        self.set_value(NT_CURRENT_VERSION, "CurrentVersion", REG_SZ, version)
        self.set_value(NT_CURRENT_VERSION, "CSDVersion", REG_SZ, csd)
        self.set_value(NT_CURRENT_VERSION, "CurrentBuildNumber", REG_SZ, build)
        self.set_value(SERVICE_PACK_KEY, "CSDVersion", REG_DWORD, (sp[0] << 8) | sp[1])

    # Wine's shell32 rewrites Shell Folders\Desktop (as REG_SZ) whenever it
    # resolves the desktop folder, and explorer.exe does so when the first GUI
    # process of a wineserver session starts; _start() brings the desktop up
    # before it applies the scene, so that the exe reads the value set here.
    #
    # In a 64-bit prefix every 32-bit program that opens a window makes the
    # shell copy User Shell Folders\Desktop over Shell Folders\Desktop again.
    # The shell copies only a value that is there, and the exe never reads User
    # Shell Folders, so a scene that sets the desktop value removes it there.
    def set_desktop_value(self, data, rtype=REG_SZ):
        self.delete_value(USER_SHELL_FOLDERS, "Desktop")
        self.set_value(SHELL_FOLDERS, "Desktop", rtype, data)

    def delete_desktop_value(self):
        self.delete_value(USER_SHELL_FOLDERS, "Desktop")
        self.delete_value(SHELL_FOLDERS, "Desktop")

    def _start(self):
        """Start the case's wineserver and apply queued registry edits."""
        env = self.env()
        if not self._server:
            # -p keeps the server (and the services it starts) alive between
            # the regedit call, the run and the read-back; it stays in the
            # foreground, so it is a child of ours until close().
            self._server = subprocess.Popen(["wineserver", "-f", "-p"], env=env,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                            start_new_session=True)
            # Bring up the session's desktop (explorer.exe) now, so that its
            # rewrite of Shell Folders happens before the scene is set, not
            # during the exe's start.
            _run(["wine", "rundll32.exe", "user32.dll,GetDesktopWindow"], env, timeout=60, check=False)
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, line in self._edits:
            lines.append("[%s]" % key)
            if line is not None:
                lines.append(line)
            lines.append("")
        path = os.path.join(self.dir, "scene.reg")
        with open(path, "wb") as f:
            f.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
        _run(["wine", "regedit", "/S", path], env, timeout=60)
        self._edits = []

    # -- reading back

    def query_values(self, key):
        """{name: (type name, data text)} of one key as `wine reg query` lists it,
        or None when the key does not exist."""
        if not self._server or self._edits:
            self._start()
        p = _run(["wine", "reg", "query", key], self.env(), check=False)
        if p.returncode != 0:
            return None
        text = p.stdout.decode("cp%d" % self.code_page, "replace")
        values = {}
        for line in text.splitlines():
            # "    name    REG_TYPE    data": four spaces between the columns
            m = re.match(r"^    (.*?)    (REG_[A-Z_]+)(?:    (.*))?$", line)
            if m:
                values[m.group(1)] = (m.group(2), m.group(3) or "")
        return values

    def allow_list(self):
        """The pop-up allow list's values, as query_values gives them."""
        return self.query_values(ALLOW_LIST.replace("HKEY_CURRENT_USER", "HKCU"))

    # -- the run

    def run(self, exe, answers=(), args=(), timeout=RUN_TIMEOUT, before_answer=None, cwd=None,
            debug="-all,+relay"):
        """Run exe to its end, answering its windows in order.

        Each answer is (caption, action[, text]): caption is the window title
        as the program passes it (matched also in the form it takes under code
        page 1252), or None for any visible window of the process; action is
        "ok" (Return), "cancel" (Escape) or "type" (focus, type text, Return).
        before_answer(window id, window name), when given, is called as each
        matched window is about to be answered (to take a picture of it, say).
        cwd is the host folder the exe starts in (the case's own folder by default).
        debug is the run's WINEDEBUG: message_boxes, open_dialog_calls and
        reg_set_calls are read from the relay trace that the default turns on.
        """
        self._start()
        log = os.path.join(self.dir, "relay.log")
        t0 = time.monotonic()
        answered, pending, stray, answer_times = [], list(answers), [], []
        with open(log, "wb") as err:
            proc = subprocess.Popen(["wine", os.path.abspath(exe), *args], env=self.env(debug),
                                    stdout=subprocess.DEVNULL, stderr=err, start_new_session=True,
                                    cwd=cwd or self.dir)
            deadline = t0 + timeout
            handled, unexpected = {}, {}   # handled: window id -> [answer, when sent, times sent]
            while proc.poll() is None and time.monotonic() < deadline:
                visible = self.display.windows_of(proc.pid)
                self._press_again(visible, handled)
                shown = [w for w in visible if w[0] not in handled]
                hit = self._match(shown, pending[0]) if pending else None
                if hit:
                    if before_answer:
                        before_answer(*hit)
                    answer_times.append(time.monotonic() - t0)
                    self._answer(hit[0], pending[0])
                    handled[hit[0]] = [pending[0], time.monotonic(), 1]
                    answered.append((pending.pop(0), hit[1]))
                    continue
                # A window nobody expects (an error box in place of the
                # confirmation, say) will not go away by itself: give up on it
                # after a grace period instead of waiting out the whole timeout.
                now = time.monotonic()
                for wid, _ in shown:
                    unexpected.setdefault(wid, now)
                if any(now - unexpected[w] > UNEXPECTED_GRACE for w, _ in shown):
                    break
                time.sleep(POLL)
            if proc.poll() is None:
                stray = [n for _, n in self.display.windows_of(proc.pid)]
                self._kill(proc)
                code = None
            else:
                code = proc.returncode
        with open(log, "rb") as f:
            relay = f.read()
        return RunResult(code, relay, parse_message_boxes(relay),
                         count_calls(relay, "comdlg32.GetOpenFileNameW"), parse_reg_set_calls(relay),
                         {f: count_calls(relay, f) for f in ANSI_CALLS}, answered, pending, stray, time.monotonic() - t0, log, tuple(answer_times))

    def _press_again(self, visible, handled):
        """A box that gets its key in the moment it is mapped may drop it and
        stay up; press OK or cancel again on a box still there a while later."""
        now = time.monotonic()
        for wid, _ in visible:
            entry = handled.get(wid)
            if entry and entry[0][1] in ("ok", "cancel") and now - entry[1] > PRESS_AGAIN_AFTER \
                    and entry[2] < PRESS_AGAIN_TIMES:
                self._answer(wid, entry[0])
                entry[1:] = [now, entry[2] + 1]

    def _match(self, shown, answer):
        caption = answer[0]
        wanted = None if caption is None else {caption, ansi_as_shown(caption, self.code_page)}
        for wid, name in shown:
            if wanted is None or name in wanted:
                return wid, name
        return None

    def _answer(self, wid, answer):
        try:
            self._send_answer(wid, answer)
        except HarnessError:
            # An unmanaged box is gone as soon as its key goes down, so the
            # key's release may find no window: that is not a failure.
            if self.display.xdo("getwindowname", wid) != "":
                raise

    def _send_answer(self, wid, answer):
        action = answer[1]
        if action == "ok":
            self.display.xdo("key", "--window", wid, "Return", check=True)
        elif action == "cancel":
            self.display.xdo("key", "--window", wid, "Escape", check=True)
        elif action == "type":
            # typing into a window by id drops the Shift of ':' and the like;
            # focus it and type to the focused window instead
            self.display.xdo("windowfocus", "--sync", wid, check=True)
            # a character outside the keymap is typed by remapping a spare key;
            # when keys come fast Wine reads the next mapping and drops the
            # character, so go slowly then
            delay = "5" if answer[2].isascii() else "100"
            self.display.xdo("type", "--delay", delay, answer[2], check=True)
            self.display.xdo("key", "Return", check=True)
        else:
            raise ValueError("unknown action %r" % (action,))

    def _kill(self, proc):
        subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()

    def close(self):
        if self._server:
            env = self.env()
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            try:
                self._server.wait(30)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
            self._server = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
