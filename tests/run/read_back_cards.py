"""Reads every card of one .vcf file with an independent vCard parser and prints, card by
card, each property as the parser understood it: read_back_cards.py vobject|eds FILE.

One line per property, "NAME;type,type=component|component|...", the types in lower case
and sorted; backslash, CR and LF in values written \\\\, \\r and \\n. VERSION, PRODID, REV and
UID are left out (the test checks them apart). "#card" opens each card. ORG and CATEGORIES
show their parts as the components; an embedded PHOTO shows its image type and the SHA-1 of
the image's bytes as the parser decoded them ("PHOTO;jpeg=<sha1>"), a linked one its address.
For eds, the anniversary is the one the contact holds ("ANNIVERSARY=2005-06-20", where the
first of its forms stands; Evolution reads X-EVOLUTION-ANNIVERSARY only), not its lines.

vobject is python3-vobject; eds is the Evolution Data Server's contact library
(gir1.2-ebookcontacts-1.2), the parser GNOME's address book imports with.
"""
import base64
import hashlib
import sys

SKIPPED = {"VERSION", "PRODID", "REV", "UID"}
ANNIVERSARIES = {"ANNIVERSARY", "X-ANNIVERSARY", "X-EVOLUTION-ANNIVERSARY"}


def show(text):
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")


def line(name, types, components):
    kinds = ",".join(sorted(t.lower() for t in types))
    head = name.upper() + (";" + kinds if kinds else "")
    return head + "=" + "|".join(show(c) for c in components)


def photo(types, value):
    """The PHOTO line's type and digest from its decoded bytes, base64 text or data: URI."""
    if isinstance(value, str) and value.startswith("data:"):
        if "," in value:  # else the parser cut the address short: shown as it is
            head, _, data = value.partition(",")
            types = [head[len("data:image/"):].split(";")[0]]
            value = base64.b64decode(data)
    elif isinstance(value, str) and not value.startswith(("http://", "https://")):
        value = base64.b64decode(value)
    if isinstance(value, bytes):
        return line("PHOTO", types, [hashlib.sha1(value).hexdigest()])
    return line("PHOTO", types, [value])


def vobject_cards(text):
    import vobject

    for card in vobject.readComponents(text):
        out = ["#card"]
        for child in card.getChildren():
            name = child.name.upper()
            if name in SKIPPED:
                continue
            types = []
            for t in child.params.get("TYPE", []):
                types.extend(t.split(","))
            value = child.value
            if name == "N":
                parts = [value.family, value.given, value.additional, value.prefix, value.suffix]
            elif name == "ADR":
                parts = [value.box, value.extended, value.street, value.city, value.region, value.code, value.country]
            elif name in ("ORG", "CATEGORIES"):
                parts = value
            elif name == "PHOTO":
                out.append(photo(types, value))
                continue
            else:
                parts = [value]
            parts = [" ".join(p) if isinstance(p, list) else p for p in parts]
            out.append(line(name, types, parts))
        yield out


def eds_cards(text):
    import gi

    gi.require_version("EBookContacts", "1.2")
    from gi.repository import EBookContacts

    # The importer's way: the file is cut into cards at each BEGIN:VCARD.
    chunks = text.split("BEGIN:VCARD")[1:]
    for chunk in chunks:
        contact = EBookContacts.Contact.new_from_vcard("BEGIN:VCARD" + chunk)
        out = ["#card"]
        anniversary_shown = False
        for attr in EBookContacts.VCard.get_attributes(contact):
            name = attr.get_name().upper()
            if name in SKIPPED:
                continue
            if name in ANNIVERSARIES:
                date = contact.get_property("anniversary")
                if date and not anniversary_shown:
                    out.append("ANNIVERSARY=%04d-%02d-%02d" % (date.year, date.month, date.day))
                anniversary_shown = True
                continue
            types = []
            for t in attr.get_param("TYPE") or []:
                types.extend(t.split(","))
            if name == "PHOTO":
                out.append(photo(types, ",".join(attr.get_values())))
                continue
            out.append(line(name, types, attr.get_values()))
        yield out


parser, path = sys.argv[1], sys.argv[2]
data = open(path, "rb").read()
text = data.decode("utf-8")
for card in (vobject_cards if parser == "vobject" else eds_cards)(text):
    sys.stdout.write("\n".join(card) + "\n")
