#!/usr/bin/env python3
"""The resources built into pathwick.exe: its application manifest and its icon.

Usage: exe_resources_test.py PATHWICK_EXE ICO_FILE [unittest options, such as -k NAME]

Reads the resource directory of the PE file itself (no Windows, no Wine), so
it checks what Windows will read: the manifest's declarations, and that the
icon group holds every image of ICO_FILE (packaging/icons/pathwick.ico).
"""

import struct
import sys
import unittest
import xml.etree.ElementTree as ElementTree

PATHWICK_EXE = ""
ICO_FILE = ""

RT_ICON = 3
RT_GROUP_ICON = 14
RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1

RESOURCE_DIRECTORY = 2  # the index of the resource table among the data directories

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"


class PeFile:
    """The resources of a PE file: {(type, id): {language: bytes}}, numeric ids only."""

    def __init__(self, path):
        with open(path, "rb") as stream:
            self.data = stream.read()
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path}: not a PE file")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        section_count, = struct.unpack_from("<H", self.data, pe + 6)
        optional_size, = struct.unpack_from("<H", self.data, pe + 20)
        optional = pe + 24
        magic, = struct.unpack_from("<H", self.data, optional)
        directories = optional + (112 if magic == 0x20B else 96)  # PE32+ or PE32
        self.resource_rva, _ = struct.unpack_from("<II", self.data,
                                                  directories + 8 * RESOURCE_DIRECTORY)
        self.sections = []
        for index in range(section_count):
            header = optional + optional_size + 40 * index
            size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", self.data, header + 8)
            self.sections.append((rva, max(size, raw_size), raw_offset))

    def offset(self, rva):
        for start, size, raw_offset in self.sections:
            if start <= rva < start + size:
                return raw_offset + rva - start
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def entries(self, directory_offset):
        """(id, is_directory, offset of the child within the resource table)."""
        base = self.offset(self.resource_rva)
        named, numbered = struct.unpack_from("<HH", self.data, base + directory_offset + 12)
        for index in range(named + numbered):
            name, child = struct.unpack_from("<II", self.data,
                                             base + directory_offset + 16 + 8 * index)
            if name & 0x80000000:
                continue  # a named entry; the program's resources all have numbers
            yield name, bool(child & 0x80000000), child & 0x7FFFFFFF

    def resources(self):
        base = self.offset(self.resource_rva)
        found = {}
        for kind, _, kind_dir in self.entries(0):
            for ident, _, ident_dir in self.entries(kind_dir):
                for language, _, leaf in self.entries(ident_dir):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    found.setdefault((kind, ident), {})[language] = self.data[start:start + size]
        return found


def only_value(languages):
    """The one language version of a resource."""
    assert len(languages) == 1, f"{len(languages)} language versions"
    return next(iter(languages.values()))


def ico_images(path):
    """The images of an ICO file, as (width, bits per pixel, bytes), in file order."""
    with open(path, "rb") as stream:
        data = stream.read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    assert kind == 1, "not an icon file"
    images = []
    for index in range(count):
        width, _, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data,
                                                                   6 + 16 * index)
        images.append((width or 256, bits, data[offset:offset + size]))
    return images


class ResourceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.resources = PeFile(PATHWICK_EXE).resources()


class ManifestTest(ResourceTest):
    """The manifest that Windows reads when it starts the program."""

    def setUp(self):
        manifests = [key for key in self.resources if key[0] == RT_MANIFEST]
        self.assertEqual(manifests, [(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID)],
                         "exactly one manifest, the one for starting the process")
        text = only_value(self.resources[manifests[0]])
        self.manifest = ElementTree.fromstring(text)

    def test_declares_windows_7_to_11(self):
        application = self.manifest.find(f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application")
        self.assertIsNotNone(application, "no compatibility section")
        declared = {element.get("Id").lower()
                    for element in application.findall(f"{COMPATIBILITY}supportedOS")}
        self.assertEqual(declared, set(SUPPORTED_OS),
                         [SUPPORTED_OS.get(guid, guid) for guid in declared ^ set(SUPPORTED_OS)])

    def test_depends_on_common_controls_6(self):
        identities = self.manifest.findall(
            f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity")
        controls = [identity.attrib for identity in identities
                    if identity.get("name") == "Microsoft.Windows.Common-Controls"]
        self.assertEqual(len(controls), 1, "no Common Controls dependency")
        self.assertEqual(controls[0].get("version"), "6.0.0.0")
        self.assertEqual(controls[0].get("publicKeyToken"), "6595b64144ccf1df")
        self.assertEqual(controls[0].get("type"), "win32")

    def test_is_per_monitor_dpi_aware_v2_with_the_older_fallback(self):
        settings = self.manifest.find(f"{ASM_V3}application/{ASM_V3}windowsSettings")
        self.assertIsNotNone(settings, "no windowsSettings")
        awareness = settings.find(f"{SETTINGS_2016}dpiAwareness")
        aware = settings.find(f"{SETTINGS_2005}dpiAware")
        self.assertIsNotNone(awareness, "no dpiAwareness")
        self.assertIsNotNone(aware, "no dpiAware for the versions before Windows 10 1703")
        choices = [choice.strip() for choice in awareness.text.split(",")]
        self.assertEqual(choices[0], "PerMonitorV2")
        self.assertEqual(aware.text.strip().lower(), "true/pm")

    def test_runs_as_the_invoker(self):
        levels = self.manifest.findall(
            f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
            f"{ASM_V3}requestedExecutionLevel")
        self.assertEqual([level.get("level") for level in levels], ["asInvoker"])


class IconTest(ResourceTest):
    """The program file's icon: one group holding every image of the ICO file."""

    def test_icon_group_holds_every_image_of_the_ico_file(self):
        groups = sorted(key for key in self.resources if key[0] == RT_GROUP_ICON)
        self.assertEqual(len(groups), 1, "one icon group")
        group = only_value(self.resources[groups[0]])
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual(kind, 1)
        expected = ico_images(ICO_FILE)
        self.assertEqual([width for width, _, _ in expected], ICON_SIZES)
        self.assertEqual(count, len(expected))
        for index, (width, bits, image) in enumerate(expected):
            with self.subTest(size=width):
                entry_width, _, _, _, _, entry_bits, size, icon_id = struct.unpack_from(
                    "<BBBBHHIH", group, 6 + 14 * index)
                self.assertEqual((entry_width or 256, entry_bits, size), (width, bits, len(image)))
                self.assertEqual(only_value(self.resources[(RT_ICON, icon_id)]), image)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PATHWICK_EXE, ICO_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
