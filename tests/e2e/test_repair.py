"""repair end to end: browsers registered on E: whose stick Wine now maps as
other drive letters, repaired by the real exe under Wine, run from the stick
itself and from C:, and checked with Wine's reg.exe."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import WinePrefix, exe_path  # noqa: E402

FOO = "PortableApps\\Foo\\foo.exe"
BAR = "PortableApps\\Bar\\bar.exe"


def registration(prefix, root, name):
    """The data of the four values a repair may change, as reg query shows it."""
    values = []
    for key, option in (("Software\\Clients\\StartMenuInternet\\%s\\shell\\open\\command", "/ve"),
                        ("Software\\Clients\\StartMenuInternet\\%s\\Capabilities", "ApplicationIcon"),
                        ("Software\\Classes\\%sURL\\DefaultIcon", "/ve"),
                        ("Software\\Classes\\%sURL\\shell\\open\\command", "/ve")):
        args = [option] if option == "/ve" else ["/v", option]
        out = prefix.reg("query", root + "\\" + key % name, *args).stdout
        values.append(next(line.split("    ")[-1] for line in out.splitlines() if "REG_" in line))
    return values


def moved(values, drive):
    return [v.replace("E:\\PortableApps", drive + ":\\PortableApps") for v in values]


class RepairTest(unittest.TestCase):
    def setUp(self):
        self.prefix = WinePrefix("repair")

    def tearDown(self):
        self.prefix.close()

    def stick(self, name, *programs):
        """A folder standing for a USB stick, with Marovendel.exe in Tools and
        an empty file for each program."""
        folder = os.path.join(self.prefix.path, name)
        os.makedirs(os.path.join(folder, "Tools"))
        shutil.copy2(exe_path(), os.path.join(folder, "Tools", "Marovendel.exe"))
        for program in programs:
            os.makedirs(os.path.join(folder, os.path.dirname(program.replace("\\", "/"))),
                        exist_ok=True)
            open(os.path.join(folder, program.replace("\\", "/")), "wb").close()
        return folder

    def repair(self, marovendel, *args):
        return self.prefix.run(marovendel + "\\Marovendel.exe", "repair", *args)

    def test_a_stick_under_other_letters(self):
        p = self.prefix
        for root, name, program in (("HKCU", "Foo", FOO), ("HKCU", "Bar", BAR), ("HKLM", "Baz", BAR)):
            self.assertEqual(p.marovendel(root, name, "E:\\" + program).status, 0)
        # A profile in the program's folder follows it; a path elsewhere on
        # the old drive stays.
        p.reg("add", "HKCU\\Software\\Clients\\StartMenuInternet\\Foo\\shell\\open\\command", "/ve",
              "/d", '"E:\\%s" --user-data-dir="E:\\PortableApps\\Foo\\Data" --x="E:\\Cache"' % FOO,
              "/f")
        foo, bar, baz = (registration(p, r, n) for r, n in
                         (("HKCU", "Foo"), ("HKCU", "Bar"), ("HKLM", "Baz")))

        # The stick Marovendel runs from holds Foo.
        p.map_drives({"F": self.stick("stickF", FOO)})
        result = self.repair("F:\\Tools", "HKCU")
        self.assertIn("Foo: E:\\%s is now F:\\%s; backup in F:\\Tools\\Foo.reg\n" % (FOO, FOO),
                      result.stdout)
        self.assertEqual(registration(p, "HKCU", "Foo"), moved(foo, "F"))
        self.assertIn('--user-data-dir="F:\\PortableApps\\Foo\\Data" --x="E:\\Cache"',
                      registration(p, "HKCU", "Foo")[0])
        self.assertTrue(os.path.isfile(os.path.join(p.path, "stickF", "Tools", "Foo.reg")))

        # Bar on two other drives: nothing is written, until Marovendel runs
        # from one of them.
        p.map_drives({"F": self.stick("stickF2", FOO, BAR), "G": self.stick("stickG", BAR)})
        result = self.repair("C:\\Tools")
        self.assertEqual(result.stdout, "Bar: E:\\%s was found on F: and G:; drop the one you use "
                         "onto Marovendel.exe.\n" % BAR)
        self.assertEqual(result.status, 2)
        self.assertEqual(registration(p, "HKCU", "Bar"), bar)
        result = self.repair("G:\\Tools")
        self.assertEqual(result.stdout, "Bar: E:\\%s is now G:\\%s; backup in G:\\Tools\\Bar.reg\n"
                         % (BAR, BAR))
        self.assertEqual(result.status, 0)
        self.assertEqual(registration(p, "HKCU", "Bar"), moved(bar, "G"))
        self.assertEqual(p.marovendel("check", "HKCU", "Bar").stdout.splitlines()[0],
                         "Bar is registered correctly under HKCU.")

        # For every user only the drive Marovendel runs from counts.
        result = self.repair("C:\\Tools", "HKLM")
        self.assertIn("Baz: E:\\%s was not found on C:, the drive Marovendel runs from" % BAR,
                      result.stdout)
        self.assertEqual(registration(p, "HKLM", "Baz"), baz)
        result = self.repair("G:\\Tools", "HKLM")
        self.assertEqual(result.status, 0, result)
        self.assertEqual(registration(p, "HKLM", "Baz"), moved(baz, "G"))


if __name__ == "__main__":
    unittest.main()
