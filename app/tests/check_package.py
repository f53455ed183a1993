"""Reads the release package back: its entries as stored, then unpacked by unzip and the console program run
under Wine (32-bit) from the unpacked folder, as a user runs it. The window program in it is, byte for byte, the
one the window test opened.

Usage: /usr/bin/python3 check_package.py ZIP WINEPREFIX   (run by tools/package --check)"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

ZIP, PREFIX = (os.path.abspath(path) for path in sys.argv[1:3])
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine-run")
GUIDE = "使用说明.txt"
NAMES = ["Varnotta.exe", "varnotta-cli.exe", GUIDE, "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]


class ReleasePackage(unittest.TestCase):
    def test_names_as_stored(self):
        with zipfile.ZipFile(ZIP) as package:
            entries = package.infolist()
            self.assertIsNone(package.testzip())  # the CRCs, and the local headers' names against the directory's
        # Explorer on Chinese Windows reads names in code page 936 and ignores the UTF-8 flag; 7-Zip and unzip
        # take the UTF-8 name from the Info-ZIP Unicode Path field: version 1, CRC-32 of the stored name.
        # zipfile gives names without the flag as code page 437, which maps every byte.
        stored = [entry.orig_filename.encode("cp437") for entry in entries]
        self.assertEqual(stored, [name.encode("cp936") for name in NAMES])
        unicode_path = struct.pack("<HHBI", 0x7075, 5 + len(GUIDE.encode()), 1, zlib.crc32(GUIDE.encode("cp936")))
        self.assertEqual([(entry.flag_bits & 0x800, entry.extra) for entry in entries],
                         [(0, unicode_path + GUIDE.encode() if name == GUIDE else b"") for name in NAMES])

    def test_unpacked_by_unzip_runs_under_wine(self):
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run(["unzip", "-q", ZIP, "-d", folder], check=True, env={**os.environ, "LC_ALL": "C.UTF-8"})
            self.assertEqual(sorted(os.listdir(folder)), sorted(NAMES))
            for name in NAMES[2:]:  # what Notepad on Windows 7 shows right: CR LF, and a BOM before UTF-8
                with open(os.path.join(folder, name), "rb") as f:
                    text = f.read()
                self.assertNotIn(b"\n", text.replace(b"\r\n", b""), name)
                self.assertTrue(text.isascii() or text.startswith(b"\xef\xbb\xbf"), name)

            usage = subprocess.run([WINE_RUN, PREFIX, "varnotta-cli.exe", "--help"], cwd=folder, capture_output=True,
                                   timeout=600)
            self.assertEqual(usage.returncode, 0, usage.stderr)
            self.assertIn("用法: varnotta-cli", usage.stdout.decode("cp936"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
