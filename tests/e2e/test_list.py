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

HKLM_LINES = ('\nHKLM "Firefox-308046B0AF4A39CB"\n'
              '  "C:\\Program Files\\Mozilla Firefox\\firefox.exe" -osint\n'
              '  http: FirefoxURL-308046B0AF4A39CB\n'
              '  https: FirefoxHTML-308046B0AF4A39CB\n'
              '\nHKLM "Porta"\n'
              '  D:\\Porta\\porta.exe\n'
              '  http/https: PortaURL\n')
HKCU_LINES = ('\nHKCU "Mine \u00e9"\n'
              '  C:\\Users\\me\\mine.exe\n'
              '  http/https: Mine \u00e9URL\n'
              '\nHKCU "NoCaps"\n'
              '  [Path not found]\n'
              '  [Capabilities\\URLAssociations not found]\n')


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

        for args, expected in ((("list",), HKLM_LINES + HKCU_LINES),
                               (("list", "other"), HKLM_LINES + HKCU_LINES),
                               (("list", "hklm"), HKLM_LINES),
                               (("x", "LIST", "HKCU"), HKCU_LINES)):
            result = p.marovendel(*args)
            self.assertEqual(result.stdout, expected, args)
            self.assertEqual(result.status, 0, args)


if __name__ == "__main__":
    unittest.main(verbosity=2)
