#!/usr/bin/env python3
"""Convert a monospaced BDF bitmap font into shell/platform/fixed_font.cpp.

Writes the glyphs of character codes 32..127 as the C++ array
FixedFontBitmaps declared in shell/platform/fixed_font.h: one byte per pixel row,
bit 7 the leftmost pixel, row 0 the bottom row of the cell, every glyph
padded to the font's full bounding box (FONTBOUNDINGBOX) according to its
own BBX offsets. That is the layout glBitmap reads with an unpack
alignment of 1.

The font must be monospaced with cells at most 8 pixels wide. Codes the
font has no glyph for are left blank and named in the generated file.
The generated file also checks, at compile time, that the cell metrics in
shell/platform/fixed_font.h match the font it was made from.

Regenerating the embedded font (X11 misc-fixed 6x13, public domain; needs
the Debian packages xfonts-base and pcf2bdf), from the repository root:

    pcf2bdf -o /tmp/6x13.bdf /usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz
    python3 tools/convert_bdf_font.py /tmp/6x13.bdf -o shell/platform/fixed_font.cpp

Uses the Python standard library only.
"""

import argparse
import sys
from pathlib import Path

FIRST_CHAR = 32
CHAR_COUNT = 96
MAX_CELL_WIDTH = 8  # one byte per glyph row

REGENERATE_COMMANDS = (
    "pcf2bdf -o /tmp/6x13.bdf /usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz",
    "python3 tools/convert_bdf_font.py /tmp/6x13.bdf -o shell/platform/fixed_font.cpp",
)

DEFAULT_OUTPUT = Path(__file__).resolve().parent.parent / "shell" / "platform" / "fixed_font.cpp"


class BdfError(Exception):
    """The BDF file is malformed or does not fit the embedded-font layout."""


class Glyph:
    """One BDF character: its advance, bounding box and bitmap rows (top row first)."""

    def __init__(self, name):
        self.name = name
        self.encoding = None
        self.advance = None
        self.bbx = None  # (width, height, x offset, y offset)
        self.rows = []  # ints, MSB-first, as many bits as the hex digits hold
        self.row_bits = 0


class BdfFont:
    """The parts of a BDF font the converter needs."""

    def __init__(self):
        self.name = None
        self.bounding_box = None  # (width, height, x offset, y offset)
        self.properties = {}
        self.glyphs = {}  # encoding -> Glyph


def parse_ints(fields, count, line_number, keyword):
    if len(fields) != count:
        raise BdfError(f"line {line_number}: {keyword} needs {count} numbers")
    try:
        return tuple(int(field) for field in fields)
    except ValueError:
        raise BdfError(f"line {line_number}: {keyword} has a non-integer value") from None


def parse_property_value(text):
    text = text.strip()
    if len(text) >= 2 and text.startswith('"') and text.endswith('"'):
        return text[1:-1].replace('""', '"')
    return text


def parse_bdf(lines):
    """Parse BDF text (an iterable of lines) into a BdfFont."""
    font = BdfFont()
    glyph = None
    in_properties = False
    in_bitmap = False
    for line_number, raw in enumerate(lines, start=1):
        line = raw.strip()
        if not line:
            continue
        keyword, _, rest = line.partition(" ")
        fields = rest.split()
        if in_bitmap:
            if keyword == "ENDCHAR":
                finish_glyph(font, glyph, line_number)
                glyph, in_bitmap = None, False
            else:
                add_bitmap_row(glyph, line, line_number)
        elif in_properties:
            if keyword == "ENDPROPERTIES":
                in_properties = False
            else:
                font.properties[keyword] = parse_property_value(rest)
        elif keyword == "FONT":
            font.name = rest.strip()
        elif keyword == "FONTBOUNDINGBOX":
            font.bounding_box = parse_ints(fields, 4, line_number, keyword)
        elif keyword == "STARTPROPERTIES":
            in_properties = True
        elif keyword == "STARTCHAR":
            glyph = Glyph(rest.strip())
        elif glyph is None:
            continue  # other global keywords are not needed
        elif keyword == "ENCODING":
            glyph.encoding = parse_ints(fields[:1], 1, line_number, keyword)[0]
        elif keyword == "DWIDTH":
            glyph.advance = parse_ints(fields, 2, line_number, keyword)[0]
        elif keyword == "BBX":
            glyph.bbx = parse_ints(fields, 4, line_number, keyword)
        elif keyword == "BITMAP":
            in_bitmap = True
        elif keyword == "ENDCHAR":  # a glyph without a BITMAP section
            finish_glyph(font, glyph, line_number)
            glyph = None
    if glyph is not None:
        raise BdfError(f"glyph {glyph.name} is not closed by ENDCHAR")
    if font.name is None or font.bounding_box is None:
        raise BdfError("no FONT or no FONTBOUNDINGBOX line")
    return font


def add_bitmap_row(glyph, text, line_number):
    try:
        value = int(text, 16)
    except ValueError:
        raise BdfError(f"line {line_number}: bitmap row {text!r} is not hexadecimal") from None
    bits = 4 * len(text)
    if glyph.rows and bits != glyph.row_bits:
        raise BdfError(f"line {line_number}: bitmap rows of {glyph.name} differ in length")
    glyph.row_bits = bits
    glyph.rows.append(value)


def finish_glyph(font, glyph, line_number):
    if glyph.encoding is None or glyph.bbx is None:
        raise BdfError(f"line {line_number}: glyph {glyph.name} lacks ENCODING or BBX")
    width, height = glyph.bbx[0], glyph.bbx[1]
    if len(glyph.rows) != height:
        raise BdfError(
            f"line {line_number}: glyph {glyph.name} has {len(glyph.rows)} rows, BBX says {height}")
    if height and glyph.row_bits < width:
        raise BdfError(f"line {line_number}: bitmap rows of {glyph.name} are narrower than BBX")
    font.glyphs[glyph.encoding] = glyph


def check_font_fits(font):
    """Refuse fonts that the fixed-cell, one-byte-per-row layout cannot hold."""
    cell_width = font.bounding_box[0]
    if not 0 < cell_width <= MAX_CELL_WIDTH:
        raise BdfError(f"cell width {cell_width} is not 1..{MAX_CELL_WIDTH} pixels")
    if font.bounding_box[1] <= 0:
        raise BdfError("cell height must be positive")
    for code in range(FIRST_CHAR, FIRST_CHAR + CHAR_COUNT):
        glyph = font.glyphs.get(code)
        if glyph is not None and glyph.advance != cell_width:
            raise BdfError(
                f"code {code} advances {glyph.advance} pixels, not the cell width {cell_width}: "
                "the font is not monospaced")


def cell_rows(font, glyph):
    """The glyph placed in the font's cell, one byte per row, bottom row first."""
    cell_width, cell_height, cell_x, cell_y = font.bounding_box
    rows = [0] * cell_height
    if glyph is None:
        return rows
    width, height, x_offset, y_offset = glyph.bbx
    left = x_offset - cell_x
    bottom = y_offset - cell_y
    if left < 0 or bottom < 0 or left + width > cell_width or bottom + height > cell_height:
        raise BdfError(f"glyph {glyph.name} lies outside FONTBOUNDINGBOX")
    for index_from_top, value in enumerate(glyph.rows):
        pixels = value >> (glyph.row_bits - width)  # the BBX width's leading bits
        rows[bottom + height - 1 - index_from_top] = pixels << (8 - left - width)
    return rows


def describe_code(code, glyph):
    label = f"{code} '{chr(code)}'" if chr(code).isprintable() else str(code)
    return label if glyph is not None else f"{label} (blank)"


def licence_line(font):
    for key in ("COPYRIGHT", "NOTICE"):
        if font.properties.get(key):
            return f"// Its {key} property: \"{font.properties[key]}\""
    raise BdfError("the font has no COPYRIGHT or NOTICE property to record its licence")


def short_name(font):
    """Foundry-family and cell size, e.g. misc-fixed 6x13."""
    names = [font.properties.get(key, "") for key in ("FOUNDRY", "FAMILY_NAME")]
    family = "-".join(name.lower() for name in names if name)
    return f"{family} {font.bounding_box[0]}x{font.bounding_box[1]}".strip()


def generate_source(font):
    check_font_fits(font)
    cell_width, cell_height, _, cell_y = font.bounding_box
    codes = range(FIRST_CHAR, FIRST_CHAR + CHAR_COUNT)
    missing = [str(code) for code in codes if code not in font.glyphs]
    mismatch = '"fixed_font.h does not match the generated font"'
    lines = [
        "// Generated by tools/convert_bdf_font.py; do not edit.",
        "//",
        f"// Font: {short_name(font)}, {font.name}",
        licence_line(font),
        "// Codes without a glyph, left blank: " + (", ".join(missing) or "none") + ".",
        "//",
        "// To regenerate, from the repository root:",
        *(f"//   {command}" for command in REGENERATE_COMMANDS),
        "//",
        "// Each entry lists the rows of one glyph cell, bottom row first; bit 7 is the leftmost",
        "// pixel.",
        "",
        '#include "shell/platform/fixed_font.h"',
        "",
        f"static_assert(kFontFirstChar == {FIRST_CHAR}, {mismatch});",
        f"static_assert(kFontCharCount == {CHAR_COUNT}, {mismatch});",
        f"static_assert(kFontCellWidth == {cell_width}, {mismatch});",
        f"static_assert(kFontCellHeight == {cell_height}, {mismatch});",
        f"static_assert(kFontDescent == {-cell_y}, {mismatch});",
        "",
        "const unsigned char FixedFontBitmaps[kFontCharCount][kFontCellHeight] = {",
    ]
    for code in codes:
        glyph = font.glyphs.get(code)
        row_text = ", ".join(f"0x{row:02x}" for row in cell_rows(font, glyph))
        lines.append(f"    {{{row_text}}},  // {describe_code(code, glyph)}")
    lines.append("};")
    return "\n".join(lines) + "\n"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bdf", type=Path, help="the BDF font file to read")
    parser.add_argument(
        "-o", "--output", type=Path, default=DEFAULT_OUTPUT,
        help="the C++ file to write (default: shell/platform/fixed_font.cpp of this repository)")
    return parser, parser.parse_args(argv)


def main(argv=None):
    parser, args = parse_arguments(argv)
    try:
        with open(args.bdf, encoding="latin-1") as bdf_file:
            source = generate_source(parse_bdf(bdf_file))
    except OSError as error:
        parser.error(f"cannot read {args.bdf}: {error.strerror}")
    except BdfError as error:
        parser.error(f"{args.bdf}: {error}")
    try:
        args.output.write_text(source, encoding="ascii", errors="backslashreplace")
    except OSError as error:
        parser.error(f"cannot write {args.output}: {error.strerror}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
