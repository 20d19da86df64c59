#!/usr/bin/env python3
"""Times `Marovendel.exe list` against Wine's reg.exe on the same registry.

  MAROVENDEL_EXE=<build>/Marovendel.exe bench/list_benchmark.py [N ...]

For each N (default 0, 100, 1000, 5000) a fresh Wine prefix gets N browser
clients under each root, written by one `reg import` of a generated file.
Then, RUNS times (default 5), alternating:

  - `Marovendel.exe list` (both roots), and
  - `reg query HKLM\\SOFTWARE\\Clients\\StartMenuInternet /s` followed by the
    same for HKCU, timed together,

each wine command timed from outside with time.perf_counter. The prefix's
wineserver is started persistent (`wineserver -p`) before the first run, and
one untimed run of each warms it, so no run pays for starting it. The table
gives medians; "per client" is the median less the N = 0 median, divided by
the 2N clients listed, which is what should stay flat as N grows.
"""

import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
# Prefixes live beside the exe unless told otherwise; Wine wants them absolute.
if os.environ.get("MAROVENDEL_EXE"):
    os.environ["MAROVENDEL_E2E_DIR"] = os.path.abspath(os.environ.get(
        "MAROVENDEL_E2E_DIR", os.path.join(os.path.dirname(os.environ["MAROVENDEL_EXE"]), "bench-prefixes")))
from wine_harness import EXE_WINDOWS_PATH, WinePrefix  # noqa: E402

RUNS = int(os.environ.get("RUNS", "5"))
ROOTS = (("HKEY_LOCAL_MACHINE", "HKLM"), ("HKEY_CURRENT_USER", "HKCU"))
CLIENTS = "SOFTWARE\\Clients\\StartMenuInternet"


def registration_file(n):
    """N clients per root shaped as installers leave them, and IEXPLORE.EXE."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for full, _ in ROOTS:
        lines += ["[%s\\%s\\IEXPLORE.EXE\\shell\\open\\command]" % (full, CLIENTS),
                  '@="\\"C:\\\\Program Files\\\\Internet Explorer\\\\iexplore.exe\\""', ""]
        for i in range(n):
            key = "%s\\%s\\Bench%05d" % (full, CLIENTS, i)
            exe = "C:\\\\Browsers\\\\Bench%05d\\\\bench.exe" % i
            lines += ["[%s]" % key, '@="Bench %05d"' % i, "",
                      "[%s\\DefaultIcon]" % key, '@="%s,0"' % exe, "",
                      "[%s\\shell\\open\\command]" % key, '@="\\"%s\\" -osint"' % exe, "",
                      "[%s\\Capabilities]" % key, '"ApplicationName"="Bench %05d"' % i,
                      '"ApplicationIcon"="%s,0"' % exe, "",
                      "[%s\\Capabilities\\URLAssociations]" % key,
                      '"http"="Bench%05dURL"' % i, '"https"="Bench%05dHTML"' % i, ""]
    return "\r\n".join(lines) + "\r\n"


def timed(prefix, program, *args):
    start = time.perf_counter()
    status, out = prefix.run_raw(program, *args, timeout=1800)
    elapsed = time.perf_counter() - start
    if status != 0:
        raise RuntimeError("%s %s exited with %d" % (program, " ".join(args), status))
    return elapsed, out


def list_once(prefix, n):
    elapsed, out = timed(prefix, EXE_WINDOWS_PATH, "list")
    headings = out.count(b'\r\nHKLM "') + out.count(b'\r\nHKCU "')
    if headings != 2 * n:
        raise RuntimeError("listing showed %d clients, not %d" % (headings, 2 * n))
    return elapsed


def query_once(prefix):
    total = 0.0
    for _, short in ROOTS:
        elapsed, _ = timed(prefix, "reg", "query", "%s\\%s" % (short, CLIENTS), "/s")
        total += elapsed
    return total


def measure(n):
    with WinePrefix("bench-list") as prefix:
        target = "C:\\bench-clients.reg"
        with open(prefix.unix_path(target), "wb") as handle:
            handle.write(registration_file(n).encode("ascii"))
        start = time.perf_counter()
        timed(prefix, "reg", "import", target)
        fill = time.perf_counter() - start
        list_once(prefix, n)
        query_once(prefix)
        ours, theirs = [], []
        for _ in range(RUNS):
            ours.append(list_once(prefix, n))
            theirs.append(query_once(prefix))
        return statistics.median(ours), statistics.median(theirs), fill


def main():
    sizes = [int(word) for word in sys.argv[1:]] or [0, 100, 1000, 5000]
    if 0 not in sizes:
        sizes.insert(0, 0)
    print("%d runs each, medians in seconds" % RUNS)
    print()
    print("| clients per root | `list` | per client, over N = 0 (ms) "
          "| `reg query /s` HKLM + HKCU | per client, over N = 0 (ms) | `list` / `reg query` |")
    print("|---:|---:|---:|---:|---:|---:|")
    base = None
    for n in sizes:
        ours, theirs, fill = measure(n)
        if base is None:
            base = (ours, theirs)
        if n == 0:
            ours_each = theirs_each = "-"
        else:
            ours_each = "%.3f" % ((ours - base[0]) * 1000 / (2 * n))
            theirs_each = "%.3f" % ((theirs - base[1]) * 1000 / (2 * n))
        print("| %d | %.3f | %s | %.3f | %s | %.2f |" % (n, ours, ours_each, theirs, theirs_each,
                                                        ours / theirs), flush=True)
        print("(filled in %.1f s)" % fill, file=sys.stderr, flush=True)


if __name__ == "__main__":
    main()
