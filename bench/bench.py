#!/usr/bin/env python3
"""Size and start-to-exit time of the setup exe beside its NSIS equivalent.

    python3 bench/bench.py --exe OURS.exe --nsis-exe NSIS.exe --host HOST --work DIR
                           [--runs 20] [--warmup 3] [--poll 0.01] [--wm-wait] [--check]

bench/run builds both programs and calls this; see bench/README.md for what the
figures mean. Exit code: 0 when the benchmark ran (whatever the targets say),
1 when it could not run or a run did not do the expected work, 3 when it ran
but --check was given and a target was missed.
"""

import argparse
import os
import shutil
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "wine"))
import wineharness as wh  # noqa: E402

SIZE_TARGET = 256 * 1024          # bytes
DONE_CAPTION = wh.DONE_CAPTION
WORKING_FOLDER = "C:\\Program Files\\Internet Explorer\\"


class Program:
    def __init__(self, label, exe):
        self.label = label
        self.exe = os.path.abspath(exe)
        self.size = os.path.getsize(self.exe)
        self.totals = []        # seconds, start to exit, of the counted runs
        self.answers = []       # seconds, start to the box's answer
        self.notes = []


def run_once(prog, template, display, args, index):
    """One run of prog in a fresh prefix. Returns (total, answered_at) or None
    after noting why the run does not count."""
    case_dir = os.path.join(args.work, "case")
    try:
        with wh.Case(template, case_dir, display, lang=args.lang) as case:
            if case.code_page != 932:
                raise wh.HarnessError("%s gives code page %d, not 932 (is the locale generated?)"
                                      % (args.lang, case.code_page))
            # Both programs write the allow-list value only here.
            case.set_windows_version("5.1", "Service Pack 2", "2600")
            if args.wm_wait:
                # The harness makes windows unmanaged, which skips Wine's 2 s
                # wait for a window manager as each box closes; this puts the
                # wait back, as on a display that has no window manager.
                case.set_value(wh.X11_DRIVER, "Managed", wh.REG_SZ, "Y")
            # run() applies the scene and brings up the prefix's wineserver and
            # desktop before it starts the clock.
            res = case.run(prog.exe, answers=[(DONE_CAPTION, "ok")], debug="-all")
            problems = []
            if res.timed_out:
                problems.append("did not exit (windows left: %r)" % res.stray_windows)
            elif res.exit_code != 0:
                problems.append("exit code %d" % res.exit_code)
            if res.unanswered:
                problems.append("never showed the %s box" % DONE_CAPTION)
            problems += check_work(case, args.host)
    except wh.HarnessError as e:
        prog.notes.append("run %d: harness: %s" % (index, e))
        return None
    finally:
        if not args.keep:
            shutil.rmtree(case_dir, ignore_errors=True)
    if problems:
        prog.notes.append("run %d not counted: %s" % (index, "; ".join(problems)))
        return None
    return res.seconds, res.answer_seconds[0]


def check_work(case, host):
    """What a completed run must leave behind: the shortcut and the allow-list value."""
    problems = []
    if not os.path.exists(case.shortcut_path()):
        problems.append("no shortcut (Desktop holds %r)" % case.desktop_listing())
    else:
        lnk = wh.read_shortcut(case.shortcut_path(), case.code_page)
        want = {"Local path": wh.BROWSER_WIN,
                "Working directory": WORKING_FOLDER,
                "Command line arguments": '"http://%s/menu1/MenuM0000s1"' % host}
        for field, value in want.items():
            if lnk.get(field) != value:
                problems.append("shortcut %s is %r, want %r" % (field, lnk.get(field), value))
    allow = case.allow_list() or {}
    if allow.get(host) != ("REG_BINARY", ""):
        problems.append("allow list holds %r, want an empty REG_BINARY %r" % (allow, host))
    return problems


def fmt_s(x):
    return "%.3f s" % x if x is not None else "-"


def ratio(a, b):
    return "%.2f" % (a / b) if a is not None and b else "-"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--exe", required=True, help="our setup exe")
    ap.add_argument("--nsis-exe", required=True, help="the NSIS equivalent")
    ap.add_argument("--host", required=True, help="the service host both were built with")
    ap.add_argument("--work", required=True, help="scratch folder (a case prefix lives here during a run)")
    ap.add_argument("--cache", default=os.environ.get("WINE_TEMPLATE_CACHE"),
                    help="where the booted template prefix is kept (default WORK/wine-cache)")
    ap.add_argument("--runs", type=int, default=20, help="counted runs of each program (default 20)")
    ap.add_argument("--warmup", type=int, default=3, help="uncounted runs of each first (default 3)")
    ap.add_argument("--poll", type=float, default=0.01,
                    help="seconds the harness sleeps between looks at the display (default 0.01)")
    ap.add_argument("--lang", default="ja_JP.UTF-8")
    ap.add_argument("--wm-wait", action="store_true",
                    help="keep Wine's 2 s wait for a window manager when the box closes, as the tests have it")
    ap.add_argument("--keep", action="store_true", help="keep the last case's prefix")
    ap.add_argument("--check", action="store_true", help="exit 3 when a target is missed")
    args = ap.parse_args()
    args.work = os.path.abspath(args.work)
    if args.runs < 1 or args.warmup < 0 or args.poll < 0:
        ap.error("--runs must be at least 1, --warmup and --poll not negative")

    ours = Program("ours", args.exe)
    nsis = Program("NSIS equivalent", args.nsis_exe)
    programs = (ours, nsis)

    t0 = time.monotonic()
    print("preparing the Wine template prefix ...", flush=True)
    template = wh.ensure_template(args.cache or os.path.join(args.work, "wine-cache"))
    wh.POLL = args.poll
    total_runs = args.warmup + args.runs
    print("running each %d time(s) (%d warm-up), interleaved, LANG=%s, Windows XP SP2%s"
          % (total_runs, args.warmup, args.lang, ", Wine waits for a window manager" if args.wm_wait else ""),
          flush=True)
    with wh.Display() as display:
        for i in range(total_runs):
            counted = i >= args.warmup
            line = []
            for prog in programs:
                got = run_once(prog, template, display, args, i + 1)
                if got is None:
                    line.append("%s: not counted" % prog.label)
                    continue
                if counted:
                    prog.totals.append(got[0])
                    prog.answers.append(got[1])
                line.append("%s %.3f s" % (prog.label, got[0]))
            print("  run %2d%s: %s" % (i + 1, "" if counted else " (warm-up)", ", ".join(line)), flush=True)

    def med(xs):
        return statistics.median(xs) if xs else None

    def low(xs):
        return min(xs) if xs else None

    print()
    print("Size (bytes)")
    print("  %-18s %10d" % (ours.label, ours.size))
    print("  %-18s %10d" % (nsis.label, nsis.size))
    print("  %-18s %10s" % ("ratio ours/NSIS", ratio(ours.size, nsis.size)))
    size_ok = ours.size <= SIZE_TARGET
    print("  target: ours at most 256 KB (%d bytes): %s (%d bytes %s)"
          % (SIZE_TARGET, "PASS" if size_ok else "FAIL", abs(SIZE_TARGET - ours.size),
             "to spare" if size_ok else "over"))

    print()
    print("Time from start to exit under Wine, completion box answered (%d counted runs each)" % args.runs)
    print("  %-18s %5s %10s %10s %16s %16s" % ("", "runs", "median", "min", "box answered at", "answer to exit"))
    for p in programs:
        exits = [t - a for t, a in zip(p.totals, p.answers)]
        print("  %-18s %5d %10s %10s %16s %16s" % (p.label, len(p.totals), fmt_s(med(p.totals)),
                                                   fmt_s(low(p.totals)), fmt_s(med(p.answers)),
                                                   fmt_s(med(exits))))
    print("  %-18s %5s %10s %10s" % ("ratio ours/NSIS", "", ratio(med(ours.totals), med(nsis.totals)),
                                      ratio(low(ours.totals), low(nsis.totals))))
    time_ok = None
    if ours.totals and nsis.totals:
        time_ok = med(ours.totals) <= med(nsis.totals)
        print("  target: no slower than the NSIS equivalent (median ours <= median NSIS): %s (%+.0f ms)"
              % ("PASS" if time_ok else "FAIL", (med(ours.totals) - med(nsis.totals)) * 1000))
    else:
        print("  target: no slower than the NSIS equivalent: no result (runs missing)")

    notes = ours.notes + nsis.notes
    if notes:
        print()
        print("Notes")
        for p in programs:
            for n in p.notes:
                print("  %s: %s" % (p.label, n))
    print()
    print("(%.0f s in all)" % (time.monotonic() - t0))

    if notes or time_ok is None:
        return 1
    if args.check and not (size_ok and time_ok):
        return 3
    return 0


if __name__ == "__main__":
    sys.exit(main())
