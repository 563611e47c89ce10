#!/usr/bin/env python3
"""Writes small crafted .xlsx files into a folder, to time the reader on them by hand:
    python3 bench/xlsx/make_hostile_xlsx.py /dev/shm/hostile
    /usr/bin/time -v build/tools/sheetdump/sheetdump /dev/shm/hostile/<file>.xlsx
Each must end within 2 seconds and 256 MB, read or refused with a clear message.
  one_part_many_sheets.xlsx  150 sheet entries naming one worksheet part (11 KB)
  long_strings.xlsx          60 sheet entries naming one part of 30 inline strings of 32,000 characters (2.6 KB)
  long_strings_parts.xlsx    40 sheet parts of such strings, each under the per-part ratio floor (57 KB)
  comment.xlsx               a 60 MB comment with a ">" every 300 bytes (260 KB)
  long_comments_under_cap.xlsx  15 comments of 3.9 MiB of random letters, each under the item cap (39 MB)
"""
import os
import random
import string
import sys
import zipfile

NS = 'http://schemas.openxmlformats.org/'
REL = NS + 'officeDocument/2006/relationships/'


def package(path, sheet_xml, sheets, distinct_parts=False):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr('[Content_Types].xml', '<Types xmlns="%spackage/2006/content-types"/>' % NS)
        z.writestr('_rels/.rels', '<Relationships><Relationship Id="rId1" Type="%sofficeDocument" '
                   'Target="xl/workbook.xml"/></Relationships>' % REL)
        entries = ''.join('<sheet name="S%d" sheetId="%d" r:id="%s"/>' % (i, i + 1, 'rS%d' % i if distinct_parts else 'rId1')
                          for i in range(sheets))
        z.writestr('xl/workbook.xml', '<workbook xmlns:r="%sofficeDocument/2006/relationships"><sheets>%s</sheets>'
                   '</workbook>' % (NS, entries))
        rels = '<Relationship Id="rId1" Type="%sworksheet" Target="worksheets/sheet1.xml"/>' % REL
        if distinct_parts:
            rels += ''.join('<Relationship Id="rS%d" Type="%sworksheet" Target="worksheets/s%d.xml"/>' % (i, REL, i)
                            for i in range(sheets))
            for i in range(sheets):
                z.writestr('xl/worksheets/s%d.xml' % i, sheet_xml)
        z.writestr('xl/_rels/workbook.xml.rels', '<Relationships>%s</Relationships>' % rels)
        z.writestr('xl/worksheets/sheet1.xml', sheet_xml)


def worksheet(data):
    return '<worksheet><sheetData>%s</sheetData></worksheet>' % data


def main(folder):
    os.makedirs(folder, exist_ok=True)
    at = lambda name: os.path.join(folder, name)
    rows = ''.join('<row r="%d">%s</row>' % (r + 1, ''.join('<c r="%s%d"><v>%d</v></c>' % (chr(65 + c), r + 1, r * c)
                                                          for c in range(10))) for r in range(200))
    package(at('one_part_many_sheets.xlsx'), worksheet(rows), 150)
    strings = '<row>%s</row>' % ''.join('<c r="A%d" t="inlineStr"><is><t>%s</t></is></c>' % (i + 1, 'x' * 32000)
                                        for i in range(30))
    package(at('long_strings.xlsx'), worksheet(strings), 60)
    package(at('long_strings_parts.xlsx'), worksheet(strings), 40, distinct_parts=True)
    package(at('comment.xlsx'), worksheet('<row r="1"><c r="A1"><v>1</v></c></row><!--%s-->' %
                                          (('y' * 300 + '>') * 200000)), 1)
    random.seed(1)

    def comment(size):
        return '<!--%s-->' % ''.join(''.join(random.choices(string.ascii_lowercase, k=300)) + '>'
                                     for _ in range(size // 301 + 1))
    package(at('long_comments_under_cap.xlsx'),
            worksheet(''.join('<row r="%d"><c r="A%d"><v>%d</v></c></row>%s' % (i + 1, i + 1, i, comment(int(3.9 * 2**20)))
                              for i in range(15))), 1)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else '.')
