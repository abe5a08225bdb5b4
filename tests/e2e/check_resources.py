#!/usr/bin/env python3
"""Checks the delivered Windows executable without running it: a 32-bit GUI program that imports
only Windows system libraries, whose resources hold the two dialog templates control by control,
the application icon and the version block, all in US English, and no manifest."""

import os
import re
import struct
import sys

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def project_version():
    """The four numbers of the build's project version, the program's one version."""
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(\s*\S+\s+VERSION\s+(\d+)\.(\d+)\.(\d+)\.(\d+)", f.read())
    if found is None:
        sys.exit("no four-number project version in %s/CMakeLists.txt" % SOURCE_DIR)
    return tuple(int(n) for n in found.groups())


def company_name():
    """The company's name as the program's names header defines it."""
    with open(os.path.join(SOURCE_DIR, "src", "base", "ProductNames.h"), encoding="utf-8") as f:
        found = re.search(r'#define COMPANY_NAME "([^"]+)"', f.read())
    if found is None:
        sys.exit("no COMPANY_NAME in src/base/ProductNames.h")
    return found.group(1)


RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_EN_US = 1033
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "comctl32.dll", "msvcrt.dll"}
CLASS_ORDINALS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
                  0x84: "ScrollBar", 0x85: "ComboBox"}

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX = 0x00C00000, 0x00080000, 0x00020000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME, DS_FIXEDSYS, DS_CENTER = 0x40, 0x80, 0x8, 0x800
WS_EX_APPWINDOW, WS_EX_TRANSPARENT = 0x00040000, 0x20
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_AUTORADIOBUTTON, BS_MULTILINE = 0, 1, 7, 9, 0x2000
SS_LEFT, SS_CENTER, SS_ICON, SS_NOPREFIX = 0, 1, 3, 0x80
ES_LEFT, ES_MULTILINE, ES_READONLY = 0, 4, 0x800

PUSH = WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON
STATIC = WS_GROUP | SS_LEFT
RADIO = BS_AUTORADIOBUTTON

# The main dialog's controls: id, class, text, styles besides WS_CHILD | WS_VISIBLE, rectangle.
UPDATE_CONTROLS = [
    (2, "Button", "Done", PUSH, (247, 340, 84, 14)),
    (1017, "Static", "USE_WITH_PRODUCT_MSG", WS_GROUP | SS_CENTER, (0, 6, 370, 12)),
    (-1, "Button", "Serial Port: ", BS_GROUPBOX, (12, 24, 348, 44)),
    (2001, "Button", "COM1", WS_GROUP | WS_TABSTOP | RADIO, (24, 36, 36, 10)),
] + [(2000 + n, "Button", "COM%d" % n, RADIO, (24 + 56 * ((n - 1) % 6), 36 if n <= 6 else 52, 36, 10))
     for n in range(2, 13)] + [
    (-1, "Button", "Instructions: ", WS_GROUP | BS_GROUPBOX, (12, 80, 348, 116)),
    (1100, "Static", "Static", STATIC, (28, 92, 320, 100)),
    (1022, "Button", "Detailed\nInstructions", PUSH | BS_MULTILINE, (300, 168, 52, 22)),
    (-1, "Button", "Firmware Update Status: ", BS_GROUPBOX, (12, 208, 348, 76)),
    (1008, "Static", "Firmware file  =", STATIC, (20, 220, 328, 8)),
    (1009, "Static", "Firmware version  =", STATIC, (20, 232, 328, 8)),
    (1007, "Static", "Boot loader version  =", STATIC, (20, 244, 328, 8)),
    (1010, "Static", "Sending hex file row  X  of  Y", STATIC, (20, 256, 328, 8)),
    (1011, "Static", None, STATIC, (20, 268, 328, 12)),
    (1020, "Button", "Fenmoor Support && Contact Information: ", BS_GROUPBOX, (12, 296, 348, 36)),
    (-1, "Static", "If you are having problems with this update, please contact technical support.",
     STATIC, (20, 308, 260, 20)),
    (1016, "Button", "Contact Info", PUSH, (300, 309, 52, 14)),
    (1012, "Button", "Refresh Serial Ports", PUSH, (39, 340, 84, 14)),
    (1006, "Button", "Begin Update", PUSH, (143, 340, 84, 14)),
]

ABOUT_CONTROLS = [
    (-1, "Static", 128, SS_ICON, (27, 13, 20, 20)),
    (1015, "Static", "Version x.xx", WS_GROUP | SS_CENTER | SS_NOPREFIX, (99, 18, 119, 8)),
    (1013, "Static", None, WS_GROUP | SS_CENTER, (51, 84, 216, 8)),
    (1, "Button", "OK", WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, (125, 200, 69, 16)),
    (-1, "Static", None, WS_GROUP | SS_CENTER, (64, 94, 188, 8)),
    (1019, "Static", "PRODUCT_NAME", WS_GROUP | SS_CENTER, (64, 8, 188, 8)),
    (1014, "Static", "Released January 1, 2005", WS_GROUP | SS_CENTER, (85, 28, 148, 8)),
    (-1, "Static", "Contact information:", WS_GROUP | SS_LEFT, (76, 120, 84, 8)),
    (1021, "Static", "Phone:\nFAX:\nEmail:\nWeb:\nHours:\nAddress:", WS_GROUP | SS_LEFT,
     (88, 128, 38, 58)),
    (1016, "RichEdit20A", "", ES_LEFT | ES_MULTILINE | ES_READONLY, (126, 128, 184, 60)),
    (1018, "Static", "Static", WS_GROUP | SS_CENTER, (5, 46, 308, 28)),
]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


class Pe:
    def __init__(self, data):
        self.data = data
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[:2] != b"MZ" or data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe_offset + 4)
        optional = pe_offset + 24
        self.magic, = struct.unpack_from("<H", data, optional)
        self.subsystem, = struct.unpack_from("<H", data, optional + 68)
        directories = optional + 96
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("address %#x outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, size = self.directories[1]
        names = []
        position = self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, position)
            if not any(fields):
                break
            names.append(self.cstring(fields[3]))
            position += 20
        return names

    def resources(self):
        """{(type, name, language): bytes}; names and types as numbers or strings."""
        rva, _ = self.directories[2]
        base = self.offset(rva)
        found = {}

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if ident & 0x80000000:
                    length, = struct.unpack_from("<H", self.data, base + (ident & 0x7FFFFFFF))
                    start = base + (ident & 0x7FFFFFFF) + 2
                    ident = self.data[start:start + 2 * length].decode("utf-16-le")
                yield ident, target

        for rtype, t1 in entries(0):
            for name, t2 in entries(t1 & 0x7FFFFFFF):
                for lang, t3 in entries(t2 & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + t3)
                    start = self.offset(data_rva)
                    found[(rtype, name, lang)] = self.data[start:start + size]
        return found


def read_sz_or_ord(data, position):
    first, = struct.unpack_from("<H", data, position)
    if first == 0xFFFF:
        ordinal, = struct.unpack_from("<H", data, position + 2)
        return ordinal, position + 4
    end = position
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[position:end].decode("utf-16-le"), end + 2


def parse_dialog(data):
    version, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", data, 0)
    dialog = {"version": version, "signature": signature, "help": help_id, "exstyle": ex_style,
              "style": style, "size": (cx, cy), "controls": []}
    position = 26
    dialog["menu"], position = read_sz_or_ord(data, position)
    dialog["class"], position = read_sz_or_ord(data, position)
    dialog["caption"], position = read_sz_or_ord(data, position)
    if style & (DS_SETFONT | DS_FIXEDSYS):
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, position)
        face, position = read_sz_or_ord(data, position + 6)
        dialog["font"] = (points, weight, italic, charset, face)
    for _ in range(count):
        position = (position + 3) & ~3
        help_id, ex_style, style, x, y, cx, cy, ident = struct.unpack_from("<IIIhhhhi", data, position)
        position += 24
        cls, position = read_sz_or_ord(data, position)
        text, position = read_sz_or_ord(data, position)
        extra, = struct.unpack_from("<H", data, position)
        position += 2 + extra
        dialog["controls"].append({"id": ident, "class": CLASS_ORDINALS.get(cls, cls), "text": text,
                                   "style": style, "exstyle": ex_style, "help": help_id,
                                   "rect": (x, y, cx, cy)})
    return dialog


def check_dialog(resources, number, caption, size, style, ex_style, expected):
    data = resources.get((RT_DIALOG, number, LANG_EN_US))
    check(data is not None, "dialog %d (US English) missing" % number)
    if data is None:
        return
    d = parse_dialog(data)
    where = "dialog %d" % number
    check(d["version"] == 1 and d["signature"] == 0xFFFF, where + ": not an extended template")
    check(d["help"] == 0 and d["menu"] in (0, "") and d["class"] in (0, ""),
          where + ": help, menu or class set")
    check(d["caption"] == caption, where + ": caption %r" % d["caption"])
    check(d["size"] == size, where + ": size %r" % (d["size"],))
    check(d["style"] == style, where + ": style %#x, expected %#x" % (d["style"], style))
    check(d["exstyle"] == ex_style, where + ": extended style %#x" % d["exstyle"])
    check(not d["style"] & DS_CENTER, where + ": DS_CENTER set")
    check(d.get("font") == (8, 0, 0, 1, "MS Shell Dlg"), where + ": font %r" % (d.get("font"),))
    check(len(d["controls"]) == len(expected),
          where + ": %d controls, expected %d" % (len(d["controls"]), len(expected)))
    for index, (got, want) in enumerate(zip(d["controls"], expected)):
        ident, cls, text, other_styles, rect = want
        row = "%s control %d (id %d)" % (where, index + 1, ident)
        check(got["id"] == ident, row + ": id %d" % got["id"])
        # Window classes are found without regard to case; the resource compiler may store the
        # standard ones by number or by their upper-case name.
        check(str(got["class"]).lower() == cls.lower(), row + ": class %r" % got["class"])
        if text is not None:
            check(got["text"] == text, row + ": text %r" % (got["text"],))
        check(got["style"] == (other_styles | WS_CHILD | WS_VISIBLE),
              row + ": style %#x, expected %#x" % (got["style"], other_styles | WS_CHILD | WS_VISIBLE))
        wanted_ex = WS_EX_TRANSPARENT if cls == "RichEdit20A" else 0
        check(got["exstyle"] == wanted_ex, row + ": extended style %#x" % got["exstyle"])
        check(got["help"] == 0, row + ": help id %d" % got["help"])
        check(got["rect"] == rect, row + ": rectangle %r" % (got["rect"],))


def check_icon(resources):
    group = resources.get((RT_GROUP_ICON, 128, LANG_EN_US))
    check(group is not None, "icon group 128 (US English) missing")
    if group is None:
        return
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    check(kind == 1 and count == 2, "icon group 128: %d images" % count)
    sizes = []
    for i in range(count):
        width, height, colours, _, planes, bits, size, ident = struct.unpack_from(
            "<BBBBHHIH", group, 6 + 14 * i)
        sizes.append((width, height, bits))
        image = resources.get((RT_ICON, ident, LANG_EN_US))
        check(image is not None, "icon image %d missing" % ident)
        if image is not None:
            header_size, w, h, _, bpp = struct.unpack_from("<IiiHH", image, 0)
            check(header_size == 40 and w == width and h == 2 * height and bpp == 8,
                  "icon image %d: %dx%d at %d bits" % (ident, w, h // 2, bpp))
    check(sorted(sizes) == [(16, 16, 8), (32, 32, 8)], "icon sizes %r" % sizes)


def check_version(resources):
    data = resources.get((RT_VERSION, 1, LANG_EN_US))
    check(data is not None, "version block missing")
    if data is None:
        return
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    check(fixed >= 0, "version block without its fixed part")
    if fixed >= 0:
        (_, _, file_ms, file_ls, product_ms, product_ls, mask, flags, os_kind, file_type,
         subtype, date_ms, date_ls) = struct.unpack_from("<13I", data, fixed)
        major, minor, patch, tweak = project_version()
        expected = ((major << 16) | minor, (patch << 16) | tweak)
        check((file_ms, file_ls) == expected, "file version %#x.%#x" % (file_ms, file_ls))
        check((product_ms, product_ls) == expected, "product version")
        check(mask == 0x17 and flags == 0, "flags %#x mask %#x" % (flags, mask))
        check(os_kind in (0x4, 0x40004), "operating system %#x" % os_kind)
        check(file_type == 1 and date_ms == 0 and date_ls == 0, "file type or date")
    text = data.decode("utf-16-le", errors="replace")
    check("040904e4" in text.lower(), "no string table 040904e4")
    for key in ("Comments", "CompanyName", "FileDescription", "FileVersion", "InternalName",
                "LegalCopyright", "ProductName", "ProductVersion"):
        check(key in text, "version key %s missing" % key)
    check(company_name() in text, "company name")
    version_text = ".".join(str(n) for n in project_version())
    check(text.count(version_text) >= 2, "file and product version strings %s" % version_text)
    check(struct.pack("<HH", 0x409, 1252) in data, "translation 0x409, 1252")


def main(argv):
    if len(argv) != 1:
        print("usage: check_resources.py KeystrandUpdate.exe", file=sys.stderr)
        return 2
    with open(argv[0], "rb") as f:
        pe = Pe(f.read())
    check(pe.machine == 0x14C and pe.magic == 0x10B, "not a 32-bit Intel program")
    check(pe.subsystem == 2, "subsystem %d, expected the GUI (2)" % pe.subsystem)
    imports = pe.imports()
    check(all(name.lower() in SYSTEM_DLLS for name in imports),
          "imports beyond the system's libraries: %s" % ", ".join(imports))
    resources = pe.resources()
    check(not any(key[0] == RT_MANIFEST for key in resources), "the resources hold a manifest")
    check_dialog(resources, 102, "PRODUCT_NAME Firmware Update", (371, 361),
                 WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME
                 | DS_SETFONT | DS_FIXEDSYS, WS_EX_APPWINDOW, UPDATE_CONTROLS)
    check_dialog(resources, 100, "About PRODUCT_NAME Update", (319, 224),
                 WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, 0,
                 ABOUT_CONTROLS)
    check_icon(resources)
    check_version(resources)
    kinds = sorted({(k[0], k[1]) for k in resources}, key=str)
    print("imports: %s" % ", ".join(imports))
    print("resources: %s" % ", ".join("%s/%s" % k for k in kinds))
    for message in failures:
        print("FAIL: " + message)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
