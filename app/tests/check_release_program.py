"""Reads the 32-bit release program back from its file: a 32-bit GUI program that needs no DLL of ours or of
the compiler's, with the version record, icon and manifest it is built with.

Usage: /usr/bin/python3 check_release_program.py PROGRAM ICON_FILE   (Debian's python3-pefile)"""
import re
import struct
import sys
import unittest

import pefile

PROGRAM, ICON_FILE = sys.argv[1], sys.argv[2]
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
               "shell32.dll", "user32.dll"}


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

    def test_is_a_32_bit_windows_gui_program_linked_statically(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(imported, SYSTEM_DLLS)

    def test_version_record(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00010000, 0))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00010000, 0))
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
        self.assertEqual(table[b"FileVersion"], b"1.00")
        self.assertEqual(table[b"ProductVersion"], b"1.00")
        self.assertEqual(table[b"ProductName"], b"Varnotta")
        self.assertEqual(table[b"CompanyName"], b"www.varnotta.example")

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

    def test_manifest_asks_for_common_controls_6_and_per_monitor_dpi_and_keeps_the_ansi_code_page(self):
        manifests = resources(self.pe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
        self.assertEqual(list(manifests), [1])
        manifest = manifests[1].decode("utf-8")
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"')
        self.assertRegex(manifest, r"<dpiAwareness[^>]*>PerMonitorV2")
        self.assertRegex(manifest, r"<dpiAware[^>]*>true/pm</dpiAware>")
        self.assertIn('level="asInvoker"', manifest)
        self.assertEqual(len(re.findall(r"<supportedOS ", manifest)), 5)
        self.assertNotRegex(manifest, r"<activeCodePage")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
