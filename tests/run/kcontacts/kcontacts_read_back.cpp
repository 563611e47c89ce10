// kcontacts_read_back FILE: reads every card of a .vcf file with KDE's KContacts, the parser
// KAddressBook imports with, and prints the properties the new field kinds fill, in the form
// read_back_cards.py prints them ("NAME;types=component|component", "#card" before each), and
// with --all the original kinds' properties too (N, FN, NOTE, URL, ADR, BDAY).
// Built only where KContacts (Qt 5) is installed; a test tool, not part of the program.
#include <KContacts/Addressee>
#include <KContacts/VCardConverter>
#include <QCryptographicHash>
#include <QFile>
#include <cstdio>
#include <string>

namespace {

// Backslash, CR and LF in values are written \\\\, \\r and \\n, as read_back_cards.py writes them.
void Print(const std::string& head, QString value) {
  if (value.isEmpty()) return;
  value.replace(QStringLiteral("\\"), QStringLiteral("\\\\"))
      .replace(QStringLiteral("\r"), QStringLiteral("\\r"))
      .replace(QStringLiteral("\n"), QStringLiteral("\\n"));
  std::printf("%s=%s\n", head.c_str(), value.toUtf8().constData());
}

std::string Types(const std::initializer_list<std::pair<bool, const char*>>& flags) {
  std::string out;
  for (const auto& [set, name] : flags) {
    if (!set) continue;
    out += out.empty() ? ";" : ",";
    out += name;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool all = argc == 3 && std::string(argv[1]) == "--all";
  if (argc != 2 && !all) return 2;
  QFile file(QString::fromLocal8Bit(argv[argc - 1]));
  if (!file.open(QIODevice::ReadOnly)) return 1;
  KContacts::VCardConverter converter;
  for (const KContacts::Addressee& a : converter.parseVCards(file.readAll())) {
    std::printf("#card\n");
    if (all) {
      Print("N", a.familyName() + QStringLiteral("|") + a.givenName() + QStringLiteral("|") + a.additionalName() +
                     QStringLiteral("|") + a.prefix() + QStringLiteral("|") + a.suffix());
      Print("FN", a.formattedName());
      Print("NOTE", a.note());
      for (const KContacts::ResourceLocatorUrl& u : a.extraUrlList()) {
        using T = KContacts::ResourceLocatorUrl;
        const auto t = u.type();
        Print("URL" + Types({{t == T::Home, "home"}, {t == T::Work, "work"}}), u.url().toString());
      }
      for (const KContacts::Address& adr : a.addresses()) {
        using T = KContacts::Address;
        const auto t = adr.type();
        Print("ADR" + Types({{t & T::Home, "home"}, {t & T::Work, "work"}}),
              adr.postOfficeBox() + QStringLiteral("|") + adr.extended() + QStringLiteral("|") + adr.street() +
                  QStringLiteral("|") + adr.locality() + QStringLiteral("|") + adr.region() + QStringLiteral("|") +
                  adr.postalCode() + QStringLiteral("|") + adr.country());
      }
      if (a.birthday().isValid()) Print("BDAY", a.birthday().date().toString(Qt::ISODate));
    }
    Print("NICKNAME", a.nickName());
    Print("ORG", a.organization() + QStringLiteral("|") + a.department());
    Print("TITLE", a.title());
    for (const KContacts::PhoneNumber& p : a.phoneNumbers()) {
      using T = KContacts::PhoneNumber;
      const auto t = p.type();
      Print("TEL" + Types({{t & T::Cell, "cell"},
                           {t & T::Fax, "fax"},
                           {t & T::Home, "home"},
                           {t & T::Pager, "pager"},
                           {t & T::Voice, "voice"},
                           {t & T::Work, "work"}}),
            p.number());
    }
    for (const KContacts::Email& e : a.emailList()) {
      using T = KContacts::Email;
      const auto t = e.type();
      Print("EMAIL" + Types({{t & T::Home, "home"}, {t & T::Other, "other"}, {t & T::Work, "work"}}), e.mail());
    }
    if (a.anniversary().isValid()) Print("ANNIVERSARY", a.anniversary().toString(Qt::ISODate));
    Print("CATEGORIES", a.categories().join(QStringLiteral("|")));
    const KContacts::Picture photo = a.photo();
    if (photo.isIntern() && !photo.rawData().isEmpty()) {
      Print("PHOTO;" + photo.type().toStdString(),
            QString::fromLatin1(QCryptographicHash::hash(photo.rawData(), QCryptographicHash::Sha1).toHex()));
    } else {
      Print("PHOTO", photo.url());
    }
  }
  return 0;
}
