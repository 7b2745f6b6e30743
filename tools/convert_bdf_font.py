#!/usr/bin/env python3
"""Convert a monospaced BDF bitmap font into shell/text/fixed_font_WxH.cpp.

Writes the glyphs of character codes 32..127 of a font with W x H cells as
the FixedFont object FixedFontWxH declared in shell/text/fixed_font.h:
each pixel row in (W + 7) / 8 bytes, bit 7 of the first byte the leftmost
pixel, row 0 the bottom row of the cell, every glyph padded to the font's
full bounding box (FONTBOUNDINGBOX) according to its own BBX offsets. That
is the layout glBitmap reads with an unpack alignment of 1.

The font must be monospaced with cells at most 32 pixels wide. Codes the
font has no glyph for are left blank and named in the generated file.

Regenerating the embedded fonts (needs the Debian packages xfonts-base and
pcf2bdf), from the repository root: X11 misc-fixed 6x13 (public domain)

    pcf2bdf -o /tmp/6x13.bdf /usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz
    python3 tools/convert_bdf_font.py /tmp/6x13.bdf

and Sony's Fixed 12x24, twice its size for screens of twice the density
(Sony's notice is in packaging/copyright)

    pcf2bdf -o /tmp/12x24.bdf /usr/share/fonts/X11/misc/12x24.pcf.gz
    python3 tools/convert_bdf_font.py /tmp/12x24.bdf

Uses the Python standard library only.
"""

import argparse
import sys
from pathlib import Path

FIRST_CHAR = 32
CHAR_COUNT = 96
MAX_CELL_WIDTH = 32
LINE_LIMIT = 100  # the repository's column limit

# The X11 font file each embedded font is made from, by cell size.
SOURCE_FONTS = {
    (6, 13): "/usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz",
    (12, 24): "/usr/share/fonts/X11/misc/12x24.pcf.gz",
}

TEXT_DIR = Path(__file__).resolve().parent.parent / "shell" / "text"


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
    """Refuse fonts that the fixed-cell layout cannot hold."""
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


def bytes_per_row(font):
    return (font.bounding_box[0] + 7) // 8


def cell_rows(font, glyph):
    """The glyph placed in the font's cell, one int of bytes_per_row bytes per row,
    bottom row first, the leftmost pixel in the top bit."""
    cell_width, cell_height, cell_x, cell_y = font.bounding_box
    row_width = 8 * bytes_per_row(font)
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
        rows[bottom + height - 1 - index_from_top] = pixels << (row_width - left - width)
    return rows


def cell_bytes(font, glyph):
    """The glyph's rows as bytes, bottom row first, each row's bytes left to right."""
    count = bytes_per_row(font)
    return [(row >> (8 * (count - 1 - index))) & 0xFF
            for row in cell_rows(font, glyph) for index in range(count)]


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


def object_name(font):
    return f"FixedFont{font.bounding_box[0]}x{font.bounding_box[1]}"


def default_output(font):
    return TEXT_DIR / f"fixed_font_{font.bounding_box[0]}x{font.bounding_box[1]}.cpp"


def regenerate_commands(font):
    size = f"{font.bounding_box[0]}x{font.bounding_box[1]}"
    source = SOURCE_FONTS.get(tuple(font.bounding_box[:2]), f"<the {size} PCF font>")
    return (f"pcf2bdf -o /tmp/{size}.bdf {source}",
            f"python3 tools/convert_bdf_font.py /tmp/{size}.bdf")


def glyph_entry(values, label):
    """One glyph's initializer: on one line where it fits, else wrapped under its label."""
    one_line = f"    {{{', '.join(values)}}},  // {label}"
    if len(one_line) <= LINE_LIMIT:
        return [one_line]
    per_line = 12
    chunks = [", ".join(values[i:i + per_line]) for i in range(0, len(values), per_line)]
    body = [f"     {chunk}," for chunk in chunks]
    body[0] = "    {" + body[0][5:]
    body[-1] = body[-1][:-1] + "},"
    return [f"    // {label}", *body]


def generate_source(font):
    check_font_fits(font)
    cell_width, cell_height, _, cell_y = font.bounding_box
    row_bytes = bytes_per_row(font)
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
        *(f"//   {command}" for command in regenerate_commands(font)),
        "//",
        f"// Each entry lists the rows of one glyph cell, bottom row first, {row_bytes} "
        + ("byte" if row_bytes == 1 else "bytes") + " a row;",
        "// bit 7 of a row's first byte is the leftmost pixel.",
        "",
        '#include "shell/text/fixed_font.h"',
        "",
        f"static_assert(kFontFirstChar == {FIRST_CHAR}, {mismatch});",
        f"static_assert(kFontCharCount == {CHAR_COUNT}, {mismatch});",
        "",
        "namespace {",
        "",
        f"const unsigned char kBitmaps[kFontCharCount][{cell_height * row_bytes}] = {{",
    ]
    for code in codes:
        glyph = font.glyphs.get(code)
        values = [f"0x{value:02x}" for value in cell_bytes(font, glyph)]
        lines.extend(glyph_entry(values, describe_code(code, glyph)))
    lines += [
        "};",
        "",
        "}  // namespace",
        "",
        f"const FixedFont {object_name(font)} = {{{cell_width}, {cell_height}, {-cell_y}, "
        "&kBitmaps[0][0]};",
    ]
    return "\n".join(lines) + "\n"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bdf", type=Path, help="the BDF font file to read")
    parser.add_argument(
        "-o", "--output", type=Path,
        help="the C++ file to write (default: shell/text/fixed_font_WxH.cpp of this "
             "repository, W x H the font's cell)")
    return parser, parser.parse_args(argv)


def main(argv=None):
    parser, args = parse_arguments(argv)
    try:
        with open(args.bdf, encoding="latin-1") as bdf_file:
            font = parse_bdf(bdf_file)
        source = generate_source(font)
    except OSError as error:
        parser.error(f"cannot read {args.bdf}: {error.strerror}")
    except BdfError as error:
        parser.error(f"{args.bdf}: {error}")
    output = args.output or default_output(font)
    try:
        output.write_text(source, encoding="ascii", errors="backslashreplace")
    except OSError as error:
        parser.error(f"cannot write {output}: {error.strerror}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
