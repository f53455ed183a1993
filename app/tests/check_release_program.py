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
HERE = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(HERE, "..", "version.h")) as f:
    MAJOR, MINOR = (int(n) for n in re.findall(r"^#define VARNOTTA_VERSION_(?:MAJOR|MINOR) (\d+)$", f.read(), re.M))


def resources(pe, type_name):
    """The data of every resource of one type, by resource id."""
    return {name.id: pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
            for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == pefile.RESOURCE_TYPE[type_name]
            for name in kind.directory.entries for language in name.directory.entries}


class ReleaseProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(PROGRAM)

    def test_is_a_32_bit_windows_gui_program(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])

    def test_asks_for_windows_7_imports_only_reviewed_system_functions_and_bears_no_time_stamp(self):
        with open(os.path.join(HERE, "allowed_imports.txt")) as f:  # "[dll]" and a function a line after it
            allowed = {f"{dll.lower()}!{name}" for dll, names in re.findall(r"^\[(.+)\]$([^[]*)", f.read(), re.M)
                       for name in re.findall(r"^\w+$", names, re.M)}
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
        self.assertEqual([fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS],
                         [MAJOR << 16 | MINOR, 0] * 2)
        infos = self.pe.FileInfo[0]
        strings = {table.LangID: table.entries for i in infos if i.Key == b"StringFileInfo" for table in i.StringTable}
        translations = [var.entry[b"Translation"] for i in infos if i.Key == b"VarFileInfo" for var in i.Var]
        self.assertEqual(translations, ["0x0804 0x04b0"])  # Chinese (PRC), Unicode
        self.assertEqual(list(strings), [b"080404B0"])
        version = b"%d.%d0" % (MAJOR, MINOR)  # 1.0 is "1.00"
        expected = {b"FileVersion": version, b"ProductVersion": version, b"ProductName": b"Varnotta",
                    b"CompanyName": b"www.varnotta.example", b"OriginalFilename": b"Varnotta.exe",  # its name when packed
                    b"LegalCopyright": b"Copyright (c) 2026 The Varnotta authors"}
        self.assertEqual({key: strings[b"080404B0"].get(key) for key in expected}, expected)

    def test_icon_is_the_32_by_32_24_bit_image_of_the_icon_file(self):
        with open(ICON_FILE, "rb") as f:
            icon_file = f.read()
        self.assertEqual(struct.unpack_from("<H", icon_file, 4), (1,))  # one image
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", icon_file, 6)
        self.assertEqual((width, height, bits), (32, 32, 24))
        groups = list(resources(self.pe, "RT_GROUP_ICON").values())
        self.assertEqual(len(groups), 1)
        self.assertEqual(struct.unpack_from("<HHH", groups[0]), (0, 1, 1))
        g_width, g_height, _, _, _, g_bits, g_size, icon_id = struct.unpack_from("<BBBBHHIH", groups[0], 6)
        self.assertEqual((g_width, g_height, g_bits, g_size), (32, 32, 24, size))
        self.assertEqual(resources(self.pe, "RT_ICON")[icon_id], icon_file[offset : offset + size])

    def test_manifest_asks_for_common_controls_6_and_per_monitor_dpi_keeps_the_ansi_code_page_names_windows_7(self):
        manifests = resources(self.pe, "RT_MANIFEST")
        self.assertEqual(list(manifests), [1])
        manifest = manifests[1].decode("utf-8")
        for pattern in [r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"',
                        r"<dpiAwareness[^>]*>PerMonitorV2", r"<dpiAware[^>]*>true/pm</dpiAware>",
                        r"<longPathAware[^>]*>true</longPathAware>", r'level="asInvoker"',
                        r'<supportedOS Id="\{35138b9a-5d96-4fbd-8e2d-a2440225f93a\}"']:  # Windows 7, the oldest
            self.assertRegex(manifest, pattern)
        self.assertNotIn("{e2011457-1546-43c5-a5fe-008deee3d3f0}", manifest)  # Vista
        self.assertNotRegex(manifest, r"<activeCodePage")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
