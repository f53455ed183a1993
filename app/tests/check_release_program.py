"""Reads the 32-bit release program back from its file: a 32-bit GUI program with the version record, icon and
manifest it is built with, that asks for nothing newer than Windows 7 SP1 (the console program too, when given).

Usage: /usr/bin/python3 check_release_program.py PROGRAM ICON_FILE [CONSOLE_PROGRAM]   (Debian's python3-pefile)"""
import os
import re
import struct
import sys
import unittest

import pefile

PROGRAM, ICON_FILE = sys.argv[1], sys.argv[2]
ALLOWED_IMPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "allowed_imports.txt")
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "version.h")) as f:
    MAJOR, MINOR = (int(n) for n in re.findall(r"^#define VARNOTTA_VERSION_(?:MAJOR|MINOR) (\d+)$", f.read(), re.M))


def resources(pe, type_id):
    """The data of every resource of one type, by resource id."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == type_id:
            for name in kind.directory.entries:
                for language in name.directory.entries:
                    entry = language.data.struct
                    found[name.id] = pe.get_data(entry.OffsetToData, entry.Size)
    return found


class ReleaseProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(PROGRAM)

    def test_is_a_32_bit_windows_gui_program(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])

    def test_asks_for_windows_7_imports_only_reviewed_system_functions_and_bears_no_time_stamp(self):
        allowed, dll = set(), None
        with open(ALLOWED_IMPORTS) as f:
            for line in (line.strip() for line in f):
                if line.startswith("["):
                    dll = line.strip("[]").lower()
                elif line and not line.startswith("#"):
                    allowed.add(f"{dll}!{line}")
        for program in [PROGRAM] + [path for path in sys.argv[3:] if path]:  # empty without the console program
            with self.subTest(program=program):
                pe = pefile.PE(program)
                header = pe.OPTIONAL_HEADER
                self.assertEqual((header.MajorSubsystemVersion, header.MinorSubsystemVersion), (6, 1))
                self.assertEqual((header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion), (6, 1))
                self.assertEqual(pe.FILE_HEADER.TimeDateStamp, 0)  # the release build's: no link time stamp
                imported = {f"{entry.dll.decode().lower()}!{(item.name or b'#%d' % item.ordinal).decode()}"
                            for entry in pe.DIRECTORY_ENTRY_IMPORT for item in entry.imports}
                self.assertEqual(sorted(imported - allowed), [], "not reviewed for Windows 7 SP1: allowed_imports.txt")

    def test_version_record(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (MAJOR << 16 | MINOR, 0))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (MAJOR << 16 | MINOR, 0))
        strings, translations = {}, []
        for info in self.pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    strings[table.LangID] = table.entries
            elif info.Key == b"VarFileInfo":
                translations = [var.entry[b"Translation"] for var in info.Var]
        self.assertEqual(translations, ["0x0804 0x04b0"])  # Chinese (PRC), Unicode
        self.assertEqual(list(strings), [b"080404B0"])
        table = strings[b"080404B0"]
        self.assertEqual(table[b"FileVersion"], b"%d.%d0" % (MAJOR, MINOR))  # 1.0 is "1.00"
        self.assertEqual(table[b"ProductVersion"], table[b"FileVersion"])
        self.assertEqual(table[b"ProductName"], b"Varnotta")
        self.assertEqual(table[b"CompanyName"], b"www.varnotta.example")
        self.assertEqual(table[b"OriginalFilename"], b"Varnotta.exe")  # its name in the release package
        self.assertEqual(table[b"LegalCopyright"], b"Copyright (c) 2026 The Varnotta authors")

    def test_icon_is_the_32_by_32_24_bit_image_of_the_icon_file(self):
        with open(ICON_FILE, "rb") as f:
            icon_file = f.read()
        _, _, count = struct.unpack_from("<HHH", icon_file)
        self.assertEqual(count, 1)
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", icon_file, 6)
        self.assertEqual((width, height, bits), (32, 32, 24))
        groups = resources(self.pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
        self.assertEqual(len(groups), 1)
        group = next(iter(groups.values()))
        self.assertEqual(struct.unpack_from("<HHH", group), (0, 1, 1))
        g_width, g_height, _, _, _, g_bits, g_size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6)
        self.assertEqual((g_width, g_height, g_bits, g_size), (32, 32, 24, size))
        image = resources(self.pe, pefile.RESOURCE_TYPE["RT_ICON"])[icon_id]
        self.assertEqual(image, icon_file[offset : offset + size])

    def test_manifest_asks_for_common_controls_6_and_per_monitor_dpi_keeps_the_ansi_code_page_names_windows_7(self):
        manifests = resources(self.pe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
        self.assertEqual(list(manifests), [1])
        manifest = manifests[1].decode("utf-8")
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"')
        self.assertRegex(manifest, r"<dpiAwareness[^>]*>PerMonitorV2")
        self.assertRegex(manifest, r"<dpiAware[^>]*>true/pm</dpiAware>")
        self.assertRegex(manifest, r"<longPathAware[^>]*>true</longPathAware>")
        self.assertIn('level="asInvoker"', manifest)
        supported = re.findall(r'<supportedOS Id="([^"]+)"', manifest)
        self.assertIn("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", supported)  # Windows 7, the oldest
        self.assertNotIn("{e2011457-1546-43c5-a5fe-008deee3d3f0}", supported)  # Vista
        self.assertNotRegex(manifest, r"<activeCodePage")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
