#!/usr/bin/python3
"""Writes the small workbooks the reader's tests open. Run it (Debian's python3 with
python3-openpyxl) only to change them; the files it writes are committed beside it."""
import datetime
import io
import os
import zipfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


def openpyxl_book():
    """Two sheets from openpyxl: numbers, inline strings, booleans, errors, dates, gaps."""
    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "Notes"
    first.append(["Note"])
    first.append(["only words here"])
    data = wb.create_sheet("Data Set")
    data.append(["Num", "Word", "Flag", "Err", "Date", "Gap"])
    data.append([0.1, "alpha", True, "#N/A", datetime.date(2020, 1, 2), None])
    data.append([-2.5e-300, "", False, "#DIV/0!", None, 7])
    data.append([123456789012345678, "12", None, "#VALUE!", None, None])
    data.append([None, None, None, None, None, None])
    data.append([1.5e308, "beta", True, None, None, -0.0])
    wb.save(path("openpyxl.xlsx"))


CT = """<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/></Types>"""

ROOT_RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="book/main.xml"/>
</Relationships>"""

# Element names carry a prefix, as some writers do; the sheet lives in another folder.
WORKBOOK = """<?xml version="1.0" encoding="UTF-8"?>
<x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<x:sheets><x:sheet name="Hidden" sheetId="3" state="hidden" r:id="rId3"/>
<x:sheet name="Chart" sheetId="4" r:id="rId4"/>
<x:sheet name="Hand" sheetId="1" r:id="rId1"/></x:sheets></x:workbook>"""

WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="../sheets/hand.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="../sheets/hidden.xml"/>
<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet" Target="../sheets/chart.xml"/>
</Relationships>"""

STRINGS = """<?xml version="1.0" encoding="UTF-8"?>
<x:sst xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<x:si><x:t>Name</x:t></x:si>
<x:si><x:r><x:rPr><x:b/></x:rPr><x:t>ri</x:t></x:r><x:r><x:t xml:space="preserve">ch </x:t></x:r><x:r><x:t>text</x:t></x:r><x:rPh sb="0" eb="1"><x:t>IGNORED</x:t></x:rPh></x:si>
<x:si><x:t>A &amp; B</x:t></x:si>
</x:sst>"""

# Missing r attributes (cells follow the one before, rows the row before), a formula with its
# cached value, a formula text result, a number with blanks around it, a row out of order, the
# largest double and the smallest subnormal one.
HAND = """<?xml version="1.0" encoding="UTF-8"?>
<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<x:dimension ref="A1:C6"/><x:sheetData>
<x:row r="1"><x:c t="s"><x:v>0</x:v></x:c><x:c t="inlineStr"><x:is><x:t>Value</x:t></x:is></x:c><x:c r="C1" t="s"><x:v>2</x:v></x:c></x:row>
<x:row><x:c t="s"><x:v>1</x:v></x:c><x:c><x:f>1+1</x:f><x:v>2</x:v></x:c><x:c t="str"><x:f>"x"</x:f><x:v>x</x:v></x:c></x:row>
<x:row r="5"><x:c r="C5"><x:v> 3.25 </x:v></x:c></x:row>
<x:row r="4"><x:c r="B4" t="inlineStr"><x:is><x:r><x:t>in</x:t></x:r><x:r><x:t>line</x:t></x:r></x:is></x:c></x:row>
<x:row r="6"><x:c><x:v>1.7976931348623157E+308</x:v></x:c><x:c><x:v>4.9406564584124654E-324</x:v></x:c></x:row>
<x:row r="9"><x:c r="A9" s="3"/><x:c r="XFD1048576" s="2"/></x:row>
</x:sheetData></x:worksheet>"""

HIDDEN = """<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>secret</t></is></c></row></sheetData></worksheet>"""


def hand_book(name, sheet_xml, strings=STRINGS):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        parts = [("[Content_Types].xml", CT), ("_rels/.rels", ROOT_RELS),
                 ("book/main.xml", WORKBOOK), ("book/_rels/main.xml.rels", WORKBOOK_RELS),
                 ("book/strings.xml", strings), ("sheets/hand.xml", sheet_xml),
                 ("sheets/hidden.xml", HIDDEN), ("sheets/chart.xml", "<chartsheet/>")]
        for part, text in parts:  # a fixed date keeps the files the same from run to run
            z.writestr(zipfile.ZipInfo(part, (2024, 1, 1, 0, 0, 0)), text, zipfile.ZIP_DEFLATED)
    with open(path(name), "wb") as f:
        f.write(buf.getvalue())
    return buf.getvalue()


def one_cell_sheet(cells):
    return ('<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            '<sheetData>' + cells + '</sheetData></worksheet>')


def broken_books(good):
    with open(path("not_a_zip.xlsx"), "w") as f:
        f.write("Name,Value\nx,1\n")
    # An encrypted workbook is a compound document, not a zip.
    with open(path("encrypted.xlsx"), "wb") as f:
        f.write(bytes.fromhex("D0CF11E0A1B11AE1") + bytes(504))
    with open(path("truncated.xlsx"), "wb") as f:
        f.write(good[: len(good) // 2])
    # One flipped byte inside the compressed sheet: the checksum no longer matches.
    damaged = bytearray(good)
    at = good.find(b"sheets/hand.xml") + len("sheets/hand.xml") + 40
    damaged[at] ^= 0x55
    with open(path("damaged.xlsx"), "wb") as f:
        f.write(bytes(damaged))
    hand_book("far_cell.xlsx", one_cell_sheet(
        '<row r="1"><c r="A1"><v>1</v></c></row>'
        '<row r="1048576"><c r="XFD1048576"><v>1</v></c></row>'))
    hand_book("too_many_rows.xlsx", one_cell_sheet(
        '<row r="1"><c r="A1" t="inlineStr"><is><t>N</t></is></c></row>'
        '<row r="40000"><c r="A40000"><v>1</v></c></row>'))
    # Named columns A to ZZ and one value at the foot: the grid would be mostly empty.
    names = "".join('<c t="inlineStr"><is><t>c%d</t></is></c>' % k for k in range(702))
    hand_book("sparse.xlsx", one_cell_sheet(
        '<row r="1">' + names + '</row><row r="3000"><c r="A3000"><v>1</v></c></row>'))
    # Forty thousand shared strings: a parsed tree of megabytes from a few kilobytes.
    hand_book("many_strings.xlsx", HAND, STRINGS.replace(
        "</x:sst>", "<x:si><x:t>s</x:t></x:si>" * 40000 + "</x:sst>"))
    # Two megabytes of blanks that compress to a few kilobytes.
    hand_book("bomb.xlsx", one_cell_sheet(" " * (2 << 20)))


if __name__ == "__main__":
    openpyxl_book()
    good = hand_book("hand.xlsx", HAND)
    broken_books(good)
