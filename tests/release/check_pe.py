#!/usr/bin/env python3
"""Checks a built Marovendel.exe as a file, without running it.

  tests/release/check_pe.py EXE [i686|x86_64]

It must be a console program for the given architecture (default i686: PE32,
machine i386) that imports only DLLs every Windows has, none of the MinGW
runtime DLLs. Nor may it import shell32, ole32, version.dll or netapi32: the
commands that need them load them from the system directory when they first
do, so that start-up does not pay for them and no copy of version.dll or
netapi32.dll planted beside the exe is ever loaded. Prints one line per
check and exits 1 when any fails.
"""

import struct
import sys

MACHINES = {"i686": (0x014C, 0x10B), "x86_64": (0x8664, 0x20B)}
SYSTEM_DLLS = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"}
LOADED_WHEN_NEEDED = {"netapi32.dll", "ole32.dll", "shell32.dll", "version.dll"}
CONSOLE_SUBSYSTEM = 3


def parse(data):
    """Machine, optional-header magic, subsystem and imported DLL names."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]

    table = optional + optional_size
    spans = []
    for i in range(sections):
        _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        spans.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(rva):
        for vaddr, size, rawptr in spans:
            if vaddr <= rva < vaddr + size:
                return rawptr + rva - vaddr
        raise ValueError("RVA 0x%x is in no section" % rva)

    def c_string(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii")

    dlls = []
    if import_rva:
        entry = offset(import_rva)
        while True:
            fields = struct.unpack_from("<IIIII", data, entry)
            if not any(fields):
                break
            dlls.append(c_string(fields[3]))
            entry += 20
    return machine, magic, subsystem, dlls


def main(argv):
    path = argv[1]
    arch = argv[2] if len(argv) > 2 else "i686"
    want_machine, want_magic = MACHINES[arch]
    with open(path, "rb") as handle:
        machine, magic, subsystem, dlls = parse(handle.read())
    checks = [
        ("machine 0x%04x (%s)" % (want_machine, arch), machine == want_machine),
        ("optional header %s" % ("PE32" if want_magic == 0x10B else "PE32+"), magic == want_magic),
        ("console subsystem", subsystem == CONSOLE_SUBSYSTEM),
        ("imports only system DLLs: %s" % ", ".join(dlls),
         bool(dlls) and all(dll.lower() in SYSTEM_DLLS for dll in dlls)),
        ("imports none of %s" % ", ".join(sorted(LOADED_WHEN_NEEDED)),
         not any(dll.lower() in LOADED_WHEN_NEEDED for dll in dlls)),
    ]
    for name, ok in checks:
        print("%s: %s" % ("ok" if ok else "FAILED", name))
    return 0 if all(ok for _, ok in checks) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
