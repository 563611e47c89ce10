#!/usr/bin/python3
# Writes a contacts workbook for the .xls reading benchmark with Debian's python3-xlwt:
#   /usr/bin/python3 make_contacts_xls.py OUT.xls [ROWS]
# 12 columns per row: names, company, title, phones (text and number), e-mail, street,
# city, postcode (number), birthday (date), notes. Strings repeat as in a real contact
# list (first names, cities) or are unique (e-mail, street), so the SST is large.
import datetime
import sys
import xlwt

FIRST = ["John", "Maria", "Wei", "Olga", "Ahmed", "Zoë", "Łukasz", "Иван", "Sofia", "Kenji", "Ana", "Pierre"]
LAST = ["Smith", "Garcia", "Chen", "Petrova", "Haddad", "Müller", "Nowak", "Ivanov", "Rossi", "Tanaka"]
CITY = ["Berlin", "Madrid", "Shanghai", "Kraków", "Москва", "Paris", "Osaka", "Lisbon", "Chicago"]
TITLE = ["Engineer", "Manager", "Director", "Sales", "Support", "Intern"]

out = sys.argv[1]
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 60000
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Contacts")
date_style = xlwt.easyxf(num_format_str="YYYY-MM-DD")
for r in range(rows):
    first = FIRST[r % len(FIRST)]
    last = LAST[(r // 3) % len(LAST)]
    row = sheet.row(r)
    row.write(0, first)
    row.write(1, last)
    row.write(2, "Company %d" % (r % 500))
    row.write(3, TITLE[r % len(TITLE)])
    row.write(4, "+49 30 %07d" % r)
    row.write(5, 4915100000000 + r)
    row.write(6, "%s.%s%d@example.com" % (first.lower(), last.lower(), r))
    row.write(7, "%d Long Street" % r)
    row.write(8, CITY[r % len(CITY)])
    row.write(9, 10000 + r % 90000)
    row.write(10, datetime.date(1950 + r % 50, 1 + r % 12, 1 + r % 28), date_style)
    row.write(11, "note %d" % r if r % 4 == 0 else "")
    if r % 1000 == 999:
        sheet.flush_row_data()
book.save(out)
