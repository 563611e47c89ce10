#include "mapping/headings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mapping/field_kind.h"

namespace cw::mapping {
namespace {

struct Case {
  const char* heading;
  const char* kind;  // "Ignore": the column is not read
};

void ExpectKinds(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading);
    EXPECT_EQ(HeadingKind(c.heading).value_or("<no heading>"), c.kind);
  }
}

TEST(Headings, FoldingIgnoresCaseAccentsPunctuationAndSpacing) {
  EXPECT_EQ(FoldHeading("E-Mail-Adresse"), FoldHeading("e mail adresse"));
  EXPECT_EQ(FoldHeading("Prénom"), "prenom");
  EXPECT_EQ(FoldHeading("STRASSE"), FoldHeading("Straße"));
  EXPECT_EQ(FoldHeading("Ｆａｘ"), "fax");
  EXPECT_EQ(FoldHeading("Телефон:"), FoldHeading("телефон"));
  EXPECT_EQ(FoldHeading(" - / "), "");
  EXPECT_EQ(FoldHeading("\xFF\xFE\xC3"), "");  // bytes that are no UTF-8 are no letters either
  EXPECT_EQ(FoldHeading("Name\xC3"), "name");
  ExpectKinds({{"FIRST-NAME", "First Name"},
               {"  last   name ", "Last Name"},
               {"Prenom", "First Name"},
               {"e.mail", "Email"},
               {"code-postal", "Home Zip"}});
}

TEST(Headings, EachKindsOwnTextProposesIt) {
  for (std::string_view kind : kFieldKindTexts) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(HeadingKind(kind), kind);
  }
}

TEST(Headings, EveryRowOfTheTableProposesItsOwnKind) {
  // Two rows that fold alike but name different kinds would leave one of them unreachable.
  for (const Heading& heading : HeadingTable()) {
    SCOPED_TRACE(std::string(heading.source) + ": " + std::string(heading.text));
    const std::string_view expected = FieldKindFromText(heading.kind) ? heading.kind : "Ignore";
    EXPECT_EQ(HeadingKind(heading.text), expected);
  }
}

TEST(Headings, ColumnsThatMeanOneThingTogetherAreProposedTogether) {
  struct Together {
    std::vector<std::string> row;
    std::vector<std::string> kinds;
  };
  const Together cases[] = {
      // Thunderbird's birthday in three columns; its "Birth Day" is the day of the month.
      {{"First Name", "Birth Year", "Birth Month", "Birth Day"},
       {"First Name", "Birth Year", "Birth Month", "Birth Day of Month"}},
      {{"Geburtstag", "Geburtsmonat", "Geburtsjahr"}, {"Birth Day of Month", "Birth Month", "Birth Year"}},
      // Alone, "Birth Day" is a whole birthday.
      {{"Name", "Birth Day", "Email"}, {"Ignore", "Birthday", "Email"}},
      // Google's label and value columns, in its two forms.
      {{"Phone 1 - Label", "Phone 1 - Value", "E-mail 1 - Label", "E-mail 1 - Value", "Address 1 - Label",
        "Address 1 - Formatted", "Address 1 - Street", "Website 1 - Type", "Website 1 - Value"},
       {"Phone Label", "Cellular", "Email Label", "Email", "Address Label", "Ignore", "Home Address", "Website Label",
        "Website Home"}},
  };
  for (const Together& c : cases) {
    SCOPED_TRACE(c.row.front());
    const HeadingProposal proposal = ProposeKinds(c.row);
    EXPECT_TRUE(proposal.reads_as_headings);
    EXPECT_EQ(proposal.kinds, c.kinds);
  }
}

TEST(Headings, NoKindClaimsTheseHeadings) {
  ExpectKinds({{"ID", "Ignore"},
               {"Gender", "Ignore"},
               {"Display Name", "Ignore"},
               {"Geschlecht", "Ignore"},
               {"Name", "Ignore"},
               {"E-mail 1 - Type", "Ignore"}});
  for (const char* unknown : {"Notiz-ID", "Notes 2", "Kundennummer", "Phone 1 - Valu", "E-mail 9", "", "42", "#N/A"}) {
    SCOPED_TRACE(unknown);
    EXPECT_EQ(HeadingKind(unknown), std::nullopt);
  }
}

TEST(Headings, Exporters) {
  SCOPED_TRACE("Outlook");
  ExpectKinds({{"First Name", "First Name"},
               {"Middle Name", "Middle Initial"},
               {"Last Name", "Last Name"},
               {"Title", "Title"},
               {"Suffix", "Ignore"},
               {"E-mail Address", "Email"},
               {"Business Phone", "Work Voice"},
               {"Home Phone", "Home Voice"},
               {"Mobile Phone", "Cellular"},
               {"Business Fax", "Work Fax"},
               {"Home Fax", "Home Fax"},
               {"Pager", "Pager"},
               {"Business Street", "Work Address"},
               {"Business City", "Work City"},
               {"Business State", "Work Region"},
               {"Business Postal Code", "Work Zip"},
               {"Business Country/Region", "Work Country"},
               {"Home Street", "Home Address"},
               {"Home City", "Home City"},
               {"Home State", "Home Region"},
               {"Home Postal Code", "Home Zip"},
               {"Home Country/Region", "Home Country"},
               {"Web Page", "Website Work"},
               {"Birthday", "Birthday"},
               {"Notes", "Notes"},
               {"Sensitivity", "Ignore"}});
  SCOPED_TRACE("Google");
  ExpectKinds({{"Given Name", "First Name"},
               {"Family Name", "Last Name"},
               {"Additional Name", "Middle Initial"},
               {"Name Prefix", "Title"},
               {"E-mail 1 - Value", "Email"},
               {"Phone 1 - Value", "Cellular"},
               {"Address 1 - City", "Home City"},
               {"Website 1 - Value", "Website Home"},
               {"Phone 1 - Type", "Phone Label"}});
  SCOPED_TRACE("Thunderbird");
  ExpectKinds({{"Display Name", "Ignore"},
               {"Primary Email", "Email"},
               {"Work Phone", "Work Voice"},
               {"Fax Number", "Work Fax"},
               {"Pager Number", "Pager"},
               {"Mobile Number", "Cellular"},
               {"Home Address", "Home Address"},
               {"Home ZipCode", "Home Zip"},
               {"Work State", "Work Region"},
               {"Web Page 1", "Website Work"},
               {"Web Page 2", "Website Home"},
               {"Custom 1", "Ignore"}});
  SCOPED_TRACE("Apple");
  ExpectKinds({{"iPhone", "Cellular"}, {"Home ZIP", "Home Zip"}, {"Work Street", "Work Address"}, {"Note", "Notes"}});
  SCOPED_TRACE("GNOME");
  ExpectKinds({{"GIVEN_NAME", "First Name"},
               {"FAMILY_NAME", "Last Name"},
               {"EMAIL_1", "Email"},
               {"MOBILE_PHONE", "Cellular"},
               {"BIRTH_DATE", "Birthday"},
               {"FULL_NAME", "Ignore"}});
}

TEST(Headings, Languages) {
  SCOPED_TRACE("German");
  ExpectKinds({{"Vorname", "First Name"},
               {"Nachname", "Last Name"},
               {"Straße", "Home Address"},
               {"PLZ", "Home Zip"},
               {"Ort", "Home City"},
               {"Telefon geschäftlich", "Work Voice"},
               {"Mobiltelefon", "Cellular"},
               {"E-Mail-Adresse", "Email"},
               {"Geburtstag", "Birthday"},
               {"Notizen", "Notes"}});
  SCOPED_TRACE("French");
  ExpectKinds({{"Prénom", "First Name"},
               {"Nom", "Last Name"},
               {"Adresse", "Home Address"},
               {"Code postal", "Home Zip"},
               {"Téléphone (bureau)", "Work Voice"},
               {"Portable", "Cellular"},
               {"Courriel", "Email"},
               {"Date de naissance", "Birthday"},
               {"Anniversaire", "Birthday"}});
  SCOPED_TRACE("Spanish");
  ExpectKinds({{"Nombre", "First Name"},
               {"Apellidos", "Last Name"},
               {"Dirección", "Home Address"},
               {"Móvil", "Cellular"},
               {"Correo electrónico", "Email"},
               {"Fecha de nacimiento", "Birthday"}});
  SCOPED_TRACE("Italian");
  ExpectKinds({{"Nome", "First Name"},
               {"Cognome", "Last Name"},
               {"Città", "Home City"},
               {"CAP", "Home Zip"},
               {"Cellulare", "Cellular"},
               {"Data di nascita", "Birthday"},
               {"Note", "Notes"}});
  SCOPED_TRACE("Dutch");
  ExpectKinds({{"Voornaam", "First Name"},
               {"Achternaam", "Last Name"},
               {"Woonplaats", "Home City"},
               {"Postcode", "Home Zip"},
               {"Mobiel", "Cellular"},
               {"Geboortedatum", "Birthday"}});
  SCOPED_TRACE("Portuguese");
  ExpectKinds({{"Nome", "First Name"},
               {"Sobrenome", "Last Name"},
               {"Endereço", "Home Address"},
               {"Celular", "Cellular"},
               {"CEP", "Home Zip"},
               {"Data de nascimento", "Birthday"}});
  SCOPED_TRACE("Polish");
  ExpectKinds({{"Imię", "First Name"},
               {"Nazwisko", "Last Name"},
               {"Miejscowość", "Home City"},
               {"Kod pocztowy", "Home Zip"},
               {"Telefon komórkowy", "Cellular"},
               {"Data urodzenia", "Birthday"}});
  SCOPED_TRACE("Russian");
  ExpectKinds({{"Имя", "First Name"},
               {"Фамилия", "Last Name"},
               {"Отчество", "Middle Initial"},
               {"Город", "Home City"},
               {"Мобильный телефон", "Cellular"},
               {"Дата рождения", "Birthday"},
               {"Пол", "Ignore"}});
  SCOPED_TRACE("Japanese");
  ExpectKinds({{"名", "First Name"},
               {"姓", "Last Name"},
               {"郵便番号", "Home Zip"},
               {"携帯電話", "Cellular"},
               {"メールアドレス", "Email"},
               {"誕生日", "Birthday"},
               {"性別", "Ignore"}});
  SCOPED_TRACE("Chinese");
  ExpectKinds({{"名", "First Name"},
               {"姓", "Last Name"},
               {"手机", "Cellular"},
               {"手機", "Cellular"},
               {"电子邮件", "Email"},
               {"地址", "Home Address"},
               {"生日", "Birthday"},
               {"备注", "Notes"}});
}

TEST(Headings, HeadingsOfTheNewKinds) {
  ExpectKinds({{"Company", "Organization"},
               {"Department", "Department"},
               {"Job Title", "Job Title"},
               {"Nickname", "Nickname"},
               {"Anniversary", "Anniversary"},
               {"Categories", "Categories"},
               {"E-mail 2 Address", "Email Other"},
               {"Other Phone", "Other Phone"},
               {"Organization 1 - Name", "Organization"},
               {"Phone 2 - Value", "Other Phone"},
               {"Secondary Email", "Email Other"},
               {"Home Email", "Email Home"},
               {"Work Email", "Email Work"},
               {"Photo", "Photo"},
               {"Firma", "Organization"},
               {"Abteilung", "Department"},
               {"Fonction", "Job Title"},
               {"Spitzname", "Nickname"},
               {"Должность", "Job Title"},
               {"会社", "Organization"},
               {"公司", "Organization"},
               {"Aniversario", "Anniversary"},
               {"Kategorien", "Categories"}});
}

TEST(Headings, WhenTheFirstRowReadsAsHeadings) {
  struct RowCase {
    std::vector<std::string> row;
    bool headings;
  };
  const RowCase cases[] = {
      {{"First Name", "Last Name", "E-mail Address"}, true},
      {{"First Name", "", "", "Mobile Phone"}, true},                 // empty cells do not count
      {{"First Name", "Kundennummer", "Last Name", "Umsatz"}, true},  // half
      {{"First Name", "Kundennummer", "Umsatz", "Rabatt"}, false},    // one of four
      {{"Email"}, false},                                             // one heading is no row of them
      {{"Anna", "Berg", "anna@example.org", "Phone"}, false},         // a contact with one word that matches
      {{"ID", "Gender", "Name"}, true},                               // headings of nothing a contact holds
      {{"", "", ""}, false},
      {{}, false},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.row));
    const HeadingProposal proposal = ProposeKinds(c.row);
    EXPECT_EQ(proposal.reads_as_headings, c.headings);
    EXPECT_EQ(proposal.kinds.size(), c.row.size());
  }
  EXPECT_EQ(ProposeKinds(std::vector<std::string>{"Vorname", "Kundennummer", "Nachname"}).kinds,
            (std::vector<std::string>{"First Name", "Ignore", "Last Name"}));
}

TEST(Headings, TheKeyOfAHeadingSet) {
  const std::vector<std::string> row = {"First Name", "Last Name", "Kundennummer"};
  const std::string key = HeadingSetKey(row);
  EXPECT_EQ(key.size(), 16u);
  EXPECT_EQ(HeadingSetKey(std::vector<std::string>{"first-name", "LAST NAME", "Kundennummer"}), key);
  EXPECT_NE(HeadingSetKey(std::vector<std::string>{"Last Name", "First Name", "Kundennummer"}), key);
  EXPECT_NE(HeadingSetKey(std::vector<std::string>{"First Name", "Last Name"}), key);
  EXPECT_NE(HeadingSetKey(std::vector<std::string>{"First NameLast", "Name", "Kundennummer"}), key);
}

}  // namespace
}  // namespace cw::mapping
