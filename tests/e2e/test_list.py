"""Listing end to end: registrations by Marovendel and by others, under both
roots, listed by the real exe under Wine."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix  # noqa: E402

# What a browser's own installer leaves behind, with a different ProgID per
# scheme and a quoted command with arguments.
FOREIGN = "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\Firefox-308046B0AF4A39CB]",
    '@="Mozilla Firefox"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\Firefox-308046B0AF4A39CB\\DefaultIcon]",
    '@="C:\\\\Program Files\\\\Mozilla Firefox\\\\firefox.exe,0"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\Firefox-308046B0AF4A39CB\\shell\\open\\command]",
    '@="\\"C:\\\\Program Files\\\\Mozilla Firefox\\\\firefox.exe\\" -osint"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\Firefox-308046B0AF4A39CB\\Capabilities\\URLAssociations]",
    '"http"="FirefoxURL-308046B0AF4A39CB"',
    '"https"="FirefoxHTML-308046B0AF4A39CB"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\shell\\open\\command]",
    '@="\\"C:\\\\Program Files\\\\Internet Explorer\\\\iexplore.exe\\""',
    "",
]) + "\r\n"

# Values no installer should leave but the listing still meets: a string
# stored without its terminator, a number where a ProgID belongs, and an
# expandable open command, which is shown as stored.
ODD = "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet\\Odd\\shell\\open\\command]",
    '@=hex(2):25,00,50,00,46,00,25,00,5c,00,6f,00,2e,00,65,00,78,00,65,00,00,00',
    "",
    "[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet\\Odd\\Capabilities\\URLAssociations]",
    '"http"=dword:00000007',
    '"https"=hex(1):4f,00,64,00,64,00',
    "",
]) + "\r\n"

LONG_NAME = "n" * 255

HKLM_LINES = ('\nHKLM "Firefox-308046B0AF4A39CB"\n'
              '  "C:\\Program Files\\Mozilla Firefox\\firefox.exe" -osint\n'
              '  http: FirefoxURL-308046B0AF4A39CB\n'
              '  https: FirefoxHTML-308046B0AF4A39CB\n'
              '\nHKLM "Porta"\n'
              '  D:\\Porta\\porta.exe\n'
              '  http/https: PortaURL\n')
HKCU_LINES = ('\nHKCU "Long1023"\n'
              '  ' + "c" * 1023 + '\n'
              '  [Capabilities\\URLAssociations not found]\n'
              '\nHKCU "Long1024"\n'
              '  [Path not found]\n'
              '  [Capabilities\\URLAssociations not found]\n'
              '\nHKCU "Mine \u00e9"\n'
              '  C:\\Users\\me\\mine.exe\n'
              '  http/https: Mine \u00e9URL\n'
              '\nHKCU "' + LONG_NAME + '"\n'
              '  [Path not found]\n'
              '  [Capabilities\\URLAssociations not found]\n'
              '\nHKCU "NoCaps"\n'
              '  [Path not found]\n'
              '  [Capabilities\\URLAssociations not found]\n'
              '\nHKCU "Odd"\n'
              '  %PF%\\o.exe\n'
              '  http: [Not found]\n'
              '  https: Odd\n')


class ListTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix("list")

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def test_lists_every_root_and_scope(self):
        p = self.prefix
        result = p.marovendel("list")
        self.assertEqual(result.stdout,
                         "Failed to open HKLM\\SOFTWARE\\Clients\\StartMenuInternet\n"
                         "Failed to open HKCU\\SOFTWARE\\Clients\\StartMenuInternet\n")
        self.assertEqual(result.status, 0)

        self.assertEqual(p.reg_import_text(FOREIGN).status, 0)
        self.assertEqual(p.marovendel("HKLM", "Porta", "D:\\Porta\\porta.exe").status, 0)
        self.assertEqual(p.marovendel("HKCU", "Mine \u00e9", "C:\\Users\\me\\mine.exe").status, 0)
        p.reg("add", "HKCU\\Software\\Clients\\StartMenuInternet\\NoCaps", "/f")
        p.reg("add", "HKCU\\Software\\Clients\\StartMenuInternet\\iexplore.exe", "/f")
        # An open command fills the 2048 bytes it is read into at 1023
        # characters; a name of 255 fits no key path beneath it.
        for name, length in (("Long1023", 1023), ("Long1024", 1024), (LONG_NAME, 1)):
            self.assertEqual(p.reg("add", "HKCU\\Software\\Clients\\StartMenuInternet\\%s"
                                   "\\shell\\open\\command" % name,
                                   "/ve", "/d", "c" * length, "/f").status, 0)
        self.assertEqual(p.reg_import_text(ODD).status, 0)

        for args, expected in ((("list",), HKLM_LINES + HKCU_LINES),
                               (("list", "other"), HKLM_LINES + HKCU_LINES),
                               (("list", "hklm"), HKLM_LINES),
                               (("x", "LIST", "HKCU"), HKCU_LINES)):
            result = p.marovendel(*args)
            self.assertEqual(result.stdout, expected, args)
            self.assertEqual(result.status, 0, args)


if __name__ == "__main__":
    unittest.main(verbosity=2)
