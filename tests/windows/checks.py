"""What only a real Windows can tell about Marovendel, checked the same way on
Windows by the workflow (.github/workflows/windows.yml) and under Wine by
test.sh; docs/development.md says which question each check answers.

Each check registers under a name unique to the run and removes what it
registered, since on Windows it runs in a real profile beside the browsers
installed there; it asserts about that name alone. run.py calls prepare()
first.
"""

import csv
import io
import os
import re
import struct
import time
import unittest
import xml.etree.ElementTree as ElementTree

from machine import MACHINE_NAMES

windows = None      # the machine.NativeWindows or machine.Wine the checks run on
helpers = {}        # PE machine type -> local folder with that build's helper programs
run_id = ""
notes = []          # (check, what it saw), printed after the outcomes

HERE = os.path.dirname(os.path.abspath(__file__))
CLIENTS = "\\Software\\Clients\\StartMenuInternet\\"
REGISTERED = "Portable browser registered successfully."
# The file types a registration with -all puts the class on the Open with list of.
FILE_TYPES = (".htm", ".html", ".shtml", ".xht", ".xhtml", ".svg", ".webp", ".avif", ".pdf")
# Seconds a start may take before it counts as waiting for a key.
START_LIMIT = 20
ENDED_BY_US = 124  # bounded_start's status for a program it had to end


def prepare(machine, helper_folders, run):
    global windows, helpers, run_id
    windows, helpers, run_id = machine, helper_folders, run


def unique(label):
    return "MvCheck-%s-%s" % (label, run_id)


def note(check, text):
    """Records what a check saw, for the first runs on Windows to tell."""
    notes.append((check.id().rsplit(".", 1)[1], text))


def helper(name, machine=None):
    """A helper program of the given processor, else of the exe's, else any."""
    exe_machine = windows.machine_of(windows.exe)
    for candidate in (machine, exe_machine, *helpers):
        if candidate in helpers:
            return os.path.join(helpers[candidate], name)
    raise RuntimeError("no helper programs were given")


def put_stand_in(windows_path, machine=None):
    """A windowed program at windows_path; the drop reads only its PE header."""
    windows.put(windows_path, helper("stand_in_browser.exe", machine))
    return windows_path


# Where a registration lives in the 64-bit view: whole keys, and values
# (key, name) in keys that other programs share.
def registration_keys(root, name):
    return [root + CLIENTS + name, root + "\\Software\\Classes\\" + name + "URL"]


def registration_values(root, name):
    return ([(root + "\\Software\\RegisteredApplications", name)] +
            [(root + "\\Software\\Classes\\%s\\OpenWithProgids" % kind, name + "URL")
             for kind in FILE_TYPES])


# Where the same writes land in the 32-bit view, where HKLM\Software is
# redirected. HKLM\Software\Classes is shared between the views on Windows 7
# and later, so its 32-bit keys are looked for by their own path.
def wow64_keys(root, name):
    return [root + "\\Software\\WOW6432Node\\Clients\\StartMenuInternet\\" + name,
            root + "\\Software\\WOW6432Node\\Classes\\" + name + "URL",
            root + "\\Software\\Classes\\WOW6432Node\\" + name + "URL"]


def wow64_values(root, name):
    return [(root + "\\Software\\WOW6432Node\\RegisteredApplications", name)]


def query(key, value=None):
    """reg query in the 64-bit view, of a key with all below it or of one
    value ("" for the default one)."""
    which = ("/s",) if value is None else ("/ve",) if value == "" else ("/v", value)
    return windows.reg("query", key, *which, "/reg:64")


VALUE_LINE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)(?:    (.*))?$")


def parse_query(text):
    """reg query's output as {(KEY, value name): (type, data)}."""
    values, key = {}, None
    for line in text.split("\n"):
        if line.startswith("HKEY_"):
            key = line.strip().upper()
            continue
        match = VALUE_LINE.match(line)
        if match and key:
            values[(key, match.group(1))] = (match.group(2), match.group(3) or "")
    return values


def snapshot(keys, values):
    """Every value found of keys and values, as parse_query gives them."""
    found = {}
    for key, value in [(key, None) for key in keys] + values:
        result = query(key, value)
        if result.status == 0:
            found.update(parse_query(result.stdout))
    return found


def command_program(root, name):
    """The program the client's open command names, or None."""
    result = query(root + CLIENTS + name + "\\shell\\open\\command", "")
    found = list(parse_query(result.stdout).values())
    if result.status != 0 or not found:
        return None
    command = found[0][1]
    return command[1:].split('"', 1)[0] if command.startswith('"') else command


def forget(root, name):
    """Removes whatever of the name's registration is left, in both views."""
    for key in registration_keys(root, name) + wow64_keys(root, name):
        windows.reg("delete", key, "/f", "/reg:64")
    for key, value in registration_values(root, name) + wow64_values(root, name):
        windows.reg("delete", key, "/v", value, "/f", "/reg:64")


def link_targets(data):
    """What a shell link stores as its target ([MS-SHLLINK]): LinkInfo's
    local base path and the environment block's, each None when absent."""
    flags = struct.unpack_from("<I", data, 0x14)[0]
    offset, local, environment = 0x4C, None, None
    if flags & 0x01:  # HasLinkTargetIDList
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if flags & 0x02:  # HasLinkInfo
        size, _, info_flags, _, local_base = struct.unpack_from("<IIIII", data, offset)
        if info_flags & 0x01:  # VolumeIDAndLocalBasePath
            start = offset + local_base
            local = data[start:data.index(b"\0", start)].decode("latin-1")
        offset += size
    for string_flag in (0x04, 0x08, 0x10, 0x20, 0x40):  # name .. icon location
        if flags & string_flag:
            count = struct.unpack_from("<H", data, offset)[0]
            offset += 2 + count * (2 if flags & 0x80 else 1)
    while offset + 8 <= len(data):
        size, signature = struct.unpack_from("<II", data, offset)
        if size < 8:
            break
        if signature == 0xA0000001:  # EnvironmentVariableDataBlock
            wide = data[offset + 8 + 260:offset + 8 + 780]
            environment = wide.decode("utf-16-le").split("\0", 1)[0]
        offset += size
    return local, environment


class RegistrationTest(unittest.TestCase):
    """-all under each root lands in the 64-bit view alone, where Explorer and
    Settings read it; list and check see it, and removal and its backup
    restore every value."""

    def register(self, root, label):
        name = unique(label)
        program = put_stand_in(windows.work + "\\" + name + ".exe")
        self.addCleanup(forget, root, name)
        result = windows.run(windows.exe, root, name, program, "-all")
        self.assertEqual((result.status, result.stdout.split("\n")[0]), (0, REGISTERED), result)
        return name, program

    def lands_in_the_64_bit_view_only(self, root):
        name, program = self.register(root, root)
        self.assertEqual(command_program(root, name), program)
        missing = [value for value in registration_values(root, name)
                   if query(*value).status != 0]
        self.assertEqual(missing, [], "not in the 64-bit view")
        written = ([key for key in wow64_keys(root, name) if query(key).status == 0] +
                   [value for value in wow64_values(root, name) if query(*value).status == 0])
        self.assertEqual(written, [], "written to the 32-bit view")

        listed = windows.run(windows.exe, "list", root)
        self.assertIn('%s "%s"\n  %s\n  http/https: %sURL\n' % (root, name, program, name),
                      listed.stdout)
        checked = windows.run(windows.exe, "check", root, name)
        self.assertEqual(checked.status, 0, checked)
        self.assertIn("%s is registered correctly under %s.\n" % (name, root), checked.stdout)
        # Nobody chose this browser, so Windows opens none of its types with it.
        self.assertRegex(checked.stdout, r"(?m)^Windows opens 0 of 12 types with %s[;.]"
                         % re.escape(name))
        note(self, checked.stdout.strip())

    def test_hkcu_registration_lands_in_the_64_bit_view_only(self):
        self.lands_in_the_64_bit_view_only("HKCU")

    def test_hklm_registration_lands_in_the_64_bit_view_only(self):
        self.lands_in_the_64_bit_view_only("HKLM")

    def removal_and_its_backup_restore_every_value(self, root):
        name, _ = self.register(root, "delete-" + root)
        keys, values = registration_keys(root, name), registration_values(root, name)
        before = snapshot(keys, values)
        self.assertEqual(len([1 for key, _ in before if key.endswith("\\OPENWITHPROGIDS")]),
                         len(FILE_TYPES), before)

        deleted = windows.run(windows.exe, "delete", root, name, "-all")
        self.assertEqual(deleted.status, 0, deleted)
        backup = "%s\\%s.reg" % (windows.work, name)
        self.assertIn("Successfully exported registry keys to %s\n" % backup, deleted.stdout)
        self.addCleanup(windows.remove, backup)
        self.assertEqual(snapshot(keys, values), {}, "left in the 64-bit view")

        imported = windows.reg("import", backup, "/reg:64")
        self.assertEqual(imported.status, 0, imported)
        self.assertEqual(snapshot(keys, values), before)

    def test_hkcu_removal_and_its_backup_restore_every_value(self):
        self.removal_and_its_backup_restore_every_value("HKCU")

    def test_hklm_removal_and_its_backup_restore_every_value(self):
        self.removal_and_its_backup_restore_every_value("HKLM")


class DropTest(unittest.TestCase):
    """Shortcuts the shell itself made, and programs of each processor,
    dropped on the exe: each registers the program it starts."""

    def drop(self, dropped, program):
        name = os.path.splitext(program.rsplit("\\", 1)[1])[0]
        self.addCleanup(forget, "HKCU", name)
        result = windows.run(windows.exe, dropped)
        # Opening Settings afterwards may fail (status 2) where it has no page.
        self.assertEqual(result.stdout.split("\n")[0], REGISTERED, result)
        self.assertEqual(command_program("HKCU", name), program)

    def dropped_shortcut(self, cscript_folder, program_files):
        name = unique("link")
        folder = "%s\\%s" % (program_files, name)
        program = put_stand_in("%s\\%s.exe" % (folder, name))
        self.addCleanup(windows.remove, folder)
        link = "%s\\%s.lnk" % (windows.work, name)
        script = windows.work + "\\make_link.vbs"
        windows.put(script, os.path.join(HERE, "helpers", "make_link.vbs"))
        made = windows.run(cscript_folder + "\\cscript.exe", "//NoLogo", script, link, program)
        self.assertEqual(made.status, 0, made)
        self.addCleanup(windows.remove, link)
        local, environment = link_targets(windows.read(link))
        note(self, "the link stores LinkInfo %s and environment block %s"
             % (local or "(none)", environment or "(none)"))
        self.drop(link, program)

    def test_a_shortcut_a_64_bit_program_made_to_program_files(self):
        self.dropped_shortcut(windows.system32, windows.program_files)

    def test_a_shortcut_a_32_bit_program_made_to_program_files_x86(self):
        if not windows.runs_32bit:
            self.skipTest("this machine cannot run 32-bit programs, so no 32-bit cscript")
        self.dropped_shortcut(windows.syswow64, windows.program_files_x86)

    def test_a_program_of_each_processor_given(self):
        for machine in sorted(helpers):
            with self.subTest(processor=MACHINE_NAMES.get(machine, hex(machine))):
                program = put_stand_in("%s\\%s.exe" % (
                    windows.work, unique(MACHINE_NAMES.get(machine, "other"))), machine)
                self.addCleanup(windows.remove, program)
                self.drop(program, program)


class StartTest(unittest.TestCase):
    """Starts where nobody can press a key must end by themselves."""

    def start_ends(self, how, *command):
        starter = windows.work + "\\bounded_start.exe"
        windows.put(starter, helper("bounded_start.exe"))
        result = windows.run(starter, str(START_LIMIT), how, *command, timeout=START_LIMIT + 60)
        if result.status == ENDED_BY_US:
            self.fail("still running after %d s, so it waited for a key where nobody can press"
                      " one; ended it" % START_LIMIT)
        self.assertEqual(result.status, 0, result)

    def test_a_start_with_create_no_window_ends_by_itself(self):
        self.start_ends("no-window", windows.exe, "list", "HKCU")

    def test_a_start_from_cmd_start_wait_ends_by_itself(self):
        self.start_ends("plain", windows.system32 + "\\cmd.exe", "/c", "start", "", "/wait",
                        windows.exe, "list", "HKCU")

    def test_a_scheduled_task_ends_by_itself(self):
        if windows.under_wine:
            self.skipTest("skipped under Wine: its schtasks.exe creates tasks only from XML and"
                          " has no /run or /query, and no service of Wine starts a task")
        schtasks = windows.system32 + "\\schtasks.exe"
        task = unique("task")
        # As SYSTEM: the task runs whether anyone is logged on or not, where
        # no one sees its console.
        created = windows.run(schtasks, "/create", "/tn", task, "/tr",
                              '"%s" list HKCU' % windows.exe, "/sc", "once", "/st", "23:59",
                              "/ru", "SYSTEM", "/f")
        self.assertEqual(created.status, 0, created)
        self.addCleanup(windows.run, schtasks, "/delete", "/tn", task, "/f")
        started = windows.run(schtasks, "/run", "/tn", task)
        self.assertEqual(started.status, 0, started)
        state = {}
        for _ in range(START_LIMIT * 2):
            listed = windows.run(schtasks, "/query", "/tn", task, "/fo", "csv", "/v")
            state = next(csv.DictReader(io.StringIO(listed.stdout)), {})
            # 267011 (0x41303): the task has not run yet.
            if state.get("Status") != "Running" and state.get("Last Result") != "267011":
                break
            time.sleep(0.5)
        else:
            windows.run(schtasks, "/end", "/tn", task)
            self.fail("still running after %d s, so it waited for a key where nobody can press"
                      " one; ended it" % START_LIMIT)
        self.assertEqual(state.get("Last Result"), "0", state)


class DefaultsTest(unittest.TestCase):
    """The default-associations file from a real HKLM registration, against
    the rules Windows reads it by."""

    def test_the_defaults_file_keeps_the_schema_rules(self):
        name = unique("defaults")
        program = put_stand_in(windows.work + "\\" + name + ".exe")
        self.addCleanup(forget, "HKLM", name)
        registered = windows.run(windows.exe, "HKLM", name, program, "-all")
        self.assertEqual(registered.status, 0, registered)
        target = "%s\\%s.xml" % (windows.work, name)
        written = windows.run(windows.exe, "defaults", "HKLM", name, target, "-once")
        self.assertEqual(written.status, 0, written)
        self.addCleanup(windows.remove, target)

        data = windows.read(target)
        root = ElementTree.fromstring(data)
        elements = list(root)
        identifiers = [element.get("Identifier", "") for element in elements]
        capabilities = "HKLM" + CLIENTS + name + "\\Capabilities"
        associations = {}
        for key in ("FileAssociations", "URLAssociations"):
            found = parse_query(query(capabilities + "\\" + key).stdout)
            associations.update((value, progid) for (_, value), (_, progid) in found.items())
        application = [text for _, text in
                       parse_query(query(capabilities, "ApplicationName").stdout).values()]

        def is_class(progid):
            return query("HKLM\\Software\\Classes\\%s\\shell\\open\\command" % progid).status == 0

        rules = [
            ("UTF-8 with its declaration",
             data.startswith(b'<?xml version="1.0" encoding="UTF-8"?>')),
            ("the root is DefaultAssociations with a Version of 1 or more",
             root.tag == "DefaultAssociations" and set(root.attrib) == {"Version"} and
             re.fullmatch(r"[1-9][0-9]*", root.get("Version", "")) is not None),
            ("each child is an Association of Identifier, ProgId, ApplicationName, Suggested",
             all(element.tag == "Association" and set(element.attrib) ==
                 {"Identifier", "ProgId", "ApplicationName", "Suggested"} for element in elements)),
            ("each Identifier is a file type or a scheme, once",
             len(set(identifiers)) == len(identifiers) and
             all(re.fullmatch(r"\.[^.\\/\s]+|[a-z][a-z0-9+.-]*", i) for i in identifiers)),
            ("each association is a suggestion",
             {element.get("Suggested") for element in elements} == {"true"}),
            ("the associations are the registration's twelve, with its classes",
             {element.get("Identifier"): element.get("ProgId") for element in elements} ==
             associations and len(associations) == 12),
            ("ApplicationName is the registration's",
             [element.get("ApplicationName") for element in elements] ==
             application * len(elements)),
            ("each ProgId is a class with an open command",
             all(is_class(element.get("ProgId")) for element in elements)),
        ]
        self.assertEqual([rule for rule, holds in rules if not holds], [], data.decode("utf-8"))
