#!/usr/bin/python3
"""The reference for the export benchmark: the same job done the plain way with openpyxl.

openpyxl_export.py WORKBOOK OUTDIR ROWS [one-file]
Reads the benchmark's contacts workbook (bench/xlsx/contacts_workbook.h: headings in row 1,
contacts in A2:L<ROWS + 1>) in read-only mode and writes one UTF-8 vCard 2.1 file per row,
with the lines and file names the export writes; with "one-file", vCard 3.0 cards (escaped,
folded at 75 octets) into one file, UTF8_<workbook name>.vcf, as the export's one-file mode. Prints the seconds it took, from opening
the workbook to the last file closed.
"""
import datetime
import os
import sys
import time

import openpyxl


def qp(text):
    out = []
    for b in text.encode("utf-8"):
        if b in (0x0A, 0x0D, 0x3D) or b > 0x7E:
            out.append("=%02X" % b)
        else:
            out.append(chr(b))
    return "".join(out)


def line(name, value):
    if "\n" in value or "\r" in value:
        return "%s;ENCODING=QUOTED-PRINTABLE:%s\r\n" % (name, qp(value))
    return "%s:%s\r\n" % (name, value)


def escape(text):
    return (text.replace("\\", "\\\\").replace(",", "\\,").replace(";", "\\;").replace("\r\n", "\\n")
            .replace("\n", "\\n").replace("\r", "\\n"))


def fold(text):
    data = text.encode("utf-8")
    if len(data) <= 75:
        return data + b"\r\n"
    out, at, room = [], 0, 75
    while at < len(data):
        end = min(len(data), at + room)
        while end < len(data) and end > at + 1 and (data[end] & 0xC0) == 0x80:
            end -= 1
        out.append(data[at:end])
        at, room = end, 74
    return b"\r\n ".join(out) + b"\r\n"


def contacts(sheet, rows, date_form):
    """Each row's twelve values as the sheet shows them: phone and zip through their formats,
    the birthday in `date_form`."""
    for values in sheet.iter_rows(min_row=2, max_row=rows + 1, max_col=12, values_only=True):
        first, last, email, voice, cell, street, city, zipcode, country, birthday, title, notes = (
            "" if v is None else v for v in values)
        phone = "%010d" % int(voice) if voice != "" else ""
        phone = "(%s) %s-%s" % (phone[0:3], phone[3:6], phone[6:10]) if phone else ""
        zipcode = "%05d" % int(zipcode) if zipcode != "" else ""
        if isinstance(birthday, datetime.datetime):
            birthday = birthday.strftime(date_form)
        yield first, last, email, phone, cell, street, city, zipcode, country, birthday, title, notes


def one_file(sheet, workbook, outdir, rows):
    rev = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    name = os.path.splitext(os.path.basename(workbook))[0]
    with open(os.path.join(outdir, "UTF8_" + name + ".vcf"), "wb") as f:
        for values in contacts(sheet, rows, "%Y-%m-%d"):
            first, last, email, phone, cell, street, city, zipcode, country, birthday, title, notes = values
            e = [escape(str(v)) for v in (first, last, email, phone, cell, street, city, zipcode, country, title,
                                          notes)]
            lines = ["BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Marrowind//Cardwright//EN",
                     "N:%s;%s;;%s;" % (e[1], e[0], e[9]), "FN:" + " ".join(p for p in (e[0], e[1]) if p),
                     "TEL;TYPE=HOME,VOICE:" + e[3], "TEL;TYPE=CELL:" + e[4], "EMAIL;TYPE=INTERNET:" + e[2],
                     "NOTE:" + e[10], "ADR;TYPE=HOME:;;%s;%s;;%s;%s" % (e[5], e[6], e[7], e[8]),
                     "BDAY:" + str(birthday), "REV:" + rev, "END:VCARD"]
            f.write(b"".join(fold(line) for line in lines))


def main():
    workbook, outdir, rows = sys.argv[1], sys.argv[2], int(sys.argv[3])
    if len(sys.argv) > 4 and sys.argv[4] == "one-file":
        start = time.monotonic()
        book = openpyxl.load_workbook(workbook, read_only=True, data_only=True)
        one_file(book.worksheets[0], workbook, outdir, rows)
        book.close()
        print("%.6f" % (time.monotonic() - start))
        return
    start = time.monotonic()
    book = openpyxl.load_workbook(workbook, read_only=True, data_only=True)
    sheet = book.worksheets[0]
    rev = datetime.datetime.now().strftime("%Y%m%dT%H%M%S")
    n = 0
    for values in contacts(sheet, rows, "%Y%m%d"):
        n += 1
        first, last, email, phone, cell, street, city, zipcode, country, birthday, title, notes = values
        record = ("BEGIN:VCARD\r\nVERSION:2.1\r\n" + line("N", "%s;%s;;%s" % (last, first, title)) +
                  line("FN", "%s  %s" % (first, last)) + line("TEL;HOME;VOICE", phone) + line("TEL;CELL", cell) +
                  line("EMAIL;INTERNET;PREF", email) + line("NOTE", notes) +
                  line("ADR;HOME", ";;%s;%s;;%s;%s" % (street, city, zipcode, country)) +
                  line("BDAY", str(birthday)) + "REV:%s\r\nEND:VCARD" % rev)
        name = "UTF8_%s %s_Row%d" % (first.strip(), last.strip(), n) if (first + last).strip() else "UTF8_Row%d" % n
        for bad in "/\\*:?<>|":
            name = name.replace(bad, " ")
        with open(os.path.join(outdir, name + ".vcf"), "wb") as f:
            f.write(b"\xef\xbb\xbf" + record.encode("utf-8") + b"\r\n")
    book.close()
    print("%.6f" % (time.monotonic() - start))


if __name__ == "__main__":
    main()
