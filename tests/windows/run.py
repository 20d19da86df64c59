#!/usr/bin/env python3
"""Runs the real-Windows checks (checks.py) against one Marovendel.exe: on
Windows directly, on Linux under Wine in a private 64-bit prefix.

  run.py --exe Marovendel.exe --helpers FOLDER [--helpers FOLDER ...] [--output FILE]

Each --helpers folder holds one build's bounded_start.exe and
stand_in_browser.exe; give one per processor, and a program of each is
dropped. Prints every check with its outcome and what it saw, then a line
"Real-Windows checks: N passed, N failed, N skipped" (also into FILE), and
exits 1 when any check failed.
"""

import argparse
import os
import sys
import unittest
import uuid

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import checks  # noqa: E402
import machine  # noqa: E402


class Tee:
    def __init__(self, *streams):
        self.streams = streams

    def write(self, text):
        for stream in self.streams:
            stream.write(text)

    def flush(self):
        for stream in self.streams:
            stream.flush()


def helper_folders(folders):
    """{PE machine type: folder} of the builds' helper programs."""
    found = {}
    for folder in folders:
        found[machine.pe_machine(os.path.join(folder, "stand_in_browser.exe"))] = \
            os.path.abspath(folder)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--helpers", action="append", required=True)
    parser.add_argument("--output")
    args = parser.parse_args()

    streams = [sys.stdout]
    if args.output:
        os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
        streams.append(open(args.output, "w", encoding="utf-8"))
    out = Tee(*streams)
    run_id = uuid.uuid4().hex[:8]
    exe_machine = machine.pe_machine(args.exe)
    out.write("Real-Windows checks of %s (%s) on %s, run %s\n" % (
        args.exe, machine.MACHINE_NAMES.get(exe_machine, hex(exe_machine)),
        "Windows" if os.name == "nt" else "Wine", run_id))
    windows = machine.open_windows(args.exe, run_id)
    try:
        checks.prepare(windows, helper_folders(args.helpers), run_id)
        suite = unittest.defaultTestLoader.loadTestsFromModule(checks)
        result = unittest.TextTestRunner(stream=out, verbosity=2).run(suite)
    finally:
        windows.close()

    if checks.notes:
        out.write("\nWhat the checks saw:\n")
    for check, text in checks.notes:
        out.write("%s:\n  %s\n" % (check, text.replace("\n", "\n  ")))
    # A check counts once, however many of its rows failed.
    failed = {getattr(test, "test_case", test).id()
              for test, _ in result.failures + result.errors}
    skipped = len(result.skipped)
    out.write("Real-Windows checks: %d passed, %d failed, %d skipped\n"
              % (result.testsRun - len(failed) - skipped, len(failed), skipped))
    out.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
