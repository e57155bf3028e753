#!/usr/bin/env python3
"""Runs cwtool once and compares what it did with the golden files.

  run_golden.py --tool CWTOOL --root SRC --golden DIR/NAME --exit N
                --tmpdir DIR [--stdin FILE] [--env KEY=VALUE]... -- ARG...

cwtool runs in SRC (so sample paths are relative and messages stable) with a
fixed environment: LC_ALL=C.UTF-8, TZ=UTC, CWBASE_SAMPLES=samples and TMPDIR
set to DIR (created if missing); --env adds to or overrides it. An ARG of <empty> stands for an empty
argument, which CMake cannot pass, and <byte-XX> inside an ARG for the byte of
hexadecimal value XX. Expected: standard output in NAME.out,
standard error in NAME.err (a missing file means nothing is expected) and
exit code N. The temporary folder and mkstemp's random suffix are replaced
by $TMPDIR and XXXXXX before comparing.

With CWTOOL_GOLDEN_UPDATE=1 in the environment the golden files are written
from this run instead (the exit code is still checked); review them by eye.
"""
import argparse
import os
import re
import subprocess
import sys


def normalise(data, tmpdir):
    data = data.replace(tmpdir.encode(), b"$TMPDIR")
    return re.sub(rb"cwtool-xml-[A-Za-z0-9]{6}", b"cwtool-xml-XXXXXX", data)


def show(data):
    """Lines for a diff: invalid bytes, CR and other control bytes made visible."""
    text = data.decode("utf-8", errors="backslashreplace")
    text = re.sub(r"[\x00-\x08\x0b-\x1f\x7f]", lambda m: "\\x%02x" % ord(m.group()), text)
    return text.splitlines(keepends=True)


def compare(what, path, actual):
    expected = b""
    if os.path.exists(path):
        with open(path, "rb") as f:
            expected = f.read()
    if expected == actual:
        return True
    import difflib  # only when there is something to show

    print("%s differs from %s:" % (what, os.path.relpath(path)))
    diff = difflib.unified_diff(show(expected), show(actual), "expected", "actual")
    sys.stdout.writelines(line if line.endswith("\n") else line + "\n" for line in diff)
    return False


def store(path, data):
    if data:
        with open(path, "wb") as f:
            f.write(data)
    elif os.path.exists(path):
        os.remove(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--golden", required=True)
    parser.add_argument("--exit", type=int, required=True)
    parser.add_argument("--tmpdir", required=True)
    parser.add_argument("--stdin")
    parser.add_argument("--env", action="append", default=[])
    parser.add_argument("args", nargs="*")
    options = parser.parse_args()

    tmpdir = os.path.abspath(options.tmpdir)
    os.makedirs(tmpdir, exist_ok=True)
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE", "TZ", "TMPDIR",
                                                   "CWBASE_SAMPLES")}
    env.update(LC_ALL="C.UTF-8", TZ="UTC", CWBASE_SAMPLES="samples", TMPDIR=tmpdir)
    for item in options.env:
        key, _, value = item.partition("=")
        env[key] = value
    args = [re.sub(rb"<byte-([0-9a-fA-F]{2})>", lambda m: bytes([int(m.group(1), 16)]),
                   b"" if a == "<empty>" else os.fsencode(a)) for a in options.args]
    stdin = subprocess.DEVNULL
    if options.stdin:
        stdin = open(os.path.join(options.root, options.stdin), "rb")
    try:
        run = subprocess.run([os.fsencode(options.tool)] + args, cwd=options.root, env=env,
                             stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             timeout=60)
    finally:
        if options.stdin:
            stdin.close()
    out = normalise(run.stdout, tmpdir)
    err = normalise(run.stderr, tmpdir)

    ok = True
    if run.returncode != options.exit:
        print("exit code %d, expected %d" % (run.returncode, options.exit))
        ok = False
    if os.environ.get("CWTOOL_GOLDEN_UPDATE") == "1":
        store(options.golden + ".out", out)
        store(options.golden + ".err", err)
    else:
        ok = compare("standard output", options.golden + ".out", out) and ok
        ok = compare("standard error", options.golden + ".err", err) and ok
    if not ok:
        shown = [a.decode("utf-8", errors="backslashreplace") for a in args]
        print("command: cwtool %s" % " ".join(repr(a) if not a or " " in a else a for a in shown))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
