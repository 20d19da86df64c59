"""Private Wine prefixes for the end-to-end tests.

Each test gets its own prefix, cloned from one booted template (booting takes
seconds, cloning a fraction of that), with Marovendel.exe copied to
C:\\Tools, and with the RegisteredApplications keys that Windows has and a
new Wine prefix lacks. Programs run with their output captured; Wine's own reg.exe checks
what the registry holds.

Environment:
  MAROVENDEL_EXE      the built Marovendel.exe (required)
  MAROVENDEL_E2E_DIR  where template and test prefixes live (default: beside
                      the exe, in e2e-prefixes/)
"""

import atexit
import fcntl
import os
import re
import shutil
import struct
import subprocess
import tempfile

WINE_ENV = {
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
}

TOOLS_DIR = "C:\\Tools"
EXE_WINDOWS_PATH = TOOLS_DIR + "\\Marovendel.exe"


def exe_path():
    path = os.environ.get("MAROVENDEL_EXE")
    if not path or not os.path.isfile(path):
        raise RuntimeError("MAROVENDEL_EXE must name the built Marovendel.exe")
    return os.path.abspath(path)


def work_dir():
    default = os.path.join(os.path.dirname(exe_path()), "e2e-prefixes")
    path = os.environ.get("MAROVENDEL_E2E_DIR", default)
    os.makedirs(path, exist_ok=True)
    return path


# The Wine loader for each PE machine type. Every prefix is 64-bit: a 32-bit
# exe runs there under WOW64, as on the 64-bit Windows nearly every user has,
# with HKLM\\Software redirected and %ProgramFiles% meaning Program Files
# (x86). The prefix itself is booted, and reg.exe run, by 64-bit Wine, so that
# reg sees the registry as Explorer and Settings do.
LOADERS = {
    0x014C: "/usr/lib/wine/wine",
    0x8664: "/usr/lib/wine/wine64",
}
WINE64 = LOADERS[0x8664]
PREFIX_ARCH = "win64"


def pe_machine(path):
    """The machine type in a PE file's header."""
    with open(path, "rb") as handle:
        header = handle.read(4096)
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if header[offset:offset + 4] != b"PE\0\0":
        raise RuntimeError("%s is not a Windows program" % path)
    return struct.unpack_from("<H", header, offset + 4)[0]


def loader():
    """The Wine loader that runs Marovendel.exe."""
    machine = pe_machine(exe_path())
    if machine not in LOADERS:
        raise RuntimeError("no Wine loader for machine type 0x%04x" % machine)
    return LOADERS[machine]


def under_wow64():
    """Whether Marovendel.exe is a 32-bit program in the 64-bit prefix."""
    return pe_machine(exe_path()) == 0x014C


def _environment(prefix, wine_loader):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = prefix
    env["WINELOADER"] = wine_loader
    env["WINEARCH"] = PREFIX_ARCH
    return env


# Every Wine program runs with the same address space layout each time.
# Debian's Wine has no preloader to claim the fixed addresses Windows needs
# before Linux maps anything: wine64 is linked at 0x7d000000, a randomized heap
# starts anywhere in the gigabyte above it, and now and then lies over
# 0x7ffe0000, where every process must map its shared user data. Such a
# process exits with status 1 before running anything ("failed to map the
# shared user data", hidden by WINEDEBUG=-all). Without randomization the heap
# starts right after the loader, 50 MB below that page.
FIXED_LAYOUT = ["setarch", "-R"]


# A display for programs that must show a window (Debian's xvfb).
ON_A_DISPLAY = ["xvfb-run", "-a"]


def _wine(prefix, *args, wine_loader=None, display=False, **kwargs):
    """Runs a Windows program in prefix, by default with the loader that
    matches the exe (its helper programs are built for the same machine),
    and with a virtual display when asked."""
    wine_loader = wine_loader or loader()
    if kwargs.get("stdin") is None:
        kwargs["stdin"] = subprocess.DEVNULL
    # Programs start in C:\, not in whatever folder the tests run from, so
    # that a word such as Star* expands against the prefix's files alone.
    drive_c = os.path.join(prefix, "drive_c")
    kwargs.setdefault("cwd", drive_c if os.path.isdir(drive_c) else prefix)
    command = (ON_A_DISPLAY if display else []) + FIXED_LAYOUT + [wine_loader, *args]
    return subprocess.run(command, env=_environment(prefix, wine_loader), **kwargs)


def _start_server(prefix):
    # wineserver and the services the first wine call starts inherit its
    # standard handles: give them /dev/null so captured runs never wait on them.
    subprocess.run(["wineserver", "-p"], env=_environment(prefix, WINE64),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    _wine(prefix, "wineboot", wine_loader=WINE64, stdout=subprocess.DEVNULL,
          stderr=subprocess.DEVNULL, check=False)


def _stop_server(prefix):
    """Ends prefix's wineserver, which writes the registry files as it goes."""
    for option in ("-k", "-w"):
        subprocess.run(["wineserver", option], env=_environment(prefix, WINE64),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)


class RegFailed(Exception):
    """reg.exe ended with a status the caller did not expect."""


# What reg prints (with status 1) for a key or value that does not exist.
REG_MISSING = ("reg: Unable to find the specified registry key",
               "reg: Unable to find the specified registry value")


def _reg(prefix, *args, missing_ok=False):
    """Runs Wine's reg.exe in prefix; its output decoded. Any status but 0
    raises RegFailed with the status and everything reg printed, except, when
    missing_ok, reg's own report of a missing key or value (status 1)."""
    completed = _wine(prefix, "reg", *args, wine_loader=WINE64, stdout=subprocess.PIPE,
                      stderr=subprocess.PIPE, timeout=120, check=False)
    out = completed.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    err = completed.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
    result = Result(completed.returncode, out)
    if result.status == 0:
        return result
    if missing_ok and result.status == 1 and out.strip() in REG_MISSING:
        return result
    raise RegFailed("reg %s exited with %d\nstdout: %r\nstderr: %r"
                    % (" ".join(args), result.status, out, err))


def _template():
    """The booted template prefix, made once and shared (under a lock)."""
    root = work_dir()
    template = os.path.join(root, "template-" + PREFIX_ARCH)
    with open(os.path.join(root, "template.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.isfile(os.path.join(template, ".booted")):
            shutil.rmtree(template, ignore_errors=True)
            os.makedirs(template)
            _start_server(template)
            try:
                # Windows has these keys; a new Wine prefix does not.
                for root in ("HKLM", "HKCU"):
                    _reg(template, "add", root + "\\Software\\RegisteredApplications", "/f")
            finally:
                # Let wineserver write the registry files, then stop it so the
                # template is quiet while being cloned.
                _stop_server(template)
            # Clones copy the registry files, so the keys must be in them.
            for hive in ("system.reg", "user.reg"):
                with open(os.path.join(template, hive), encoding="utf-8", errors="replace") as handle:
                    if "[Software\\\\RegisteredApplications]" not in handle.read():
                        raise RuntimeError("the template's %s lacks RegisteredApplications" % hive)
            open(os.path.join(template, ".booted"), "w").close()
    return template


def _clone(template, target):
    os.makedirs(target)
    for entry in os.listdir(template):
        source = os.path.join(template, entry)
        if entry == "drive_c":
            # Hard links: the system files are only read.
            subprocess.run(["cp", "-al", source, target], check=True)
        elif os.path.islink(source) or os.path.isdir(source):
            subprocess.run(["cp", "-a", source, target], check=True)
        elif os.path.isfile(source):
            shutil.copy2(source, target)


class Result:
    def __init__(self, status, stdout, stderr=""):
        self.status = status
        self.stdout = stdout
        self.stderr = stderr

    def __repr__(self):
        return "Result(status=%d, stdout=%r, stderr=%r)" % (self.status, self.stdout, self.stderr)


# Prefixes not yet closed: a test that fails before its cleanup must not leave
# their servers running after the tests end.
_open_prefixes = set()


@atexit.register
def _close_open_prefixes():
    for prefix in list(_open_prefixes):
        prefix.close()


class WinePrefix:
    """A private prefix with Marovendel.exe at C:\\Tools\\Marovendel.exe."""

    def __init__(self, name="test"):
        self.path = tempfile.mkdtemp(prefix=name + "-", dir=work_dir())
        os.rmdir(self.path)
        _clone(_template(), self.path)
        self.tools = os.path.join(self.path, "drive_c", "Tools")
        os.makedirs(self.tools, exist_ok=True)
        shutil.copy2(exe_path(), os.path.join(self.tools, "Marovendel.exe"))
        _open_prefixes.add(self)
        _start_server(self.path)

    def close(self):
        _stop_server(self.path)
        shutil.rmtree(self.path, ignore_errors=True)
        _open_prefixes.discard(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def put(self, windows_path, source=None):
        """Copies source to a path on drive C, or makes an empty file there."""
        path = self.unix_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if source:
            shutil.copy2(source, path)
        else:
            open(path, "wb").close()

    def unix_path(self, windows_path):
        """The Linux path of a path on this prefix's drive C."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.path, "drive_c", *windows_path[3:].split("\\"))

    def map_drives(self, drives):
        """Gives the prefix a drive letter for each folder of drives, a dict
        of letter to Linux folder (None takes the letter away), as a USB
        stick gets one. Wine names its drives by the links in dosdevices,
        and GetLogicalDrives reports a new one only after the prefix's
        wineserver started again."""
        for letter, folder in drives.items():
            link = os.path.join(self.path, "dosdevices", letter.lower() + ":")
            if os.path.lexists(link):
                os.remove(link)
            if folder is not None:
                os.symlink(folder, link)
        _stop_server(self.path)
        _start_server(self.path)

    def start(self, program, *args, wine_loader=None):
        """Starts a program with the exe's loader, or wine_loader, its output
        and errors piped; the Popen."""
        wine_loader = wine_loader or loader()
        return subprocess.Popen(FIXED_LAYOUT + [wine_loader, program, *args],
                                env=_environment(self.path, wine_loader),
                                cwd=os.path.join(self.path, "drive_c"),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def run_raw(self, program, *args, timeout=120, wine_loader=None, stdin=None, display=False):
        """Runs a program with the exe's loader, or wine_loader, reading
        stdin (default: nothing), on a virtual display when asked; its status
        and raw output."""
        completed = _wine(self.path, program, *args, wine_loader=wine_loader, display=display,
                          stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, check=False)
        return completed.returncode, completed.stdout

    def run(self, program, *args, timeout=120, wine_loader=None):
        """Runs a program with the exe's loader, or wine_loader; its output
        and its errors decoded (UTF-8, CR LF as LF). Wine's own messages on
        standard error are left out."""
        completed = _wine(self.path, program, *args, wine_loader=wine_loader,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                          check=False)

        def text(data):
            return data.decode("utf-8", "replace").replace("\r\n", "\n")
        errors = "".join(line for line in text(completed.stderr).splitlines(True)
                         if not re.match(r"^([0-9a-f]{4}:)?(fixme|err|warn|trace):", line))
        return Result(completed.returncode, text(completed.stdout), errors)

    def marovendel(self, *args):
        return self.run(EXE_WINDOWS_PATH, *args)

    def reg(self, *args, missing_ok=False):
        """Wine's reg.exe; its output decoded. Raises RegFailed when it fails,
        unless missing_ok and it only found the key or value missing."""
        return _reg(self.path, *args, missing_ok=missing_ok)

    def reg_export(self, key):
        """reg export of key, decoded text, or None when reg finds the key
        missing; any other failure raises RegFailed."""
        target = "C:\\export-%d.reg" % os.getpid()
        unix = self.unix_path(target)
        if self.reg("export", key, target, "/y", missing_ok=True).status != 0:
            return None
        with open(unix, "rb") as handle:
            data = handle.read()
        os.remove(unix)
        return decode_reg_file(data)

    def reg_import_text(self, text, unicode=True):
        """Imports registry-editor text through reg import."""
        target = "C:\\import-%d.reg" % os.getpid()
        unix = self.unix_path(target)
        data = ("\ufeff" + text).encode("utf-16-le") if unicode else text.encode("ascii")
        with open(unix, "wb") as handle:
            handle.write(data)
        try:
            return self.reg("import", target)
        finally:
            os.remove(unix)


def decode_reg_file(data):
    """Text of a .reg file in either encoding, line ends as LF."""
    if data.startswith(b"\xff\xfe"):
        text = data[2:].decode("utf-16-le")
    else:
        text = data.decode("latin-1")
    return text.replace("\r\n", "\n")
