"""What each address book's parser makes of every field kind: the survey behind the README's
table of address books.

    address_book_survey.py VCFEXPORT KCONTACTS_READER FOLDER [ROWS] [ANDROID_CLASSES]

Writes FOLDER/survey.xlsx (openpyxl): ROWS rows (10,000 by default) of every field kind, with
accents, CJK, Arabic and emoji, "," ";" ":" "\\" and line breaks, two Cellular and two Email
columns, birthdays as date cells and as text, anniversaries as date cells, photos as files
and as addresses, and an empty row every thousand. It exports the block with vcfexport as
vCard 3.0 and 4.0 in one file, reads the files back with python3-vobject, Evolution Data
Server's contact model (what Evolution and GNOME Contacts show), KContacts and, given the
classes build_android_reader.sh makes, Android's parser read as Android's contact importer
(VCardEntry) takes each property, and prints, per
version, parser and field kind, how many of the rows that hold the kind arrive with the value
and type they were written from ("kind: arrived/held").
"""
import base64
import datetime
import hashlib
import os
import random
import subprocess
import sys

KINDS = ["Title", "First Name", "Last Name", "Middle Initial", "Birthday", "Email", "Website Home", "Website Work",
         "Home Address", "Home City", "Home Region", "Home Zip", "Home Country", "Work Address", "Work City",
         "Work Region", "Work Zip", "Work Country", "Home Voice", "Home Fax", "Work Voice", "Work Fax", "Cellular",
         "Pager", "Notes", "Organization", "Department", "Job Title", "Nickname", "Anniversary", "Categories",
         "Email Home", "Email Work", "Email Other", "Other Phone", "Photo", "Cellular", "Email"]
WORDS = ["Ann", "José", "Zoë", "Łukasz", "Øyvind", "山田", "김민준", "محمد", "Ιωάννης", "Дмитрий", "😀 Joy",
         "O'Neil", "Smith, Jr.", "a;b", "c:d", "back\\slash"]
PHONE_TYPES = {"Home Voice": {"home", "voice"}, "Work Voice": {"work", "voice"}, "Cellular": {"cell"},
               "Home Fax": {"home", "fax"}, "Work Fax": {"work", "fax"}, "Pager": {"pager"},
               "Other Phone": {"voice"}}
ADDRESS = ["Address", "City", "Region", "Zip", "Country"]


def make_rows(count, folder):
    rnd = random.Random(26)
    jpeg = base64.b64decode(  # a 1x1 JPEG
        "/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAP//////////////////////////////////////////////////////////////"
        "////////////////////////////wgALCAABAAEBAREA/8QAFBABAAAAAAAAAAAAAAAAAAAAAP/aAAgBAQABPxA=")
    with open(os.path.join(folder, "face.jpg"), "wb") as f:
        f.write(jpeg)
    rows = []
    for r in range(count):
        if r % 1000 == 999:
            rows.append([None] * len(KINDS))
            continue
        w = lambda: rnd.choice(WORDS)
        row = {}
        row["Title"] = rnd.choice(["Dr.", "", "Mme"])
        row["First Name"] = w()
        row["Last Name"] = w() + " " + str(r)
        row["Middle Initial"] = rnd.choice(["Q", "", "É"])
        row["Birthday"] = (datetime.datetime(1950 + r % 50, 1 + r % 12, 1 + r % 28) if r % 2 else
                           "%d/%d/%d" % (1 + r % 12, 1 + r % 28, 1950 + r % 50))
        row["Email"] = "p%d@example.com" % r
        row["Website Home"] = rnd.choice(["https://home.example/%d" % r, "http://a.example/x;y,z%d" % r,
                                          "https://ü.example/é%d" % r])
        row["Website Work"] = "https://work.example/%d" % r if r % 3 == 0 else ""
        for part in ADDRESS:
            row["Home " + part] = (w() + "\n2nd line" if part == "Address" and r % 7 == 0 else w()) if r % 2 else ""
            row["Work " + part] = w() if r % 5 == 0 else ""
        for phone in PHONE_TYPES:
            row[phone] = "+1 555 %04d" % (r % 10000) if rnd.random() < 0.4 else ""
        row["Cellular"] = "+49 170 %d" % r
        row["Cellular#2"] = "+49 171 %d" % r if r % 2 else ""
        row["Notes"] = rnd.choice(["a, b; c: d \\ e", "line one\nline two", "😀 " + w(), ""])
        row["Organization"] = rnd.choice(["Acme; Inc.", "Müller & Söhne", "株式会社", ""])
        row["Department"] = rnd.choice(["Sales", ""])
        row["Job Title"] = rnd.choice(["Head, Sales", "CTO", ""])
        row["Nickname"] = rnd.choice(["Annie", "", "小明"])
        row["Anniversary"] = datetime.datetime(1980 + r % 40, 1 + r % 12, 1 + r % 27) if r % 5 == 0 else None
        row["Categories"] = rnd.choice(["Family, Friends", "VIP", ""])
        row["Email Home"] = "h%d@example.com" % r if r % 2 else ""
        row["Email Work"] = "w%d@example.com" % r if r % 3 else ""
        row["Email Other"] = "o%d@example.com" % r if r % 4 == 0 else ""
        row["Photo"] = "face.jpg" if r % 50 == 0 else ("https://p.example/%d.jpg" % r if r % 53 == 0 else "")
        row["Email#2"] = "q%d@example.com" % r if r % 2 == 0 else ""
        keys = KINDS[:-2] + ["Cellular#2", "Email#2"]
        rows.append([row[k] for k in keys])
    return rows, hashlib.sha1(jpeg).hexdigest()


def write_book(path, rows):
    import openpyxl

    wb = openpyxl.Workbook()
    ws = wb.active
    for r, row in enumerate(rows, start=1):
        for c, value in enumerate(row, start=1):
            if value not in (None, ""):
                cell = ws.cell(row=r, column=c, value=value)
                if isinstance(value, datetime.datetime):
                    cell.number_format = "mm/dd/yyyy"
    wb.save(path)


def as_date(value):
    if isinstance(value, datetime.datetime):
        return value.date().isoformat()
    m, d, y = (int(x) for x in value.split("/"))
    return datetime.date(y, m, d).isoformat()


def expected(row, photo_sha):
    """Per kind, the set of (types, value) a row holds; types are frozensets of lower-case names."""
    v = dict(zip(KINDS[:-2] + ["Cellular#2", "Email#2"], row))
    e = {}
    if all(x in (None, "") for x in row):
        return None
    e["Name"] = {(frozenset(), "|".join([v["Last Name"], v["First Name"], v["Middle Initial"], v["Title"]]))}
    e["Birthday"] = {(frozenset(), as_date(v["Birthday"]))}
    # "Email Other" is an e-mail address without a type: read back, it is one of the Email kind's.
    mails = {v["Email"]} | {v[k] for k in ("Email#2", "Email Other") if v[k]}
    e["Email"] = {(frozenset(), m) for m in mails}
    for kind, t in (("Email Home", "home"), ("Email Work", "work")):
        if v[kind]:
            e[kind] = {(frozenset([t]), v[kind])}
    for kind, t in (("Website Home", "home"), ("Website Work", "work")):
        if v[kind]:
            e[kind] = {(frozenset([t]), v[kind])}
    for where in ("Home", "Work"):
        parts = [v[where + " " + p] for p in ADDRESS]
        if any(parts):
            e[where + " Address"] = {(frozenset([where.lower()]), "|".join(parts))}
    for phone, types in PHONE_TYPES.items():
        values = [v[phone]] + ([v["Cellular#2"]] if phone == "Cellular" and v["Cellular#2"] else [])
        if v[phone]:
            e[phone] = {(frozenset(types), x) for x in values}
    for kind in ("Notes", "Job Title", "Nickname"):
        if v[kind]:
            e[kind] = {(frozenset(), v[kind])}
    if v["Organization"] or v["Department"]:
        e["Organization"] = {(frozenset(), v["Organization"] + "|" + v["Department"])}
    if v["Anniversary"]:
        e["Anniversary"] = {(frozenset(), as_date(v["Anniversary"]))}
    if v["Categories"]:
        e["Categories"] = {(frozenset(), "|".join(c.strip() for c in v["Categories"].split(",")))}
    if v["Photo"]:
        e["Photo"] = {(frozenset(), photo_sha if v["Photo"] == "face.jpg" else v["Photo"])}
    return e


def same_address(value):
    """A web address as a person reads it: percent-encoding undone, an IDN host in Unicode."""
    import urllib.parse

    value = urllib.parse.unquote(value)
    scheme, sep, rest = value.partition("://")
    host, slash, path = rest.partition("/")
    if host.startswith("xn--"):
        host = host.encode().decode("idna")
    return scheme + sep + host + slash + path


def same(kind, values):
    if values is None or not kind.startswith("Website"):
        return values
    return {(t, same_address(v)) for t, v in values}


def phone_kind(types):
    for kind, t in PHONE_TYPES.items():
        if set(types) == t or (kind == "Cellular" and "cell" in types):
            return kind
    return "Other Phone" if "voice" in types else None


def email_kind(types):
    return "Email Home" if "home" in types else "Email Work" if "work" in types else "Email"


def iso(y, m, d):
    return "%04d-%02d-%02d" % (y, m, d)


def read_lines(lines):
    """Cards from the "NAME;types=value" lines that read_back_cards.py and the KContacts reader print."""
    cards, card = [], None
    for line in lines:
        if line == "#card":
            card = {}
            cards.append(card)
            continue
        if card is None or "=" not in line:
            continue
        head, value = line.split("=", 1)
        name, _, types = head.partition(";")
        card.setdefault(name, []).append((frozenset(t for t in types.split(",") if t), value))
    return cards


def unshow(text):
    return text.replace("\\n", "\n").replace("\\r", "\r").replace("\\\\", "\\")


def kcontacts_cards(reader, path):
    out = subprocess.run([reader, "--all", path], capture_output=True, text=True).stdout
    result = []
    for card in read_lines(out.splitlines()):
        got = {}
        for types, value in card.get("N", []):
            got["Name"] = {(frozenset(), "|".join(unshow(value).split("|")[:4]))}
        for key, kind in (("BDAY", "Birthday"), ("ANNIVERSARY", "Anniversary"), ("NOTE", "Notes"),
                          ("TITLE", "Job Title"), ("NICKNAME", "Nickname"), ("CATEGORIES", "Categories")):
            for types, value in card.get(key, []):
                got.setdefault(kind, set()).add((frozenset(), unshow(value)))
        for types, value in card.get("ORG", []):
            if value != "|":
                got["Organization"] = {(frozenset(), unshow(value))}
        for types, value in card.get("EMAIL", []):
            kind = email_kind(types)
            got.setdefault(kind, set()).add((frozenset(t for t in types if t != "other"), value))
        for types, value in card.get("TEL", []):
            got.setdefault(phone_kind(types), set()).add((types, value))
        for types, value in card.get("URL", []):
            got.setdefault("Website Home" if "home" in types else "Website Work", set()).add((types, value))
        for types, value in card.get("ADR", []):
            got.setdefault("Home Address" if "home" in types else "Work Address", set()).add(
                (types, "|".join(unshow(value).split("|")[2:])))
        for head in [h for h in card if h.startswith("PHOTO")]:
            for types, value in card[head]:
                got["Photo"] = {(frozenset(), value)}
        result.append(got)
    return result


def android_cards(classes, version, path):
    """As VCardEntry takes the properties: no CATEGORIES, no X-ANNIVERSARY, a web site without its
    type (every one a home page), a PHOTO only from its bytes (no link, no data: address)."""
    out = subprocess.run(["java", "-cp", classes, "AndroidReadBack", version, path], capture_output=True,
                         text=True).stdout
    result, got = [], None
    for line in out.splitlines():
        if line == "#card":
            got = {}
            result.append(got)
            continue
        head, _, value = line.partition("\t")
        name, *params = head.split(";")
        types = frozenset(t.lower() for p in params if p.upper().startswith("TYPE=") for t in p[5:].split(","))
        parts = [unshow(x) for x in value.split("|")]
        value = unshow(value)
        if name == "N":
            got["Name"] = {(frozenset(), "|".join((parts + [""] * 4)[:4]))}
        elif name == "BDAY":
            got["Birthday"] = {(frozenset(), value if "-" in value else iso(int(value[:4]), int(value[4:6]),
                                                                            int(value[6:])))}
        elif name == "ANNIVERSARY":
            got["Anniversary"] = {(frozenset(), value if "-" in value else iso(int(value[:4]), int(value[4:6]),
                                                                               int(value[6:])))}
        elif name == "EMAIL":
            got.setdefault(email_kind(types), set()).add((frozenset(types - {"internet", "pref"}), value.strip()))
        elif name == "TEL":
            got.setdefault(phone_kind(types), set()).add((types, value.strip()))
        elif name == "URL":
            got.setdefault("Website Home" if "home" in types else "Website Work", set()).add(
                (frozenset(["homepage"]), value.strip()))
        elif name == "ADR":
            got.setdefault("Home Address" if "home" in types else "Work Address", set()).add(
                (types, "|".join((parts + [""] * 7)[2:7])))
        elif name in ("NOTE", "TITLE", "NICKNAME"):
            got[{"NOTE": "Notes", "TITLE": "Job Title", "NICKNAME": "Nickname"}[name]] = {(frozenset(), value.strip())}
        elif name == "ORG":
            got["Organization"] = {(frozenset(), "|".join((parts + [""])[:2]))}
        elif name == "PHOTO" and value.startswith("bytes:"):
            got["Photo"] = {(frozenset(), value[6:])}
    return result


def vobject_cards(path):
    import vobject

    result = []
    for card in vobject.readComponents(open(path, encoding="utf-8-sig").read()):
        got = {}
        for child in card.getChildren():
            name = child.name.upper()
            types = frozenset(t.lower() for p in child.params.get("TYPE", []) for t in p.split(","))
            value = child.value
            if name == "N":
                got["Name"] = {(frozenset(), "|".join(" ".join(p) if isinstance(p, list) else p for p in
                                                      [value.family, value.given, value.additional, value.prefix]))}
            elif name == "BDAY":
                got["Birthday"] = {(frozenset(), value[:4] + "-" + value[-4:-2] + "-" + value[-2:] if "-" not in value
                                    else value)}
            elif name in ("ANNIVERSARY", "X-ANNIVERSARY"):
                got["Anniversary"] = {(frozenset(), value if "-" in value else iso(int(value[:4]), int(value[4:6]),
                                                                                  int(value[6:])))}
            elif name == "EMAIL":
                got.setdefault(email_kind(types), set()).add((frozenset(types - {"internet", "pref"}), value))
            elif name == "TEL":
                got.setdefault(phone_kind(types), set()).add((types, value))
            elif name == "URL":
                got.setdefault("Website Home" if "home" in types else "Website Work", set()).add((types, value))
            elif name == "ADR":
                got.setdefault("Home Address" if "home" in types else "Work Address", set()).add(
                    (types, "|".join([value.street, value.city, value.region, value.code, value.country])))
            elif name == "NOTE":
                got["Notes"] = {(frozenset(), value)}
            elif name == "TITLE":
                got["Job Title"] = {(frozenset(), value)}
            elif name == "NICKNAME":
                got["Nickname"] = {(frozenset(), value)}
            elif name == "ORG":
                got["Organization"] = {(frozenset(), "|".join((value + [""])[:2]))}
            elif name == "CATEGORIES":
                got["Categories"] = {(frozenset(), "|".join(value))}
            elif name == "PHOTO":
                if isinstance(value, bytes):
                    value = hashlib.sha1(value).hexdigest()
                got["Photo"] = {(frozenset(), value)}
        result.append(got)
    return result


def eds_cards(path):
    import gi

    gi.require_version("EBookContacts", "1.2")
    from gi.repository import EBookContacts as E

    result = []
    for chunk in open(path, encoding="utf-8-sig").read().split("BEGIN:VCARD")[1:]:
        c = E.Contact.new_from_vcard("BEGIN:VCARD" + chunk)
        got = {}
        n = c.get_property("name")
        if n:
            got["Name"] = {(frozenset(), "|".join(x or "" for x in [n.family, n.given, n.additional, n.prefixes]))}
        for prop, kind in (("birth-date", "Birthday"), ("anniversary", "Anniversary")):
            d = c.get_property(prop)
            if d:
                got[kind] = {(frozenset(), iso(d.year, d.month, d.day))}
        for attr in c.get_attributes(E.ContactField.EMAIL):
            types = frozenset(t.lower() for t in (attr.get_param("TYPE") or []))
            got.setdefault(email_kind(types), set()).add((frozenset(types - {"internet", "pref"}), attr.get_value()))
        for attr in c.get_attributes(E.ContactField.TEL):
            types = frozenset(t.lower() for p in (attr.get_param("TYPE") or []) for t in p.split(","))
            got.setdefault(phone_kind(types), set()).add((types, attr.get_value()))
        url = c.get_property("homepage-url")  # the one web site Evolution shows
        if url:
            got["Website Home"] = {(frozenset(["home"]), url)}
        for where in ("home", "work"):
            a = c.get_property("address-" + where)
            if a:
                got[where.capitalize() + " Address"] = {
                    (frozenset([where]), "|".join(x or "" for x in [a.street, a.locality, a.region, a.code, a.country]))}
        for prop, kind in (("note", "Notes"), ("title", "Job Title"), ("nickname", "Nickname")):
            if c.get_property(prop):
                got[kind] = {(frozenset(), c.get_property(prop))}
        if c.get_property("org") or c.get_property("org-unit"):
            got["Organization"] = {(frozenset(), (c.get_property("org") or "") + "|" + (c.get_property("org-unit") or ""))}
        if c.get_property("categories"):
            got["Categories"] = {(frozenset(), c.get_property("categories").replace(",", "|"))}
        p = c.get_property("photo")
        if p:
            got["Photo"] = {(frozenset(), p.get_uri() if p.type == E.ContactPhotoType.URI else
                             hashlib.sha1(bytes(p.get_inlined())).hexdigest())}
        result.append(got)
    return result


def main():
    vcfexport, kcontacts, folder = sys.argv[1:4]
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 10000
    rows, photo_sha = make_rows(count, folder)
    write_book(os.path.join(folder, "survey.xlsx"), rows)
    wanted = [e for e in (expected(r, photo_sha) for r in rows) if e is not None]
    address = "A1:%s%d" % ("AL", count)
    for version in os.environ.get("SURVEY_VERSIONS", "3.0 4.0").split():
        out = os.path.join(folder, version)
        os.makedirs(out, exist_ok=True)
        run = subprocess.run([vcfexport, "--vcard", version, "--one-file", os.path.join(folder, "survey.xlsx"),
                              address, out, "utf8"] + KINDS, capture_output=True, text=True)
        print("vCard", version, "export:", run.stdout.strip(), run.stderr.strip()[:200])
        path = os.path.join(out, "UTF8_survey.vcf")
        readers = [("vobject", lambda: vobject_cards(path)), ("eds", lambda: eds_cards(path))]
        if version == "2.1":  # vobject reads 2.1's bare types as no types at all
            readers = readers[1:]
        if os.path.exists(kcontacts):
            readers.append(("kcontacts", lambda: kcontacts_cards(kcontacts, path)))
        if len(sys.argv) > 5:
            readers.append(("android", lambda: android_cards(sys.argv[5], version, path)))
        for name, read in readers:
            cards = read()
            print(" ", name, "contacts:", len(cards), "of", len(wanted))
            kinds = sorted({k for e in wanted for k in e})
            for kind in kinds:
                held = sum(1 for e in wanted if kind in e)
                ok = [kind in e and same(kind, g.get(kind)) == e[kind] for e, g in zip(wanted, cards)]
                arrived = sum(ok)
                if arrived != held:
                    lost = [(e[kind], g.get(kind)) for e, g, k in zip(wanted, cards, ok) if kind in e and not k]
                    values = sum(1 for e, g in zip(wanted, cards) if kind in e and
                                 {v for _, v in same(kind, g.get(kind)) or set()} == {v for _, v in e[kind]})
                    print(("    %-14s %5d/%d (values alone %d)  e.g. %r" % (kind, arrived, held, values, lost[0]))[:300])
                else:
                    print("    %-14s %5d/%d" % (kind, arrived, held))


main()
