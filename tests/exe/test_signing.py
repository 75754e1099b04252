#!/usr/bin/env python3
"""Signing the exe the way the build does (cmake/SignExe.cmake), with
throwaway self-signed code-signing certificates made in a temporary folder:

- the built exe carries no signature (the default build is unsigned);
- a copy signed with a plain key, and one signed with a password-protected key
  and its password file, carry one: the PE security directory is filled in and
  osslsigncode verifies it against the certificate, and not against another;
- a key that does not match the certificate, or a wrong password, makes the
  script fail and leaves the copy as it was;
- the signed copy still runs to completion under Wine: the completion message
  box, the shortcut on the Desktop, exit code 0.

    python3 tests/exe/test_signing.py --exe EXE --objdump OBJDUMP --osslsigncode PATH
        --openssl PATH --cmake PATH --sign-script cmake/SignExe.cmake --host HOST --work DIR
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import wineharness as wh  # noqa: E402

DONE_TEXT = wh.DONE_TEXT
PASSWORD = "throwaway-password"


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def make_certificate(openssl, folder, name):
    """A self-signed certificate for code signing and its unencrypted key."""
    cert, key = os.path.join(folder, name + ".crt.pem"), os.path.join(folder, name + ".key.pem")
    p = run([openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
             "-subj", "/CN=Throwaway %s" % name, "-keyout", key, "-out", cert,
             "-addext", "basicConstraints=critical,CA:FALSE",
             "-addext", "keyUsage=critical,digitalSignature",
             "-addext", "extendedKeyUsage=codeSigning"])
    if p.returncode != 0:
        raise RuntimeError("openssl req failed: %s" % p.stdout)
    return cert, key


def encrypt_key(openssl, key, folder):
    password_file = os.path.join(folder, "password.txt")
    with open(password_file, "w") as f:
        f.write(PASSWORD + "\n")
    encrypted = os.path.join(folder, "encrypted.key.pem")
    p = run([openssl, "pkey", "-in", key, "-aes256", "-passout", "file:" + password_file, "-out", encrypted])
    if p.returncode != 0:
        raise RuntimeError("openssl pkey failed: %s" % p.stdout)
    return encrypted, password_file


def security_directory_size(objdump, exe):
    dump = run([objdump, "-p", exe]).stdout
    m = re.search(r"^Entry 4 ([0-9a-fA-F]+) ([0-9a-fA-F]+) Security Directory", dump, re.M)
    if not m:
        raise RuntimeError("objdump shows no data directory entry 4 for %s" % exe)
    return int(m.group(2), 16)


def sign(args, exe, cert, key, password_file=""):
    return run([args.cmake, "-DOSSLSIGNCODE=" + args.osslsigncode, "-DEXE=" + exe, "-DCERT=" + cert,
                "-DKEY=" + key, "-DPASSWORD_FILE=" + password_file, "-DDESCRIPTION=Lumidor for IE",
                "-P", args.sign_script])


def verifies(args, exe, cert):
    return run([args.osslsigncode, "verify", "-CAfile", cert, "-in", exe]).returncode == 0


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def check_signing(args, folder):
    """Returns (problems, path of a signed copy)."""
    problems = []
    cert, key = make_certificate(args.openssl, folder, "signer")
    other_cert, other_key = make_certificate(args.openssl, folder, "stranger")
    encrypted_key, password_file = encrypt_key(args.openssl, key, folder)
    wrong_password = os.path.join(folder, "wrong-password.txt")
    with open(wrong_password, "w") as f:
        f.write("not-" + PASSWORD + "\n")

    if security_directory_size(args.objdump, args.exe) != 0:
        problems.append("the built exe is already signed; the default build must leave it unsigned")

    signed_copy = None
    # name, key, password file, should it sign
    rows = [
        ("plain key",              key,           "",             True),
        ("key with password",      encrypted_key, password_file,  True),
        ("key of another cert",    other_key,     "",             False),
        ("wrong password",         encrypted_key, wrong_password, False),
    ]
    for name, row_key, row_password, should_sign in rows:
        row_dir = os.path.join(folder, re.sub(r"\W+", "-", name))
        os.makedirs(row_dir)
        exe = os.path.join(row_dir, os.path.basename(args.exe))
        shutil.copy(args.exe, exe)
        before = digest(exe)
        p = sign(args, exe, cert, row_key, row_password)
        size = security_directory_size(args.objdump, exe)
        print("  %-20s -> script exit %d, security directory %d bytes" % (name, p.returncode, size))
        if should_sign:
            if p.returncode != 0:
                problems.append("%s: SignExe.cmake failed: %s" % (name, p.stdout.strip()[-800:]))
                continue
            if size == 0:
                problems.append("%s: the copy carries no signature after signing" % name)
            if not verifies(args, exe, cert):
                problems.append("%s: osslsigncode does not verify the copy against its certificate" % name)
            if verifies(args, exe, other_cert):
                problems.append("%s: the copy verifies against a certificate that did not sign it" % name)
            signed_copy = signed_copy or exe
        else:
            if p.returncode == 0:
                problems.append("%s: SignExe.cmake succeeded; it must fail" % name)
            if digest(exe) != before or size != 0:
                problems.append("%s: the failed signing changed the exe" % name)
            leftovers = [n for n in os.listdir(row_dir) if n != os.path.basename(exe)]
            if leftovers:
                problems.append("%s: the failed signing left %r behind" % (name, leftovers))
    return problems, signed_copy


def check_signed_run(args, exe, template, display):
    problems = []
    with wh.Case(template, os.path.join(args.work, "cases", "signed-exe"), display) as case:
        res = case.run(exe, answers=[("確認", "ok")])
        print("  signed exe ran in %.1f s, log %s" % (res.seconds, res.log_path))
        if res.exit_code != 0:
            problems.append("exit code %r, want 0 (windows left: %r)" % (res.exit_code, res.stray_windows))
        if [b.text for b in res.message_boxes] != [DONE_TEXT]:
            problems.append("message boxes %r, want only the completion message"
                            % [(b.text, b.caption) for b in res.message_boxes])
        if case.desktop_listing() != [wh.SHORTCUT_NAME]:
            problems.append("Desktop holds %r, want only %r" % (case.desktop_listing(), wh.SHORTCUT_NAME))
        elif wh.read_shortcut(case.shortcut_path()).get("Command line arguments") != \
                '"http://%s/menu1/MenuM0000s1"' % args.host:
            problems.append("the shortcut's arguments are not the top-menu URL")
    return problems


def main():
    ap = argparse.ArgumentParser()
    for name in ("exe", "objdump", "osslsigncode", "openssl", "cmake", "sign-script", "host", "work"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--cache", default=os.environ.get("WINE_TEMPLATE_CACHE"))
    args = ap.parse_args()
    args.exe, args.work = os.path.abspath(args.exe), os.path.abspath(args.work)
    missing = [n for n in ("osslsigncode", "openssl") if not shutil.which(getattr(args, n) or "")]
    if missing:
        print("FAIL %s not found (scripts/install-deps installs them)" % " and ".join(missing))
        print("0 passed, 1 failed")
        return 1

    t0 = time.monotonic()
    passed = failed = 0
    os.makedirs(args.work, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="signing-", dir=args.work) as folder:
        results = []
        problems, signed = check_signing(args, folder)
        results.append(("signing with SignExe.cmake", problems))
        if signed:
            template = wh.ensure_template(args.cache or os.path.join(args.work, "cache"))
            with wh.Display() as display:
                try:
                    problems = check_signed_run(args, signed, template, display)
                except wh.HarnessError as e:
                    problems = ["harness: %s" % e]
        else:
            problems = ["no signed copy to run"]
        results.append(("the signed exe under Wine", problems))
    for name, problems in results:
        failed += bool(problems)
        passed += not problems
        print("%s %s%s" % ("FAIL" if problems else "ok  ", name, ":" if problems else ""))
        for p in problems:
            print("    %s" % p)
    print("total %.1f s" % (time.monotonic() - t0))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
