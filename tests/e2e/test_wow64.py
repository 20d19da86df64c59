"""The 32-bit exe as nearly every user runs it: on 64-bit Windows, under
WOW64, in a 64-bit prefix. Registry, environment, System32 and shortcuts are
checked with 64-bit Wine's own tools, the view Explorer and Settings have.
The 64-bit build runs the same table, where nothing is redirected."""

import os
import pty
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import EXE_WINDOWS_PATH, WinePrefix, decode_reg_file  # noqa: E402

CLIENTS = "Software\\Clients\\StartMenuInternet"
FOO = "C:\\Program Files\\Foo\\foo.exe"
PRESS_ANY_KEY = "Press any key to close this window."


def shell_link(target, expandable=None, relative=None):
    """A .lnk as the Windows shell writes one ([MS-SHLLINK]): LinkInfo with
    the local path; the target relative to the link's folder (RELATIVE_PATH)
    when given; and an EnvironmentVariableDataBlock holding the same target
    relative to a variable when given, as for a program under Program Files."""
    has_link_info, has_relative_path, is_unicode, has_exp_string = 0x02, 0x08, 0x80, 0x200
    flags = (has_link_info | is_unicode | (has_relative_path if relative else 0) |
             (has_exp_string if expandable else 0))
    clsid = bytes.fromhex("0114020000000000c000000000000046")
    header = struct.pack("<I16sIIQQQIIIHHII", 0x4C, clsid, flags, 0x20, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0)
    volume = struct.pack("<IIII", 0x11, 3, 0x12345678, 0x10) + b"\0"
    base_path = target.encode("mbcs" if os.name == "nt" else "latin-1") + b"\0"
    link_info_header = 0x1C
    local_base = link_info_header + len(volume)
    suffix = local_base + len(base_path)
    size = suffix + 1
    link_info = struct.pack("<IIIIIII", size, link_info_header, 1, link_info_header, local_base,
                            0, suffix) + volume + base_path + b"\0"
    strings = struct.pack("<H", len(relative)) + relative.encode("utf-16-le") if relative else b""
    environment_block = b""
    if expandable:
        ansi = expandable.encode("latin-1").ljust(260, b"\0")
        wide = expandable.encode("utf-16-le").ljust(520, b"\0")
        environment_block = struct.pack("<II", 0x314, 0xA0000001) + ansi + wide
    return header + link_info + strings + environment_block + struct.pack("<I", 0)


class Wow64Test(unittest.TestCase):
    def setUp(self):
        self.prefix = WinePrefix("wow64")

    def tearDown(self):
        self.prefix.close()

    def default_of(self, key):
        result = self.prefix.reg("query", key, "/ve", missing_ok=True)
        return result.stdout.split("REG_SZ", 1)[1].strip() if result.status == 0 else None

    def test_hklm_registration_lands_where_64_bit_windows_reads_it(self):
        p = self.prefix
        self.assertEqual(p.marovendel("HKLM", "Wow", FOO).status, 0)
        self.assertEqual(self.default_of("HKLM\\%s\\Wow\\shell\\open\\command" % CLIENTS), FOO)
        self.assertIsNone(self.default_of("HKLM\\Software\\Wow6432Node\\%s\\Wow" % CLIENTS))
        self.assertIn("Software\\Clients\\StartMenuInternet\\Wow\\Capabilities",
                      p.reg("query", "HKLM\\Software\\RegisteredApplications", "/v", "Wow").stdout)

        deleted = p.marovendel("delete", "HKLM", "Wow")
        self.assertEqual(deleted.status, 0, deleted)
        with open(os.path.join(p.tools, "Wow.reg"), "rb") as backup:
            self.assertIn('@="%s"' % FOO.replace("\\", "\\\\"), decode_reg_file(backup.read()))
        self.assertIsNone(p.reg_export("HKLM\\%s\\Wow" % CLIENTS))

    def test_list_and_check_see_what_64_bit_tools_registered(self):
        p = self.prefix
        self.prefix.put(FOO)
        command = '"%ProgramFiles%\\Foo\\foo.exe" "%1"'
        for key, value in (("HKLM\\%s\\Native\\shell\\open\\command" % CLIENTS, '"%s"' % FOO),
                           ("HKCU\\%s\\Env\\shell\\open\\command" % CLIENTS, command)):
            p.reg("add", key, "/ve", "/t", "REG_EXPAND_SZ", "/d", value, "/f")
        listed = p.marovendel("list", "HKLM")
        self.assertIn('HKLM "Native"', listed.stdout)
        checked = p.marovendel("check", "HKCU", "Env")
        self.assertNotIn("does not exist", checked.stdout)
        self.assertNotIn("(x86)", checked.stdout)

    def test_a_program_in_system32_is_found_in_the_real_one(self):
        p = self.prefix
        program = "C:\\windows\\system32\\webby.exe"  # the 64-bit folder, not syswow64
        self.prefix.put(program)
        self.assertEqual(p.marovendel("HKCU", "Sys", program).status, 0)
        checked = p.marovendel("check", "HKCU", "Sys")
        self.assertNotIn("does not exist", checked.stdout)

    def dropped_shortcut_registers(self, saved_target, *programs):
        """What a dropped link registers: its saved path is saved_target and
        its environment block says %ProgramFiles%\\Foo\\foo.exe."""
        browser = os.environ.get("MAROVENDEL_VERSIONED_BROWSER")
        if not browser:
            self.skipTest("versioned_browser not built")
        p = self.prefix
        for program in programs:
            p.put(program, browser)
        link = "C:\\Users\\Public\\Desktop\\Foo.lnk"
        p.put(link)
        with open(p.unix_path(link), "wb") as handle:
            handle.write(shell_link(saved_target, "%ProgramFiles%\\Foo\\foo.exe"))
        result = p.marovendel(link)
        self.assertIn("Portable browser registered successfully.", result.stdout)
        return self.default_of("HKCU\\%s\\Versioned Test Browser\\shell\\open\\command" % CLIENTS)

    def test_a_shortcut_written_by_windows_registers_the_program_it_starts(self):
        self.assertEqual(self.dropped_shortcut_registers(FOO, FOO), FOO)

    def test_a_shortcut_a_32_bit_program_wrote_starts_the_program_in_program_files_x86(self):
        # Its block says %ProgramFiles%, which meant Program Files (x86) to
        # its writer; 64-bit Explorer starts the saved path, so must we, even
        # where Program Files holds a program of the same name.
        x86 = "C:\\Program Files (x86)\\Foo\\foo.exe"
        self.assertEqual(self.dropped_shortcut_registers(x86, FOO, x86), x86)

    def test_output_into_a_pipe_from_a_terminal_never_waits(self):
        # wine Marovendel.exe list HKCU | cat, typed in a terminal.
        terminal, keyboard = pty.openpty()
        try:
            status, out = self.prefix.run_raw(EXE_WINDOWS_PATH, "list", "HKCU", timeout=60,
                                              stdin=keyboard)
        finally:
            os.close(terminal)
            os.close(keyboard)
        self.assertEqual(status, 0)
        self.assertNotIn(PRESS_ANY_KEY, out.decode("utf-8", "replace"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
