"""Runs configure and build commands for the checks that make a build of
their own, and reports the first that fails in the checks' own format."""

import subprocess
import sys


def run_build_steps(steps):
    """Runs each command in turn. Returns True, or False after printing the
    failing command's last output and a failed summary."""
    for step in steps:
        p = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if p.returncode != 0:
            sys.stdout.write(p.stdout.decode("utf-8", "replace")[-4000:])
            print("FAIL %s exited %d" % (" ".join(step[:3]), p.returncode))
            print("0 passed, 1 failed")
            return False
    return True
