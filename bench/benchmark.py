#!/usr/bin/env python3
"""Times Marovendel.exe against Wine's reg.exe on the same registry, and its
start-up against an exe that does nothing.

  bench/benchmark.py list [N ...]      N clients per root (default 0 100 1000 2000)
  bench/benchmark.py delete [V ...]    one client of V values (default 1000 10000 30000)
  bench/benchmark.py start [EXE ...]   `list` on 10 clients per root against an empty exe
  bench/benchmark.py crowded [V ...]   as delete, in a store of 2000 clients per root (default 10000)

list: for each N a fresh Wine prefix gets N browser clients under each root,
shaped as installers leave them, plus IEXPLORE.EXE, from one `reg import`.
Then, RUNS times, alternating, after one untimed run of each:
`Marovendel.exe list` (both roots, checked to show 2N clients), and
`reg query HKLM\\SOFTWARE\\Clients\\StartMenuInternet /s` followed by the same
for HKCU, timed together. "per client" is the median less the N = 0 median,
divided by the 2N clients; the last column is `list` / `reg query`.

delete: for each V a fresh prefix gets a client `Big` registered by
Marovendel.exe plus V string values spread evenly over 100 subkeys. Then,
RUNS times each, with the key imported again before every run and only the
commands timed: `Marovendel.exe delete HKCU Big` (backup checked to hold all V
values) against `reg export <key> <file> /y` plus `reg delete <key> /f`.
"start-up" is the median of Marovendel.exe run without arguments.

crowded: as delete, but the fresh prefix first gets 2000 clients per root as
for list, so that the store is as full as on a machine with many browsers
and the removal's cost beside `reg` shows at that size.

start: one fresh prefix gets 10 clients per root as for list. Then, RUNS
times (default 11 here), after one untimed run of each: the empty exe, then
`Marovendel.exe list` (checked to show 20 clients), then the same for each
further EXE given (another build of Marovendel.exe, such as one from an
earlier commit), in turn, so that every figure sees the same load. The last
column but one is each median divided by the empty exe's; "paired" is the
median, over the rounds, of each run divided by the empty exe's run of the
same round, which moves less with the load of a shared machine.
MAROVENDEL_EMPTY_EXE names the empty exe (default: bench/empty_program.exe in
the build of MAROVENDEL_EXE, which CMake builds with the same compiler and
flags); it must have the same architecture.

Every figure is a median wall time of one wine command, from its start until
its process exits, timed from outside the process with the prefix's
wineserver kept running. Programs it leaves behind (Wine answers a shell
notification with winemenubuilder.exe and explorer.exe) are waited for
untimed before the next command. RUNS (default 5) sets
the runs per figure. MAROVENDEL_EXE names the exe (default: the mingw-i686
build when this machine runs 32-bit programs, else the mingw-x86_64 build);
the Wine loader is picked from the exe's machine type.
"""

import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.join(HERE, "..", "build")
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
MACHINE_SH = os.path.join(HERE, "..", "scripts", "lib", "machine.sh")


def runs_32bit_programs():
    """Whether 32-bit programs start here, as the project's scripts decide it."""
    probe = '. "$1" && runs_32bit_x86'
    return subprocess.run(["bash", "-c", probe, "probe", MACHINE_SH], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          check=False).returncode == 0


def default_exe():
    arch = "mingw-i686" if runs_32bit_programs() else "mingw-x86_64"
    return os.path.join(BUILD, arch, "Marovendel.exe")


os.environ["MAROVENDEL_EXE"] = os.path.abspath(os.environ.get("MAROVENDEL_EXE") or default_exe())
# Prefixes live beside the exe unless told otherwise; Wine wants them absolute.
os.environ["MAROVENDEL_E2E_DIR"] = os.path.abspath(os.environ.get(
    "MAROVENDEL_E2E_DIR", os.path.join(os.path.dirname(os.environ["MAROVENDEL_EXE"]), "bench-prefixes")))
import wine_harness  # noqa: E402
from wine_harness import EXE_WINDOWS_PATH, WinePrefix, decode_reg_file  # noqa: E402

RUNS = int(os.environ.get("RUNS", "5"))
START_RUNS = int(os.environ.get("RUNS", "11"))
START_CLIENTS = 10
ROOTS = (("HKEY_LOCAL_MACHINE", "HKLM"), ("HKEY_CURRENT_USER", "HKCU"))
CLIENTS = "SOFTWARE\\Clients\\StartMenuInternet"
ARCHITECTURES = {0x014C: "i686 (32-bit)", 0x8664: "x86_64 (64-bit)"}


def describe_setup(runs):
    exe = wine_harness.exe_path()
    loader = wine_harness.loader()
    version = subprocess.run([loader, "--version"], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, check=False).stdout.decode().strip()
    print("exe: %s" % exe)
    print("architecture: %s, run by %s (%s)" % (ARCHITECTURES[wine_harness.pe_machine(exe)],
                                                 loader, version))
    print("cores: %d, load average %.2f; %d runs per figure, medians in seconds"
          % (os.cpu_count(), os.getloadavg()[0], runs))
    print()


def programs_running_in(prefix):
    """The Wine programs of prefix that are running, its wineserver aside."""
    found = []
    marker = ("WINEPREFIX=%s" % prefix.path).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as handle:
                environment = handle.read().split(b"\0")
            with open("/proc/%s/comm" % pid, "rb") as handle:
                name = handle.read().strip()
        except OSError:
            continue
        if marker in environment and not name.startswith(b"wineserver"):
            found.append(pid)
    return found


def settle(prefix, earlier, limit=60):
    """Waits until the programs of prefix that were not running before
    (earlier) have ended; the services a prefix keeps running stay."""
    deadline = time.monotonic() + limit
    while (set(programs_running_in(prefix)) - earlier) and time.monotonic() < deadline:
        time.sleep(0.05)


def timed(prefix, program, *args, expect=(0,)):
    """Wall time until the program exits, and its output. Under Wine a shell
    notification (SHChangeNotify) starts winemenubuilder.exe and explorer.exe,
    which inherit the output pipes and outlive the program by a second or
    more; Windows has no such helpers, and reg.exe never notifies. They are
    waited for after the timing, until every program it left has ended, so
    that every command starts on a machine as quiet as the first."""
    chunks = []
    earlier = set(programs_running_in(prefix))
    start = time.perf_counter()
    # reg is Windows' own 64-bit tool, run as 64-bit Explorer would see the registry.
    wine_loader = wine_harness.WINE64 if program == "reg" else None
    process = prefix.start(program, *args, wine_loader=wine_loader)
    reader = threading.Thread(target=lambda: chunks.append(process.stdout.read()))
    reader.start()
    drain = threading.Thread(target=process.stderr.read)
    drain.start()
    status = process.wait(timeout=1800)
    elapsed = time.perf_counter() - start
    reader.join()  # every program holding the pipes has ended
    drain.join()
    process.stdout.close()
    process.stderr.close()
    settle(prefix, earlier)
    if status not in expect:
        raise RuntimeError("%s %s ended with %d" % (program, " ".join(args), status))
    return elapsed, chunks[0]


# The listing

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


def list_once(prefix, n):
    elapsed, out = timed(prefix, EXE_WINDOWS_PATH, "list")
    headings = out.count(b'\r\nHKLM "') + out.count(b'\r\nHKCU "')
    if headings != 2 * n:
        raise RuntimeError("listing showed %d clients, not %d" % (headings, 2 * n))
    return elapsed


def query_once(prefix):
    return sum(timed(prefix, "reg", "query", "%s\\%s" % (short, CLIENTS), "/s")[0]
               for _, short in ROOTS)


def measure_list(n):
    with WinePrefix("bench-list") as prefix:
        target = "C:\\bench-clients.reg"
        with open(prefix.unix_path(target), "wb") as handle:
            handle.write(registration_file(n).encode("ascii"))
        timed(prefix, "reg", "import", target)
        list_once(prefix, n)
        query_once(prefix)
        ours, theirs = [], []
        for _ in range(RUNS):
            ours.append(list_once(prefix, n))
            theirs.append(query_once(prefix))
        return statistics.median(ours), statistics.median(theirs)


def bench_list(sizes):
    sizes = sizes or [0, 100, 1000, 2000]
    if 0 not in sizes:
        sizes.insert(0, 0)
    print("| clients per root | `list` | per client (ms) "
          "| `reg query /s` HKLM + HKCU | per client (ms) | `list` / `reg query` |")
    print("|---:|---:|---:|---:|---:|---:|")
    base = None
    for n in sizes:
        ours, theirs = measure_list(n)
        if n == 0:
            base = (ours, theirs)
            ours_each = theirs_each = "-"
        else:
            ours_each = "%.3f" % ((ours - base[0]) * 1000 / (2 * n))
            theirs_each = "%.3f" % ((theirs - base[1]) * 1000 / (2 * n))
        print("| %d | %.3f | %s | %.3f | %s | %.3f |" % (n, ours, ours_each, theirs, theirs_each,
                                                        ours / theirs), flush=True)


# The removal

SUBKEYS = 100
BIG = "HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Big"


def values_file(total):
    lines = ["Windows Registry Editor Version 5.00", ""]
    for k in range(SUBKEYS):
        lines.append("[HKEY_CURRENT_USER\\SOFTWARE\\Clients\\StartMenuInternet\\Big\\Sub%03d]" % k)
        for v in range(total // SUBKEYS):
            lines.append('"Value%05d"="data %05d with some text"' % (v, v))
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def restore_big(prefix):
    timed(prefix, "reg", "import", "C:\\bench.reg")
    timed(prefix, EXE_WINDOWS_PATH, "HKCU", "Big", "C:\\Big\\big.exe")


def backed_up_values(prefix):
    with open(os.path.join(prefix.tools, "Big.reg"), "rb") as handle:
        text = decode_reg_file(handle.read())
    return sum(1 for line in text.split("\n") if line.startswith('"Value'))


CROWDED_CLIENTS = 2000


def measure_delete(total, clients=0):
    with WinePrefix("bench-delete") as prefix:
        if clients:
            with open(prefix.unix_path("C:\\bench-clients.reg"), "wb") as handle:
                handle.write(registration_file(clients).encode("ascii"))
            timed(prefix, "reg", "import", "C:\\bench-clients.reg")
        with open(prefix.unix_path("C:\\bench.reg"), "w", newline="") as handle:
            handle.write(values_file(total))
        startup = statistics.median(timed(prefix, EXE_WINDOWS_PATH, expect=(1,))[0]
                                    for _ in range(RUNS))
        ours, theirs = [], []
        for _ in range(RUNS):
            restore_big(prefix)
            # Each run writes its backup whole: an identical one would not be
            # written again.
            for name in os.listdir(prefix.tools):
                if name.startswith("Big") and name.endswith(".reg"):
                    os.remove(os.path.join(prefix.tools, name))
            ours.append(timed(prefix, EXE_WINDOWS_PATH, "delete", "HKCU", "Big")[0])
            written = backed_up_values(prefix)
            if written != total:
                raise RuntimeError("the backup holds %d of %d values" % (written, total))
            restore_big(prefix)
            theirs.append(timed(prefix, "reg", "export", BIG, "C:\\Tools\\Big-reg.reg", "/y")[0]
                          + timed(prefix, "reg", "delete", BIG, "/f")[0])
        return startup, statistics.median(ours), statistics.median(theirs)


def bench_delete(sizes, clients=0):
    sizes = sizes or [1000, 10000, 30000]
    if clients:
        print("in a store of %d clients per root" % clients)
    print("| values | `delete` | `reg export` + `reg delete` | `delete` / reg | start-up |")
    print("|---:|---:|---:|---:|---:|")
    results = []
    for total in sizes:
        startup, ours, theirs = measure_delete(total, clients)
        results.append((total, ours))
        print("| %d | %.3f | %.3f | %.2f | %.3f |" % (total, ours, theirs, ours / theirs, startup),
              flush=True)
    for (n0, t0), (n1, t1) in zip(results, results[1:]):
        print("from %d to %d values: %.4f ms per further value" % (n0, n1, (t1 - t0) * 1000 / (n1 - n0)))


# The start-up

def empty_exe():
    default = os.path.join(os.path.dirname(wine_harness.exe_path()), "bench", "empty_program.exe")
    path = os.path.abspath(os.environ.get("MAROVENDEL_EMPTY_EXE") or default)
    if not os.path.isfile(path):
        raise RuntimeError("no empty exe at %s: build the empty_program target or set "
                           "MAROVENDEL_EMPTY_EXE" % path)
    return path


def bench_start(others):
    empty = empty_exe()
    exes = [wine_harness.exe_path()] + [os.path.abspath(path) for path in others]
    for path in [empty] + exes:
        if wine_harness.pe_machine(path) != wine_harness.pe_machine(exes[0]):
            raise RuntimeError("%s is not of the architecture of %s" % (path, exes[0]))
    with WinePrefix("bench-start") as prefix:
        target = "C:\\bench-clients.reg"
        with open(prefix.unix_path(target), "wb") as handle:
            handle.write(registration_file(START_CLIENTS).encode("ascii"))
        timed(prefix, "reg", "import", target)
        # The exe under test is C:\Tools\Marovendel.exe already; the others
        # get folders of their own, each named Marovendel.exe.
        shutil.copy2(empty, os.path.join(prefix.tools, "empty.exe"))
        programs = [("empty exe", "C:\\Tools\\empty.exe", ()), ("list", EXE_WINDOWS_PATH, ("list",))]
        for i, path in enumerate(others, 1):
            folder = os.path.join(prefix.tools, "other%d" % i)
            os.makedirs(folder)
            shutil.copy2(path, os.path.join(folder, "Marovendel.exe"))
            programs.append(("list", "C:\\Tools\\other%d\\Marovendel.exe" % i, ("list",)))

        def run(program, args):
            elapsed, out = timed(prefix, program, *args)
            if args:
                headings = out.count(b'\r\nHKLM "') + out.count(b'\r\nHKCU "')
                if headings != 2 * START_CLIENTS:
                    raise RuntimeError("%s showed %d clients" % (program, headings))
            return elapsed

        times = [[] for _ in programs]
        for _, program, args in programs:
            run(program, args)
        for _ in range(START_RUNS):
            for figures, (_, program, args) in zip(times, programs):
                figures.append(run(program, args))
    medians = [statistics.median(figures) for figures in times]
    print("%d clients per root; load average after the runs %.2f" % (START_CLIENTS,
                                                                     os.getloadavg()[0]))
    print()
    print("| program | exe | median (s) | lowest (s) | / empty exe | paired |")
    print("|---|---|---:|---:|---:|---:|")
    for (label, _, _), path, figures, median in zip(programs, [empty] + exes, times, medians):
        # Each run against the empty exe's run of the same round, which saw
        # about the same load.
        paired = statistics.median(ours / base for ours, base in zip(figures, times[0]))
        print("| %s | %s | %.3f | %.3f | %.2f | %.2f |" % (label, path, median, min(figures),
                                                         median / medians[0], paired))


def main(argv):
    commands = {"list": bench_list, "delete": bench_delete,
                "crowded": lambda sizes: bench_delete(sizes or [10000], CROWDED_CLIENTS)}
    if len(argv) < 2 or (argv[1] not in commands and argv[1] != "start"):
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 1
    describe_setup(START_RUNS if argv[1] == "start" else RUNS)
    if argv[1] == "start":
        bench_start(argv[2:])
    else:
        commands[argv[1]]([int(word) for word in argv[2:]])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
