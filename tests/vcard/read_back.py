"""Reads one .vcf file with an independent vCard parser and prints the names, the note and
the addresses it read, one a line: read_back.py vobject|eds FILE.

vobject is python3-vobject; eds is the Evolution Data Server's contact library
(gir1.2-ebookcontacts-1.2), the parser GNOME's address book imports with.
"""
import sys

parser, path = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
if data.startswith(b"\xef\xbb\xbf"):
    data = data[3:]
text = data.decode("utf-8")


def out(key, value):
    value = value or ""
    sys.stdout.write(key + "=" + value.replace("\r", "\\r").replace("\n", "\\n") + "\n")


if parser == "vobject":
    import vobject

    card = vobject.readOne(text)
    out("family", card.n.value.family)
    out("given", card.n.value.given)
    out("full", card.fn.value)
    out("note", card.note.value)
    for adr in card.contents.get("adr", []):
        a = adr.value
        out("adr." + adr.singletonparams[0].lower(), "|".join([a.street, a.city, a.region, a.code, a.country]))
else:
    import gi

    gi.require_version("EBookContacts", "1.2")
    from gi.repository import EBookContacts

    contact = EBookContacts.Contact.new_from_vcard(text)
    name = contact.get_property("name")
    out("family", name.family)
    out("given", name.given)
    out("full", contact.get_property("full-name"))
    out("note", contact.get_property("note"))
    for kind in ("work", "home"):
        a = contact.get_property("address-" + kind)
        if a:
            out("adr." + kind, "|".join([a.street, a.locality, a.region, a.code, a.country]))
