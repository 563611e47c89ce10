#include "mapping/headings.h"

#include <gtest/gtest.h>

#include <map>
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
  EXPECT_EQ(FoldHeading("℡"), "tel");  // a compatibility character whose decomposition is upper case
  EXPECT_EQ(FoldHeading("㎖"), "ml");
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

TEST(Headings, EveryRowOfTheTableCanMatch) {
  // A row whose kind is no kind's text proposes nothing useful, and a row that folds like a kind's
  // own text or an earlier row is never reached: both are mistakes in the table.
  std::map<std::string, std::string> seen;
  for (std::string_view kind : kFieldKindTexts) seen.emplace(FoldHeading(kind), "the kind " + std::string(kind));
  for (const Heading& heading : HeadingTable()) {
    const std::string row = std::string(heading.source) + ": " + std::string(heading.text);
    SCOPED_TRACE(row);
    EXPECT_TRUE(FieldKindFromText(heading.kind)) << "no kind is called " << heading.kind;
    const auto [earlier, added] = seen.emplace(FoldHeading(heading.text), row);
    EXPECT_TRUE(added) << "folds like " << earlier->second;
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
      // Alone, "Birth Day" is a whole birthday, and so is Russian "День рождения"; French "Mois"
      // and "Jour" are Thunderbird's birth month and day only beside its other columns.
      {{"Name", "Birth Day", "Email"}, {"Ignore", "Birthday", "Email"}},
      {{"Имя", "Фамилия", "День рождения"}, {"First Name", "Last Name", "Birthday"}},
      {{"Nom", "Prénom", "Mois", "Jour"}, {"Last Name", "First Name", "Ignore", "Ignore"}},
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

std::vector<std::string> Cells(std::string_view line) {
  std::vector<std::string> cells;
  for (std::size_t at = 0;;) {
    const std::size_t bar = line.find('|', at);
    cells.emplace_back(line.substr(at, bar - at));
    if (bar == std::string_view::npos) return cells;
    at = bar + 1;
  }
}

void ExpectProposed(std::string_view form, std::string_view header, std::string_view kinds) {
  SCOPED_TRACE(form);
  const std::vector<std::string> row = Cells(header);
  const std::vector<std::string> expected = Cells(kinds);
  ASSERT_EQ(row.size(), expected.size());
  const HeadingProposal proposal = ProposeKinds(row);
  EXPECT_TRUE(proposal.reads_as_headings);
  for (std::size_t i = 0; i < row.size(); ++i) EXPECT_EQ(proposal.kinds[i], expected[i]) << row[i];
}

// One header line per export form, as the program writes it, and the kinds a user would give
// its columns. Thunderbird's English line and Evolution's leave their birth columns out: those
// are proposed together (above).
TEST(Headings, ExportersHeaderLines) {
  struct Form {
    std::string_view form, header, kinds;
  };
  const Form forms[] = {
      {"Outlook",
       "Title|First Name|Middle Name|Last Name|Suffix|Company|Department|Job Title|Business Street|Business City|"
       "Business State|Business Postal Code|Business Country/Region|Home Street|Home City|Home State|Home Postal "
       "Code|Home Country/Region|Business Fax|Business Phone|Business Phone 2|Car Phone|Home Fax|Home Phone|Mobile "
       "Phone|Pager|Anniversary|Birthday|E-mail Address|E-mail Type|E-mail 2 Address|Notes|Web Page|Categories",
       "Title|First Name|Middle Initial|Last Name|Ignore|Organization|Department|Job Title|Work Address|Work City|"
       "Work Region|Work Zip|Work Country|Home Address|Home City|Home Region|Home Zip|Home Country|Work Fax|Work "
       "Voice|Other Phone|Other Phone|Home Fax|Home Voice|Cellular|Pager|Anniversary|Birthday|Email|Ignore|Email "
       "Other|Notes|Website Work|Categories"},
      {"Outlook.com",
       "First Name|Middle Name|Last Name|Title|Suffix|Nickname|Given Yomi|Surname Yomi|E-mail Address|E-mail 2 "
       "Address|E-mail 3 Address|Home Phone|Home Phone 2|Business Phone|Business Phone 2|Mobile Phone|Car Phone|Other "
       "Phone|Primary Phone|Pager|Business Fax|Home Fax|Other Fax|Company Main Phone|Callback|Radio "
       "Phone|Telex|TTY/TDD Phone|IMAddress|Job Title|Department|Company|Office Location|Manager's Name|Assistant's "
       "Name|Assistant's Phone|Company Yomi|Business Street|Business City|Business State|Business Postal Code|Business "
       "Country/Region|Home Street|Home City|Home State|Home Postal Code|Home Country/Region|Other Street|Other "
       "City|Other State|Other Postal Code|Other Country/Region|Personal Web Page|Spouse|Schools|Hobby|Location|Web "
       "Page|Birthday|Anniversary|Notes",
       "First Name|Middle Initial|Last Name|Title|Ignore|Nickname|Ignore|Ignore|Email|Email Other|Email Other|Home "
       "Voice|Other Phone|Work Voice|Other Phone|Cellular|Other Phone|Other Phone|Other Phone|Pager|Work Fax|Home "
       "Fax|Ignore|Other Phone|Ignore|Other Phone|Ignore|Ignore|Ignore|Job "
       "Title|Department|Organization|Ignore|Ignore|Ignore|Ignore|Ignore|Work Address|Work City|Work Region|Work "
       "Zip|Work Country|Home Address|Home City|Home Region|Home Zip|Home "
       "Country|Ignore|Ignore|Ignore|Ignore|Ignore|Website Home|Ignore|Ignore|Ignore|Ignore|Website "
       "Work|Birthday|Anniversary|Notes"},
      {"Outlook de",
       "Anrede|Vorname|Weitere Vornamen|Nachname|Suffix|Firma|Abteilung|Position|Straße geschäftlich|Straße "
       "geschäftlich 2|Ort geschäftlich|Region geschäftlich|Postleitzahl geschäftlich|Land/Region "
       "geschäftlich|Straße privat|Ort privat|Bundesland/Kanton privat|Postleitzahl privat|Land/Region "
       "privat|Weiterer Ort|Fax geschäftlich|Telefon geschäftlich|Telefon geschäftlich 2|Autotelefon|Fax "
       "privat|Telefon (privat)|Mobiltelefon|Pager|Haupttelefon|E-Mail-Adresse|E-Mail-Typ|E-Mail 2: "
       "Adresse|Geburtstag|Jahrestag|Kategorien|Notizen|Ort|Webseite",
       "Title|First Name|Middle Initial|Last Name|Ignore|Organization|Department|Job Title|Work Address|Ignore|Work "
       "City|Work Region|Work Zip|Work Country|Home Address|Home City|Home Region|Home Zip|Home Country|Ignore|Work "
       "Fax|Work Voice|Other Phone|Other Phone|Home Fax|Home Voice|Cellular|Pager|Other Phone|Email|Ignore|Email "
       "Other|Birthday|Anniversary|Categories|Notes|Ignore|Website Home"},
      {"Outlook fr",
       "Titre|Prénom|Deuxième prénom|Nom|Suffixe|Société|Service|Titre|Rue (bureau)|Ville (bureau)|Dép/Région "
       "(bureau)|Code postal (bureau)|Pays/Région (bureau)|Rue (domicile)|Ville (domicile)|Dép/Région "
       "(domicile)|Code postal (domicile)|Pays/Région (domicile)|Télécopie (bureau)|Téléphone (bureau)|Téléphone "
       "(voiture)|Télécopie (domicile)|Téléphone (domicile)|Tél. mobile|Récepteur de radiomessagerie|Adresse de "
       "messagerie|Type de messagerie|Adresse de messagerie 2|Anniversaire|Anniversaire de mariage ou "
       "fête|Catégories|Notes|Page Web|Profession",
       "Title|First Name|Middle Initial|Last Name|Ignore|Organization|Department|Job Title|Work Address|Work "
       "City|Work Region|Work Zip|Work Country|Home Address|Home City|Home Region|Home Zip|Home Country|Work "
       "Fax|Work Voice|Other Phone|Home Fax|Home Voice|Cellular|Pager|Email|Ignore|Email "
       "Other|Birthday|Anniversary|Categories|Notes|Website Work|Ignore"},
      {"Google",
       "Name|Given Name|Additional Name|Family Name|Yomi Name|Name Prefix|Name Suffix|Nickname|Birthday|Gender|"
       "Notes|Group Membership|E-mail 1 - Type|E-mail 1 - Value|E-mail 2 - Type|E-mail 2 - Value|Address 1 - "
       "Type|Address 1 - Formatted|Address 1 - Street|Address 1 - City|Address 1 - Region|Address 1 - Postal "
       "Code|Address 1 - Country|Organization 1 - Type|Organization 1 - Name|Organization 1 - Title|Website 1 - "
       "Type|Website 1 - Value",
       "Ignore|First Name|Middle Initial|Last Name|Ignore|Title|Ignore|Nickname|Birthday|Ignore|Notes|Categories|"
       "Ignore|Email|Ignore|Email Other|Address Label|Ignore|Home Address|Home City|Home Region|Home Zip|Home "
       "Country|Ignore|Organization|Job Title|Website Label|Website Home"},
      {"Thunderbird",
       "First Name|Last Name|Display Name|Nickname|Primary Email|Secondary Email|Screen Name|Work Phone|Home "
       "Phone|Fax Number|Pager Number|Mobile Number|Home Address|Home Address 2|Home City|Home State|Home "
       "ZipCode|Home Country|Work Address|Work Address 2|Work City|Work State|Work ZipCode|Work Country|Job "
       "Title|Department|Organization|Web Page 1|Web Page 2|Custom 1|Custom 2|Custom 3|Custom 4|Notes",
       "First Name|Last Name|Ignore|Nickname|Email|Email Other|Ignore|Work Voice|Home Voice|Work Fax|Pager|"
       "Cellular|Home Address|Ignore|Home City|Home Region|Home Zip|Home Country|Work Address|Ignore|Work City|"
       "Work Region|Work Zip|Work Country|Job Title|Department|Organization|Website Work|Website "
       "Home|Ignore|Ignore|Ignore|Ignore|Notes"},
      // Evolution's default columns; its "title" is the job title there.
      {"Evolution",
       "given_name|family_name|full_name|nickname|email_1|email_2|email_3|email_4|wants_html|business_phone|home_"
       "phone|business_fax|pager|mobile_phone|Home Address|Home Address2|Home Address City|Home Address "
       "State|Home Address PostCode|Home Address Country|Business Address|Business Address2|Business Address "
       "City|Business Address State|Business Address PostCode|Business Address "
       "Country|title|office|org|homepage_url|caluri|note",
       "First Name|Last Name|Ignore|Nickname|Email|Email Other|Email Other|Email Other|Ignore|Work Voice|Home "
       "Voice|Work Fax|Pager|Cellular|Home Address|Ignore|Home City|Home Region|Home Zip|Home Country|Work "
       "Address|Ignore|Work City|Work Region|Work Zip|Work Country|Job Title|Ignore|Organization|Website "
       "Home|Ignore|Notes"},
      {"Evolution with the name prefix", "name_title|given_name|family_name|title|org",
       "Title|First Name|Last Name|Job Title|Organization"},
      {"Apple labels",
       "First Name|Last Name|Phone (mobile)|Phone (iPhone)|Phone (home)|Phone (work)|Phone (home fax)|Phone "
       "(work fax)|Phone (pager)|Phone (main)|Email (iCloud)|Email (home)|Email (work)|URL (homepage)|URL "
       "(work)|Address (home)|Address (work)",
       "First Name|Last Name|Cellular|Cellular|Home Voice|Work Voice|Home Fax|Work Fax|Pager|Other "
       "Phone|Email|Email Home|Email Work|Website Home|Website Work|Home Address|Work Address"},
      // The same word names different fields in different sets.
      {"Portuguese", "Nome|Sobrenome|Aniversário|Telefone", "First Name|Last Name|Birthday|Home Voice"},
      {"Spanish", "Nombre|Apellidos|Aniversario|Cumpleaños", "First Name|Last Name|Anniversary|Birthday"},
  };
  for (const Form& f : forms) ExpectProposed(f.form, f.header, f.kinds);

  // Thunderbird's translations name the same columns, in the same order, in each language.
  constexpr std::string_view kThunderbirdKinds =
      "First Name|Last Name|Ignore|Nickname|Email|Email Other|Work Voice|Home Voice|Work Fax|Pager|Cellular|Home "
      "Address|Home City|Home Region|Home Zip|Home Country|Work Address|Work City|Work Region|Work Zip|Work "
      "Country|Job Title|Department|Organization|Website Work|Website Home|Notes|Ignore";
  const std::pair<std::string_view, std::string_view> translations[] = {
      {"de",
       "Vorname|Nachname|Anzeigename|Spitzname|Primäre E-Mail-Adresse|Sekundäre E-Mail-Adresse|Tel. dienstlich|Tel. "
       "privat|Fax-Nummer|Pager-Nummer|Mobil-Tel.-Nr.|Privat: Adresse|Privat: Ort|Privat: Bundesland|Privat: "
       "PLZ|Privat: Land|Dienstlich: Adresse|Dienstlich: Ort|Dienstlich: Bundesland|Dienstlich: PLZ|Dienstlich: "
       "Land|Arbeitstitel|Abteilung|Organisation|Webseite 1|Webseite 2|Geburtsjahr|Geburtsmonat|Geburtstag|Notizen|"
       "Messenger-Name"},
      {"fr",
       "Prénom|Nom de famille|Nom à afficher|Surnom|Adresse e-mail principale|Adresse e-mail secondaire|Tél. "
       "professionnel|Tél. personnel|Fax|Pager|Portable|Adresse privée|Ville|Pays/État|Code postal|Pays/Région "
       "(domicile)|Adresse professionnelle|Ville|Pays/État|Code postal|Pays/Région "
       "(bureau)|Profession|Service|Société|Site web 1|Site web 2|Année de naissance|Mois|Jour|Notes|Nom de l’écran"},
      {"es-ES",
       "Nombre|Apellidos|Nombre mostrado|Apodo|Dirección de correo electrónico principal|Dirección de correo "
       "electrónico secundaria|Teléfono (Trabajo)|Teléfono particular|Fax|Buscapersonas|Teléfono móvil|Dirección "
       "personal|Ciudad donde vive|Provincia|Código postal|País de residencia|Dirección de trabajo|Ciudad "
       "(Trabajo)|Provincia (Trabajo)|Código postal (Trabajo)|País (Trabajo)|Puesto|Departamento|Organización|Página "
       "web 1|Página web 2|Notas|Nombre en pantalla"},
      {"it",
       "Nome|Cognome|Nome visualizzato|Soprannome|Email primaria|Email secondaria|Telefono lavoro|Telefono casa|Numero "
       "fax|Numero cercapersone|Numero cellulare|Indirizzo di casa|Città di residenza|Provincia di residenza|CAP di "
       "residenza|Nazione di residenza|Indirizzo di lavoro|Città di lavoro|Provincia di lavoro|CAP di lavoro|Nazione "
       "di lavoro|Qualifica|Reparto|Organizzazione|Pagina web 1|Pagina web 2|Note|Nome Instant Messenger"},
      {"nl",
       "Voornaam|Achternaam|Weergavenaam|Bijnaam|Primair e-mailadres|Secundair e-mailadres|Telefoon werk|Telefoon "
       "thuis|Faxnummer|Piepernummer|Mobiel "
       "nummer|Adres|Woonplaats|Provincie|Postcode|Land|Werkadres|Werklocatie|Werkprovincie|Werkpostcode|Werkland|"
       "Werkfunctie|Afdeling|Organisatie|Webpagina 1|Webpagina 2|Aantekeningen|Schermnaam"},
      {"pt-BR",
       "Primeiro nome|Sobrenome|Nome de exibição|Apelido|Email principal|Email secundário|Telefone comercial|Telefone "
       "residencial|Número do fax|Número do pager|Número do celular|Endereço|Cidade|Estado|CEP|País|Endereço "
       "comercial|Cidade de trabalho|Estado de trabalho|CEP comercial|País de trabalho|Cargo|Setor|Organização|Página "
       "web 1|Página web 2|Ano de nascimento|Mês de nascimento|Data de nascimento|Notas|Nome de tela"},
      {"pt-PT",
       "Nome|Apelido|Nome exibido|Nickname|Email primário|E-mail secundário|Telefone profissional|Telefone de "
       "casa|Número de fax|Número de pager|Número de telemóvel|Endereço pessoal|Naturalidade|Distrito|Código "
       "postal|Nacionalidade|Endereço profissional|Local de trabalho|Distrito do local de trabalho|Código postal do "
       "local de trabalho|País do local de trabalho|Profissão|Departamento|Organização|Página web 1|Página web "
       "2|Notas|Nome a mostrar"},
      {"pl",
       "Imię|Nazwisko|Wyświetlana nazwa|Pseudonim|Podstawowy e-mail|Dodatkowy e-mail|Telefonu służbowy|Telefon "
       "domowy|Numer faksu|Pager|Numer telefonu komórkowego|Adres domowy|Miasto (dom)|Województwo (dom)|Kod pocztowy "
       "(dom)|Państwo (dom)|Adres służbowy|Miasto (praca)|Województwo (praca)|Kod pocztowy (praca)|Państwo "
       "(praca)|Stanowisko|Dział|Firma/Organizacja|Strona WWW 1|Strona WWW 2|Notatki|Komunikator AIM"},
      {"ru",
       "Имя|Фамилия|Отображаемое имя|Псевдоним|Адрес электронной почты|Альтернативный адрес электронной почты|Рабочий "
       "телефон|Домашний телефон|Номер факса|Номер пейджера|Номер мобильного телефона|Адрес|Город|Регион|Почтовый "
       "индекс|Страна|Адрес (раб.)|Город (раб.)|Регион (раб.)|Почтовый индекс (раб.)|Страна "
       "(раб.)|Должность|Отдел|Организация|Веб-страница 1|Веб-страница 2|Год рождения|Месяц рождения|День "
       "рождения|Заметки|Интернет-пейджер"},
      {"ja",
       "名|姓|表示名|ニックネーム|メールアドレス|別のメールアドレス|勤務先の電話番号|自宅の電話番号|FAX "
       "番号|ポケットベル番号|携帯電話番号|番地 (自宅)|市区町村 (自宅)|都道府県 (自宅)|郵便番号 (自宅)|国 (自宅)|番地 "
       "(勤務先)|市区町村 (勤務先)|都道府県 (勤務先)|郵便番号 (勤務先)|国 (勤務先)|役職|部門|組織|ウェブページ "
       "1|ウェブページ 2|誕生年|誕生月|誕生日|メモ|スクリーンネーム"},
      {"zh-CN",
       "名字|姓氏|显示名称|昵称|主要电子邮件|备用电子邮件|工作电话|家庭电话|传真号码|寻呼机号码|移动电话号码|家庭地址|"
       "城市|居住地省/自治区/直辖市|邮政编码|居住国家/地区|工作地址|城市|工作地省/自治区/直辖市|邮政编码|工作国家/"
       "地区|职务|部门|公司|网页 1|网页 2|注释|屏幕名"},
      {"zh-TW",
       "名|姓|顯示名稱|暱稱|主要 Email|次要 "
       "Email|商務電話|住家電話|傳真號碼|呼叫器號碼|手機號碼|住家地址|居住縣市|住家省市|住家郵遞區號|居住國家|商務地址|"
       "商務縣市|商務省市|商務郵遞區號|商務國家|職稱|部門|公司|網頁 1|網頁 2|附註|網路代號"},
      {"sv-SE",
       "Förnamn|Efternamn|Visa|Smeknamn|E-post|Ytterligare e-post|Telefon arbete|Telefon "
       "privat|Faxnummer|Personsökare|Mobiltelefon|Adress privat (rad 1)|Stad privat|Landsdel (Stat) privat|Postnummer "
       "privat|Land privat|Adress arbete (rad 1)|Stad arbete|Landsdel (Stat) arbete|Postnummer arbete|Land "
       "arbete|Titel|Avdelning|Organisation|Webbplats privat|Webbplats arbete|Anteckningar|Skärmnamn"},
      {"cs",
       "Křestní jméno|Příjmení|Zobrazované jméno|Přezdívka|První e-mail|Druhý e-mail|Telefon do zaměstnání|Telefon "
       "domů|Faxové číslo|Číslo na pager|Číslo na mobil|Adresa domů|Město|Kraj|PSČ|Země|Adresa do "
       "zaměstnání|Město|Kraj|PSČ|Země|Pozice|Oddělení|Společnost|Webová stránka 1|webová stránka "
       "2|Poznámky|Zobrazované jméno"},
      {"ca",
       "Nom|Cognoms|Nom a mostrar|Sobrenom|Adreça electrònica principal|Adreça electrònica secundària|Telèfon de la "
       "feina|Telèfon particular|Número de fax|Número de buscapersones|Número de mòbil|Adreça particular|Població "
       "(particular)|Comarca (particular)|Codi postal (particular)|País (particular)|Adreça de la feina|Població "
       "(feina)|Comarca (feina)|Codi postal (feina)|País (feina)|Càrrec|Departament|Organització|Pàgina web 1|Pàgina "
       "web 2|Anotacions|Nom a mostrar"},
  };
  // Some lines keep the birth year, month and day columns (importMsgs.properties, strings 2128 to
  // 2130 of each translation), after the web pages as Thunderbird writes them: one birthday.
  std::string with_birth(kThunderbirdKinds);
  with_birth.insert(with_birth.find("|Notes"), "|Birth Year|Birth Month|Birth Day of Month");
  for (const auto& [language, header] : translations) {
    const bool birth = Cells(header).size() > Cells(kThunderbirdKinds).size();
    ExpectProposed("Thunderbird " + std::string(language), header, birth ? with_birth : kThunderbirdKinds);
  }
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
               {"Telefono abitazione", "Home Voice"},
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
               {"番地", "Home Address"},
               {"性別", "Ignore"}});
  SCOPED_TRACE("Chinese");
  ExpectKinds({{"名", "First Name"},
               {"姓", "Last Name"},
               {"手机", "Cellular"},
               {"手機", "Cellular"},
               {"电子邮件", "Email"},
               {"地址", "Home Address"},
               {"生日", "Birthday"},
               {"职务", "Job Title"},
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
