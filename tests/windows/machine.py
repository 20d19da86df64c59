"""The Windows the real-Windows checks run on: this one, or Wine.

The checks speak Windows paths and start Windows programs; only this module
knows how. On Windows a program is started directly. Under Wine it runs in a
private 64-bit prefix made by the end-to-end harness, with the loader that
matches its PE header, so that a 32-bit program runs under WOW64 as on the
64-bit Windows nearly every user has.
"""

import os
import shutil
import struct
import subprocess
import sys

I386, AMD64, ARM64 = 0x014C, 0x8664, 0xAA64
MACHINE_NAMES = {I386: "x86", AMD64: "x64", ARM64: "ARM64"}


def pe_machine(path):
    """The machine type in a PE file's header."""
    with open(path, "rb") as handle:
        header = handle.read(4096)
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if header[offset:offset + 4] != b"PE\0\0":
        raise RuntimeError("%s is not a Windows program" % path)
    return struct.unpack_from("<H", header, offset + 4)[0]


class Result:
    def __init__(self, status, stdout, stderr):
        self.status = status
        self.stdout = stdout
        self.stderr = stderr

    def __repr__(self):
        return "Result(status=%d, stdout=%r, stderr=%r)" % (self.status, self.stdout, self.stderr)


def _text(data):
    return data.decode("utf-8", "replace").replace("\r\n", "\n")


class _Files:
    """Files and the registry of a Windows, by Windows path."""

    def put(self, windows_path, source):
        """Copies a local file to windows_path, making its folders."""
        path = self.local_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copy2(source, path)

    def write(self, windows_path, data):
        path = self.local_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as handle:
            handle.write(data)

    def read(self, windows_path):
        with open(self.local_path(windows_path), "rb") as handle:
            return handle.read()

    def remove(self, windows_path):
        """Removes a file or a folder with all it holds; nothing when missing."""
        path = self.local_path(windows_path)
        if os.path.isdir(path):
            shutil.rmtree(path, ignore_errors=True)
        elif os.path.exists(path):
            os.remove(path)

    def reg(self, *args):
        """The 64-bit reg.exe, the registry as Explorer and Settings see it."""
        return self.run(self.system32 + "\\reg.exe", *args)


class NativeWindows(_Files):
    """This Windows. The exe under test is copied into a folder of this run
    beside its build folder, so that its backups land there."""

    under_wine = False
    runs_32bit = True

    def __init__(self, exe, run_id):
        self.work = os.path.join(os.path.dirname(os.path.abspath(exe)), "windows-checks-" + run_id)
        os.makedirs(self.work)
        self.exe = os.path.join(self.work, "Marovendel.exe")
        shutil.copy2(exe, self.exe)
        windows = os.environ.get("SystemRoot", "C:\\Windows")
        # A 32-bit Python sees SysWOW64 as System32; Sysnative is the real one.
        native = os.path.join(windows, "Sysnative")
        self.system32 = native if os.path.isdir(native) else os.path.join(windows, "System32")
        self.syswow64 = os.path.join(windows, "SysWOW64")
        self.program_files = os.environ.get("ProgramW6432", os.environ.get("ProgramFiles"))
        self.program_files_x86 = os.environ.get("ProgramFiles(x86)")

    def close(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def run(self, program, *args, timeout=120):
        completed = subprocess.run([program, *args], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   timeout=timeout, check=False)
        return Result(completed.returncode, _text(completed.stdout), _text(completed.stderr))

    def local_path(self, windows_path):
        return windows_path

    def machine_of(self, windows_path):
        return pe_machine(windows_path)


class Wine(_Files):
    """A private prefix of the end-to-end harness, with the exe at
    C:\\Tools\\Marovendel.exe."""

    under_wine = True

    def __init__(self, exe, run_id):
        # The harness keeps its booted template beside the exe, where the
        # end-to-end tests of the same build have made it already.
        os.environ["MAROVENDEL_EXE"] = os.path.abspath(exe)
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
        import wine_harness
        self.harness = wine_harness
        self.prefix = wine_harness.WinePrefix("windows-checks-" + run_id)
        self.work = wine_harness.TOOLS_DIR
        self.exe = wine_harness.EXE_WINDOWS_PATH
        self.system32 = "C:\\windows\\system32"
        self.syswow64 = "C:\\windows\\syswow64"
        self.program_files = "C:\\Program Files"
        self.program_files_x86 = "C:\\Program Files (x86)"
        self.runs_32bit = self._runs_32bit()

    def _runs_32bit(self):
        # scripts/lib/machine.sh has asked the kernel already when it ran us.
        answer = os.environ.get("MAROVENDEL_RUNS_32BIT")
        if answer:
            return answer == "yes"
        loader = self.harness.LOADERS[I386]
        return subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, check=False).returncode == 0

    def close(self):
        self.prefix.close()

    def run(self, program, *args, timeout=120):
        loader = self.harness.LOADERS[self.machine_of(program)]
        result = self.prefix.run(program, *args, timeout=timeout, wine_loader=loader)
        return Result(result.status, result.stdout, result.stderr)

    def local_path(self, windows_path):
        return self.prefix.unix_path(windows_path)

    def machine_of(self, windows_path):
        return pe_machine(self.local_path(windows_path))


def open_windows(exe, run_id):
    """This Windows, or a Wine prefix where the checks run on Linux."""
    if os.name == "nt":
        return NativeWindows(exe, run_id)
    return Wine(exe, run_id)
