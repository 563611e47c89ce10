"""Parses one .vcf file with python3-vobject and prints what it read, one property a line.

Used by the round-trip test: an independent vCard parser must read back what we wrote.
vobject refuses a byte-order mark, so a leading UTF-8 BOM is dropped first.
"""
import sys

import vobject

data = open(sys.argv[1], "rb").read()
if data.startswith(b"\xef\xbb\xbf"):
    data = data[3:]
card = vobject.readOne(data.decode("utf-8"))


def out(key, value):
    sys.stdout.write(key + "=" + value.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n") + "\n")


n = card.n.value
out("N.family", n.family)
out("N.given", n.given)
out("N.additional", n.additional)
out("N.prefix", n.prefix)
out("FN", card.fn.value)
for tel in card.contents.get("tel", []):
    out("TEL;" + ";".join(tel.singletonparams), tel.value)
out("EMAIL", card.email.value)
for url in card.contents.get("url", []):
    out("URL;" + ";".join(url.singletonparams), url.value)
for adr in card.contents.get("adr", []):
    a = adr.value
    out("ADR;" + ";".join(adr.singletonparams), "|".join([a.street, a.city, a.region, a.code, a.country]))
out("BDAY", card.bday.value)
out("NOTE", card.note.value)
