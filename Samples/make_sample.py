#!/usr/bin/python3
# Writes Samples/sample.xls, the program's sample workbook: three contacts' first and
# last names in A1:B3 of its one sheet. Run once with Debian's python3-xlwt:
#   /usr/bin/python3 Samples/make_sample.py
import os
import xlwt

CONTACTS = [("John", "Smith"), ("Maria", "Garcia"), ("Wei", "Chen")]

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Contacts")
for row, (first, last) in enumerate(CONTACTS):
    sheet.write(row, 0, first)
    sheet.write(row, 1, last)
book.save(os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample.xls"))
