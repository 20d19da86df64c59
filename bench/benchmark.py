#!/usr/bin/env python3
"""Times Marovendel.exe against Wine's reg.exe on the same registry.

  bench/benchmark.py list     N clients per root, N = 100, 1000, 5000
  bench/benchmark.py delete   one client of V values in 100 subkeys

Each figure is the median wall time of RUNS runs of one wine command, with
wineserver kept running so no run pays for starting it. Needs the mingw-i686
build (MAROVENDEL_EXE, default build/mingw-i686/Marovendel.exe).
"""

import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
os.environ.setdefault("MAROVENDEL_EXE", os.path.join(HERE, "..", "build", "mingw-i686", "Marovendel.exe"))
from wine_harness import WinePrefix  # noqa: E402

RUNS = int(os.environ.get("RUNS", "5"))


def median_of(action):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def timed(prefix, program, *args):
    start = time.perf_counter()
    result = prefix.run_raw(program, *args, timeout=1800)
    elapsed = time.perf_counter() - start
    if result[0] not in (0, 2):
        raise RuntimeError("%s %s failed: %d" % (program, args, result[0]))
    return elapsed


def median(prefix, before, program, *args):
    times = []
    for _ in range(RUNS):
        if before:
            before()
        times.append(timed(prefix, program, *args))
    return statistics.median(times)


def clients_file(n):
    lines = ["Windows Registry Editor Version 5.00", ""]
    for root in ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"):
        for i in range(n):
            key = "[%s\\SOFTWARE\\Clients\\StartMenuInternet\\Bench%05d" % (root, i)
            lines += [key + "\\shell\\open\\command]", '@="C:\\\\Bench\\\\b%05d.exe"' % i, "",
                      key + "\\Capabilities\\URLAssociations]",
                      '"http"="Bench%05dURL"' % i, '"https"="Bench%05dURL"' % i, ""]
    return "\r\n".join(lines) + "\r\n"


def bench_list():
    print("| clients per root | Marovendel list (s) | reg query /s, both roots (s) | ratio | Marovendel per client (ms) |")
    print("|---:|---:|---:|---:|---:|")
    for n in (100, 1000, 5000):
        with WinePrefix("bench-list") as prefix:
            prefix.reg_import_text(clients_file(n), unicode=False)
            ours = median(prefix, None, "C:\\Tools\\Marovendel.exe", "list")

            def query_both():
                for root in ("HKLM", "HKCU"):
                    prefix.run_raw("reg", "query", root + "\\SOFTWARE\\Clients\\StartMenuInternet", "/s")
            theirs = median_of(query_both)
            print("| %d | %.3f | %.3f | %.2f | %.3f |" % (n, ours, theirs, ours / theirs, ours * 1000 / (2 * n)),
                  flush=True)


def values_file(total):
    lines = ["Windows Registry Editor Version 5.00", ""]
    per_key = total // 100
    for k in range(100):
        lines.append("[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Big\\Sub%03d]" % k)
        for v in range(per_key):
            lines.append('"Value%05d"="data %05d with some text"' % (v, v))
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def bench_delete():
    print("| values | Marovendel delete (s) | reg export + reg delete (s) | ratio | Marovendel per value (ms) |")
    print("|---:|---:|---:|---:|---:|")
    for total in (1000, 10000, 30000):
        with WinePrefix("bench-delete") as prefix:
            text = values_file(total)
            path = prefix.unix_path("C:\\bench.reg")
            with open(path, "w", newline="") as handle:
                handle.write(text)

            def restore():
                prefix.run_raw("reg", "import", "C:\\bench.reg")
            ours = median(prefix, restore, "C:\\Tools\\Marovendel.exe", "delete", "HKCU", "Big")
            def export_and_delete():
                prefix.run_raw("reg", "export", "HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Big",
                               "C:\\Tools\\Big-reg.reg", "/y")
                prefix.run_raw("reg", "delete", "HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Big", "/f")
            times = []
            for _ in range(RUNS):
                restore()
                start = time.perf_counter()
                export_and_delete()
                times.append(time.perf_counter() - start)
            theirs = statistics.median(times)
            print("| %d | %.3f | %.3f | %.2f | %.4f |" % (total, ours, theirs, ours / theirs, ours * 1000 / total),
                  flush=True)


if __name__ == "__main__":
    {"list": bench_list, "delete": bench_delete}[sys.argv[1]]()
