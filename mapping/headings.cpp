#include "mapping/headings.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "mapping/field_kind.h"

namespace cw::mapping {
namespace {

// One row per heading. A heading that folds like another must propose the same kind (the
// test of the table checks it). Generic headings whose type stands in another column (Google's
// "Phone 1 - Value" beside "Phone 1 - Type") take the kind such a column most often holds;
// a second or third of a kind goes to the "other" kind, so that vCard 2.1, which keeps one
// value per kind, does not lose the first.
constexpr Heading kHeadings[] = {
    // English, as people write it.
    {"Given Name", "First Name", "English"},
    {"Forename", "First Name", "English"},
    {"Surname", "Last Name", "English"},
    {"Family Name", "Last Name", "English"},
    {"Middle Name", "Middle Initial", "English"},
    {"Prefix", "Title", "English"},
    {"Salutation", "Title", "English"},
    {"Date of Birth", "Birthday", "English"},
    {"Birth Date", "Birthday", "English"},
    {"DOB", "Birthday", "English"},
    {"E-mail Address", "Email", "English"},
    {"Mail", "Email", "English"},
    {"Phone", "Home Voice", "English"},
    {"Phone Number", "Home Voice", "English"},
    {"Telephone", "Home Voice", "English"},
    {"Tel", "Home Voice", "English"},
    {"Home Phone", "Home Voice", "English"},
    {"Work Phone", "Work Voice", "English"},
    {"Office Phone", "Work Voice", "English"},
    {"Mobile", "Cellular", "English"},
    {"Mobile Phone", "Cellular", "English"},
    {"Mobile Number", "Cellular", "English"},
    {"Cell", "Cellular", "English"},
    {"Cell Phone", "Cellular", "English"},
    {"Fax", "Work Fax", "English"},
    {"Address", "Home Address", "English"},
    {"Street", "Home Address", "English"},
    {"City", "Home City", "English"},
    {"Town", "Home City", "English"},
    {"State", "Home Region", "English"},
    {"Province", "Home Region", "English"},
    {"Region", "Home Region", "English"},
    {"County", "Home Region", "English"},
    {"Zip", "Home Zip", "English"},
    {"Zip Code", "Home Zip", "English"},
    {"Postcode", "Home Zip", "English"},
    {"Postal Code", "Home Zip", "English"},
    {"Country", "Home Country", "English"},
    {"Website", "Website Home", "English"},
    {"Web Site", "Website Home", "English"},
    {"Homepage", "Website Home", "English"},
    {"URL", "Website Home", "English"},
    {"Note", "Notes", "English"},
    {"Comment", "Notes", "English"},
    {"Comments", "Notes", "English"},
    {"Company", "Organization", "English"},
    {"Organisation", "Organization", "English"},
    {"Organization", "Organization", "English"},
    {"Department", "Department", "English"},
    {"Job Title", "Job Title", "English"},
    {"Position", "Job Title", "English"},
    {"Nickname", "Nickname", "English"},
    {"Anniversary", "Anniversary", "English"},
    {"Categories", "Categories", "English"},
    {"Groups", "Categories", "English"},
    {"Group", "Categories", "English"},
    {"Tags", "Categories", "English"},
    {"Home Email", "Email Home", "English"},
    {"Personal Email", "Email Home", "English"},
    {"Work Email", "Email Work", "English"},
    {"Business Email", "Email Work", "English"},
    {"Other Email", "Email Other", "English"},
    {"Email Home", "Email Home", "English"},
    {"Email Work", "Email Work", "English"},
    {"Email Other", "Email Other", "English"},
    {"Other Phone", "Other Phone", "English"},
    {"Photo", "Photo", "English"},
    {"Picture", "Photo", "English"},
    {"ID", "Ignore", "English"},
    {"Name", "Ignore", "English"},
    {"Full Name", "Ignore", "English"},
    {"Display Name", "Ignore", "English"},
    {"Gender", "Ignore", "English"},
    {"Sex", "Ignore", "English"},
    {"Suffix", "Ignore", "English"},
    {"Initials", "Ignore", "English"},

    // Outlook's CSV export.
    {"Business Street", "Work Address", "Outlook"},
    {"Business City", "Work City", "Outlook"},
    {"Business State", "Work Region", "Outlook"},
    {"Business Postal Code", "Work Zip", "Outlook"},
    {"Business Country/Region", "Work Country", "Outlook"},
    {"Home Street", "Home Address", "Outlook"},
    {"Home State", "Home Region", "Outlook"},
    {"Home Postal Code", "Home Zip", "Outlook"},
    {"Home Country/Region", "Home Country", "Outlook"},
    {"Business Phone", "Work Voice", "Outlook"},
    {"Business Phone 2", "Other Phone", "Outlook"},
    {"Business Fax", "Work Fax", "Outlook"},
    {"Home Phone 2", "Other Phone", "Outlook"},
    {"Car Phone", "Other Phone", "Outlook"},
    {"Company Main Phone", "Other Phone", "Outlook"},
    {"Primary Phone", "Other Phone", "Outlook"},
    {"Radio Phone", "Other Phone", "Outlook"},
    {"E-mail 2 Address", "Email Other", "Outlook"},
    {"E-mail 3 Address", "Email Other", "Outlook"},
    {"Web Page", "Website Work", "Outlook"},
    {"Business Street 2", "Ignore", "Outlook"},
    {"Business Street 3", "Ignore", "Outlook"},
    {"Home Street 2", "Ignore", "Outlook"},
    {"Home Street 3", "Ignore", "Outlook"},
    {"Other Street", "Ignore", "Outlook"},
    {"Other City", "Ignore", "Outlook"},
    {"Other State", "Ignore", "Outlook"},
    {"Other Postal Code", "Ignore", "Outlook"},
    {"Other Country/Region", "Ignore", "Outlook"},
    {"Other Fax", "Ignore", "Outlook"},
    {"Assistant's Phone", "Ignore", "Outlook"},
    {"Callback", "Ignore", "Outlook"},
    {"ISDN", "Ignore", "Outlook"},
    {"TTY/TDD Phone", "Ignore", "Outlook"},
    {"Telex", "Ignore", "Outlook"},
    {"E-mail Type", "Ignore", "Outlook"},
    {"E-mail Display Name", "Ignore", "Outlook"},
    {"E-mail 2 Type", "Ignore", "Outlook"},
    {"E-mail 2 Display Name", "Ignore", "Outlook"},
    {"E-mail 3 Type", "Ignore", "Outlook"},
    {"E-mail 3 Display Name", "Ignore", "Outlook"},
    {"Account", "Ignore", "Outlook"},
    {"Assistant's Name", "Ignore", "Outlook"},
    {"Billing Information", "Ignore", "Outlook"},
    {"Business Address PO Box", "Ignore", "Outlook"},
    {"Home Address PO Box", "Ignore", "Outlook"},
    {"Other Address PO Box", "Ignore", "Outlook"},
    {"Children", "Ignore", "Outlook"},
    {"Directory Server", "Ignore", "Outlook"},
    {"Government ID Number", "Ignore", "Outlook"},
    {"Hobby", "Ignore", "Outlook"},
    {"Internet Free Busy", "Ignore", "Outlook"},
    {"Keywords", "Ignore", "Outlook"},
    {"Language", "Ignore", "Outlook"},
    {"Location", "Ignore", "Outlook"},
    {"Manager's Name", "Ignore", "Outlook"},
    {"Mileage", "Ignore", "Outlook"},
    {"Office Location", "Ignore", "Outlook"},
    {"Organizational ID Number", "Ignore", "Outlook"},
    {"Priority", "Ignore", "Outlook"},
    {"Private", "Ignore", "Outlook"},
    {"Profession", "Ignore", "Outlook"},
    {"Referred By", "Ignore", "Outlook"},
    {"Sensitivity", "Ignore", "Outlook"},
    {"Spouse", "Ignore", "Outlook"},
    {"User 1", "Ignore", "Outlook"},
    {"User 2", "Ignore", "Outlook"},
    {"User 3", "Ignore", "Outlook"},
    {"User 4", "Ignore", "Outlook"},

    // Google Contacts' CSV export (Google CSV and the older Outlook-like form).
    {"Additional Name", "Middle Initial", "Google"},
    {"Name Prefix", "Title", "Google"},
    {"Name Suffix", "Ignore", "Google"},
    {"E-mail 1 - Value", "Email", "Google"},
    {"E-mail 2 - Value", "Email Other", "Google"},
    {"E-mail 3 - Value", "Email Other", "Google"},
    {"Phone 1 - Value", "Cellular", "Google"},  // phones list the mobile first
    {"Phone 2 - Value", "Other Phone", "Google"},
    {"Phone 3 - Value", "Other Phone", "Google"},
    {"Phone 4 - Value", "Other Phone", "Google"},
    {"Address 1 - Street", "Home Address", "Google"},
    {"Address 1 - City", "Home City", "Google"},
    {"Address 1 - Region", "Home Region", "Google"},
    {"Address 1 - Postal Code", "Home Zip", "Google"},
    {"Address 1 - Country", "Home Country", "Google"},
    {"Address 2 - Street", "Work Address", "Google"},
    {"Address 2 - City", "Work City", "Google"},
    {"Address 2 - Region", "Work Region", "Google"},
    {"Address 2 - Postal Code", "Work Zip", "Google"},
    {"Address 2 - Country", "Work Country", "Google"},
    {"Website 1 - Value", "Website Home", "Google"},
    {"Website 2 - Value", "Website Work", "Google"},
    {"Organization 1 - Name", "Organization", "Google"},
    {"Organization 1 - Title", "Job Title", "Google"},
    {"Organization 1 - Department", "Department", "Google"},
    {"Organization Name", "Organization", "Google"},
    {"Organization Title", "Job Title", "Google"},
    {"Organization Department", "Department", "Google"},
    {"Group Membership", "Categories", "Google"},
    {"Labels", "Categories", "Google"},
    {"Address 1 - Formatted", "Ignore", "Google"},
    {"Address 1 - PO Box", "Ignore", "Google"},
    {"Address 1 - Extended Address", "Ignore", "Google"},
    {"Organization 1 - Type", "Ignore", "Google"},
    {"Yomi Name", "Ignore", "Google"},
    {"Given Name Yomi", "Ignore", "Google"},
    {"Family Name Yomi", "Ignore", "Google"},
    {"Phonetic First Name", "Ignore", "Google"},
    {"Phonetic Last Name", "Ignore", "Google"},
    {"File As", "Ignore", "Google"},
    {"Short Name", "Ignore", "Google"},
    {"Maiden Name", "Ignore", "Google"},
    {"Occupation", "Ignore", "Google"},
    {"Subject", "Ignore", "Google"},

    // Google's label columns, each the type of the value column(s) after it ("Phone 1 - Label"
    // beside "Phone 1 - Value"; "Type" in its older form, but not for e-mail, where it folds
    // like Outlook's "E-mail 2 Type"). A label and its value are one choice in the column list.
    // Thunderbird's birthday in three columns: "Birth Year" and "Birth Month" are the kinds' own
    // texts; its "Birth Day" folds like the kind "Birthday", so ProposeKinds makes it the day of
    // the month when the row holds a year or month column (German: "Geburtstag").
    {"Phone 1 - Label", "Phone Label", "Google"},
    {"Phone 1 - Type", "Phone Label", "Google"},
    {"Phone 2 - Label", "Phone Label", "Google"},
    {"Phone 2 - Type", "Phone Label", "Google"},
    {"Phone 3 - Label", "Phone Label", "Google"},
    {"Phone 3 - Type", "Phone Label", "Google"},
    {"Phone 4 - Label", "Phone Label", "Google"},
    {"Phone 4 - Type", "Phone Label", "Google"},
    {"E-mail 1 - Type", "Ignore", "Google"},  // in Outlook's form too ("E-mail 2 Type": SMTP)
    {"E-mail 2 - Type", "Ignore", "Google"},
    {"E-mail 1 - Label", "Email Label", "Google"},
    {"E-mail 2 - Label", "Email Label", "Google"},
    {"E-mail 3 - Label", "Email Label", "Google"},
    {"E-mail 4 - Label", "Email Label", "Google"},
    {"Website 1 - Label", "Website Label", "Google"},
    {"Website 1 - Type", "Website Label", "Google"},
    {"Website 2 - Label", "Website Label", "Google"},
    {"Website 2 - Type", "Website Label", "Google"},
    {"Website 3 - Label", "Website Label", "Google"},
    {"Website 3 - Type", "Website Label", "Google"},
    {"Website 4 - Label", "Website Label", "Google"},
    {"Website 4 - Type", "Website Label", "Google"},
    {"Address 1 - Label", "Address Label", "Google"},
    {"Address 1 - Type", "Address Label", "Google"},
    {"Address 2 - Label", "Address Label", "Google"},
    {"Address 2 - Type", "Address Label", "Google"},
    {"Address 3 - Label", "Address Label", "Google"},
    {"Address 3 - Type", "Address Label", "Google"},
    {"Address 4 - Label", "Address Label", "Google"},
    {"Address 4 - Type", "Address Label", "Google"},
    {"Geburtsjahr", "Birth Year", "Thunderbird, German"},
    {"Geburtsmonat", "Birth Month", "Thunderbird, German"},

    // Thunderbird's CSV export.
    {"Primary Email", "Email", "Thunderbird"},
    {"Secondary Email", "Email Other", "Thunderbird"},
    {"Fax Number", "Work Fax", "Thunderbird"},
    {"Pager Number", "Pager", "Thunderbird"},
    {"Home ZipCode", "Home Zip", "Thunderbird"},
    {"Work State", "Work Region", "Thunderbird"},
    {"Work ZipCode", "Work Zip", "Thunderbird"},
    {"Web Page 1", "Website Work", "Thunderbird"},  // its work web page
    {"Web Page 2", "Website Home", "Thunderbird"},
    {"Home Address 2", "Ignore", "Thunderbird"},
    {"Work Address 2", "Ignore", "Thunderbird"},
    {"Screen Name", "Ignore", "Thunderbird"},
    {"Custom 1", "Ignore", "Thunderbird"},
    {"Custom 2", "Ignore", "Thunderbird"},
    {"Custom 3", "Ignore", "Thunderbird"},
    {"Custom 4", "Ignore", "Thunderbird"},

    // Apple Contacts, as its CSV exports name the fields.
    {"iPhone", "Cellular", "Apple"},
    {"Home ZIP", "Home Zip", "Apple"},
    {"Work Street", "Work Address", "Apple"},
    {"Work ZIP", "Work Zip", "Apple"},
    {"Home Page", "Website Home", "Apple"},
    {"Main Phone", "Other Phone", "Apple"},

    // GNOME's Evolution (evolution-addressbook-export --format=csv).
    {"GIVEN_NAME", "First Name", "GNOME"},
    {"FAMILY_NAME", "Last Name", "GNOME"},
    {"EMAIL_1", "Email", "GNOME"},
    {"EMAIL_2", "Email Other", "GNOME"},
    {"EMAIL_3", "Email Other", "GNOME"},
    {"EMAIL_4", "Email Other", "GNOME"},
    {"BUSINESS_PHONE", "Work Voice", "GNOME"},
    {"BUSINESS_FAX", "Work Fax", "GNOME"},
    {"MOBILE_PHONE", "Cellular", "GNOME"},
    {"PAGER", "Pager", "GNOME"},
    {"ADDRESS_HOME", "Home Address", "GNOME"},
    {"ADDRESS_WORK", "Work Address", "GNOME"},
    {"WEB_URL", "Website Home", "GNOME"},
    {"BIRTH_DATE", "Birthday", "GNOME"},
    {"ORG", "Organization", "GNOME"},
    {"ORG_UNIT", "Department", "GNOME"},
    {"CATEGORY_LIST", "Categories", "GNOME"},
    {"PHOTO", "Photo", "GNOME"},
    {"UID", "Ignore", "GNOME"},
    {"FILE_AS", "Ignore", "GNOME"},
    {"FULL_NAME", "Ignore", "GNOME"},
    {"MAILER", "Ignore", "GNOME"},
    {"OFFICE", "Ignore", "GNOME"},
    {"ROLE", "Ignore", "GNOME"},
    {"MANAGER", "Ignore", "GNOME"},
    {"ASSISTANT", "Ignore", "GNOME"},
    {"CALENDAR_URI", "Ignore", "GNOME"},
    {"FREEBUSY_URL", "Ignore", "GNOME"},
    {"ADDRESS_OTHER", "Ignore", "GNOME"},

    // German, and German Outlook.
    {"Vorname", "First Name", "German"},
    {"Nachname", "Last Name", "German"},
    {"Familienname", "Last Name", "German"},
    {"Zweiter Vorname", "Middle Initial", "German"},
    {"Weitere Vornamen", "Middle Initial", "German"},
    {"Anrede", "Title", "German"},
    {"Titel", "Title", "German"},
    {"Geburtstag", "Birthday", "German"},
    {"Geburtsdatum", "Birthday", "German"},
    {"E-Mail-Adresse", "Email", "German"},
    {"E-Mail privat", "Email Home", "German"},
    {"E-Mail geschäftlich", "Email Work", "German"},
    {"E-Mail 2: Adresse", "Email Other", "German"},
    {"Telefon", "Home Voice", "German"},
    {"Telefon privat", "Home Voice", "German"},
    {"Telefon geschäftlich", "Work Voice", "German"},
    {"Handy", "Cellular", "German"},
    {"Mobil", "Cellular", "German"},
    {"Mobiltelefon", "Cellular", "German"},
    {"Fax privat", "Home Fax", "German"},
    {"Fax geschäftlich", "Work Fax", "German"},
    {"Straße", "Home Address", "German"},
    {"Adresse", "Home Address", "German"},
    {"Anschrift", "Home Address", "German"},
    {"Straße privat", "Home Address", "German"},
    {"Straße geschäftlich", "Work Address", "German"},
    {"Ort", "Home City", "German"},
    {"Stadt", "Home City", "German"},
    {"Wohnort", "Home City", "German"},
    {"Ort privat", "Home City", "German"},
    {"Ort geschäftlich", "Work City", "German"},
    {"Bundesland", "Home Region", "German"},
    {"Region privat", "Home Region", "German"},
    {"Region geschäftlich", "Work Region", "German"},
    {"PLZ", "Home Zip", "German"},
    {"Postleitzahl", "Home Zip", "German"},
    {"Postleitzahl privat", "Home Zip", "German"},
    {"Postleitzahl geschäftlich", "Work Zip", "German"},
    {"Land", "Home Country", "German"},
    {"Land/Region privat", "Home Country", "German"},
    {"Land/Region geschäftlich", "Work Country", "German"},
    {"Webseite", "Website Home", "German"},
    {"Internetseite", "Website Home", "German"},
    {"Firma", "Organization", "German"},
    {"Unternehmen", "Organization", "German"},
    {"Abteilung", "Department", "German"},
    {"Berufsbezeichnung", "Job Title", "German"},
    {"Funktion", "Job Title", "German"},
    {"Spitzname", "Nickname", "German"},
    {"Jahrestag", "Anniversary", "German"},
    {"Hochzeitstag", "Anniversary", "German"},
    {"Kategorien", "Categories", "German"},
    {"Gruppe", "Categories", "German"},
    {"Gruppen", "Categories", "German"},
    {"Notizen", "Notes", "German"},
    {"Notiz", "Notes", "German"},
    {"Bemerkung", "Notes", "German"},
    {"Bemerkungen", "Notes", "German"},
    {"Anmerkungen", "Notes", "German"},
    {"Foto", "Photo", "German"},
    {"Bild", "Photo", "German"},
    {"Geschlecht", "Ignore", "German"},

    // French, and French Outlook.
    {"Prénom", "First Name", "French"},
    {"Nom", "Last Name", "French"},
    {"Nom de famille", "Last Name", "French"},
    {"Deuxième prénom", "Middle Initial", "French"},
    {"Civilité", "Title", "French"},
    {"Titre", "Title", "French"},
    {"Date de naissance", "Birthday", "French"},
    {"Anniversaire", "Birthday", "French"},  // a birthday in French
    {"Courriel", "Email", "French"},
    {"Adresse e-mail", "Email", "French"},
    {"Adresse de messagerie", "Email", "French"},
    {"Téléphone", "Home Voice", "French"},
    {"Téléphone (domicile)", "Home Voice", "French"},
    {"Téléphone domicile", "Home Voice", "French"},
    {"Téléphone (bureau)", "Work Voice", "French"},
    {"Téléphone bureau", "Work Voice", "French"},
    {"Téléphone professionnel", "Work Voice", "French"},
    {"Portable", "Cellular", "French"},
    {"Tél. mobile", "Cellular", "French"},
    {"Téléphone mobile", "Cellular", "French"},
    {"Télécopie", "Work Fax", "French"},
    {"Télécopie (bureau)", "Work Fax", "French"},
    {"Télécopie (domicile)", "Home Fax", "French"},
    {"Rue", "Home Address", "French"},
    {"Rue (domicile)", "Home Address", "French"},
    {"Rue (bureau)", "Work Address", "French"},
    {"Ville", "Home City", "French"},
    {"Ville (domicile)", "Home City", "French"},
    {"Ville (bureau)", "Work City", "French"},
    {"Code postal", "Home Zip", "French"},
    {"Code postal (domicile)", "Home Zip", "French"},
    {"Code postal (bureau)", "Work Zip", "French"},
    {"Pays", "Home Country", "French"},
    {"Pays/Région (domicile)", "Home Country", "French"},
    {"Pays/Région (bureau)", "Work Country", "French"},
    {"Site web", "Website Home", "French"},
    {"Page Web", "Website Work", "French"},  // as Outlook's "Web Page"
    {"Société", "Organization", "French"},
    {"Entreprise", "Organization", "French"},
    {"Service", "Department", "French"},
    {"Fonction", "Job Title", "French"},
    {"Surnom", "Nickname", "French"},
    {"Catégories", "Categories", "French"},
    {"Groupe", "Categories", "French"},
    {"Remarques", "Notes", "French"},
    {"Sexe", "Ignore", "French"},
    {"Genre", "Ignore", "French"},

    // Spanish, and Spanish Outlook.
    {"Nombre", "First Name", "Spanish"},
    {"Apellido", "Last Name", "Spanish"},
    {"Apellidos", "Last Name", "Spanish"},
    {"Segundo nombre", "Middle Initial", "Spanish"},
    {"Tratamiento", "Title", "Spanish"},
    {"Fecha de nacimiento", "Birthday", "Spanish"},
    {"Cumpleaños", "Birthday", "Spanish"},
    {"Correo electrónico", "Email", "Spanish"},
    {"Correo", "Email", "Spanish"},
    {"Dirección de correo electrónico", "Email", "Spanish"},
    {"Teléfono", "Home Voice", "Spanish"},
    {"Teléfono particular", "Home Voice", "Spanish"},
    {"Particular", "Home Voice", "Spanish"},
    {"Teléfono del trabajo", "Work Voice", "Spanish"},
    {"Móvil", "Cellular", "Spanish"},
    {"Teléfono móvil", "Cellular", "Spanish"},
    {"Celular", "Cellular", "Spanish"},
    {"Fax particular", "Home Fax", "Spanish"},
    {"Fax del trabajo", "Work Fax", "Spanish"},
    {"Dirección", "Home Address", "Spanish"},
    {"Calle", "Home Address", "Spanish"},
    {"Calle del domicilio", "Home Address", "Spanish"},
    {"Calle del trabajo", "Work Address", "Spanish"},
    {"Ciudad", "Home City", "Spanish"},
    {"Ciudad de residencia", "Home City", "Spanish"},
    {"Ciudad de trabajo", "Work City", "Spanish"},
    {"Provincia", "Home Region", "Spanish"},
    {"Código postal", "Home Zip", "Spanish"},
    {"Código postal de residencia", "Home Zip", "Spanish"},
    {"Código postal del trabajo", "Work Zip", "Spanish"},
    {"País", "Home Country", "Spanish"},
    {"País o región de residencia", "Home Country", "Spanish"},
    {"País o región del trabajo", "Work Country", "Spanish"},
    {"Sitio web", "Website Home", "Spanish"},
    {"Página web", "Website Home", "Spanish"},
    {"Empresa", "Organization", "Spanish"},
    {"Compañía", "Organization", "Spanish"},
    {"Organización", "Organization", "Spanish"},
    {"Departamento", "Department", "Spanish"},
    {"Cargo", "Job Title", "Spanish"},
    {"Puesto", "Job Title", "Spanish"},
    {"Apodo", "Nickname", "Spanish"},
    {"Aniversario", "Anniversary", "Spanish"},
    {"Categorías", "Categories", "Spanish"},
    {"Notas", "Notes", "Spanish"},
    {"Sexo", "Ignore", "Spanish"},

    // Italian.
    {"Nome", "First Name", "Italian"},
    {"Cognome", "Last Name", "Italian"},
    {"Secondo nome", "Middle Initial", "Italian"},
    {"Titolo", "Title", "Italian"},
    {"Data di nascita", "Birthday", "Italian"},
    {"Compleanno", "Birthday", "Italian"},
    {"Posta elettronica", "Email", "Italian"},
    {"Indirizzo email", "Email", "Italian"},
    {"Telefono", "Home Voice", "Italian"},
    {"Telefono casa", "Home Voice", "Italian"},
    {"Telefono ufficio", "Work Voice", "Italian"},
    {"Telefono lavoro", "Work Voice", "Italian"},
    {"Cellulare", "Cellular", "Italian"},
    {"Indirizzo", "Home Address", "Italian"},
    {"Via", "Home Address", "Italian"},
    {"Città", "Home City", "Italian"},
    {"CAP", "Home Zip", "Italian"},
    {"Paese", "Home Country", "Italian"},
    {"Nazione", "Home Country", "Italian"},
    {"Sito web", "Website Home", "Italian"},
    {"Azienda", "Organization", "Italian"},
    {"Società", "Organization", "Italian"},
    {"Reparto", "Department", "Italian"},
    {"Ruolo", "Job Title", "Italian"},
    {"Qualifica", "Job Title", "Italian"},
    {"Soprannome", "Nickname", "Italian"},
    {"Anniversario", "Anniversary", "Italian"},
    {"Categorie", "Categories", "Italian"},
    {"Sesso", "Ignore", "Italian"},

    // Dutch.
    {"Voornaam", "First Name", "Dutch"},
    {"Achternaam", "Last Name", "Dutch"},
    {"Tussenvoegsel", "Middle Initial", "Dutch"},  // "van der": N's middle part sits between the names
    {"Aanhef", "Title", "Dutch"},
    {"Geboortedatum", "Birthday", "Dutch"},
    {"Verjaardag", "Birthday", "Dutch"},
    {"E-mailadres", "Email", "Dutch"},
    {"Telefoon", "Home Voice", "Dutch"},
    {"Telefoonnummer", "Home Voice", "Dutch"},
    {"Telefoon thuis", "Home Voice", "Dutch"},
    {"Telefoon werk", "Work Voice", "Dutch"},
    {"Mobiel", "Cellular", "Dutch"},
    {"Mobiele telefoon", "Cellular", "Dutch"},
    {"Adres", "Home Address", "Dutch"},
    {"Straat", "Home Address", "Dutch"},
    {"Woonplaats", "Home City", "Dutch"},
    {"Plaats", "Home City", "Dutch"},
    {"Provincie", "Home Region", "Dutch"},
    {"Bedrijf", "Organization", "Dutch"},
    {"Afdeling", "Department", "Dutch"},
    {"Functie", "Job Title", "Dutch"},
    {"Bijnaam", "Nickname", "Dutch"},
    {"Categorieën", "Categories", "Dutch"},
    {"Notities", "Notes", "Dutch"},
    {"Opmerkingen", "Notes", "Dutch"},
    {"Geslacht", "Ignore", "Dutch"},

    // Portuguese. "Aniversário" (a birthday in Portuguese, an anniversary in Spanish) and
    // "Apelido" (a surname in Portugal, a nickname in Brazil) are left out: either guess misleads.
    {"Sobrenome", "Last Name", "Portuguese"},
    {"Nome do meio", "Middle Initial", "Portuguese"},
    {"Tratamento", "Title", "Portuguese"},
    {"Data de nascimento", "Birthday", "Portuguese"},
    {"Endereço de e-mail", "Email", "Portuguese"},
    {"Telefone", "Home Voice", "Portuguese"},
    {"Telefone residencial", "Home Voice", "Portuguese"},
    {"Telefone comercial", "Work Voice", "Portuguese"},
    {"Telemóvel", "Cellular", "Portuguese"},
    {"Endereço", "Home Address", "Portuguese"},
    {"Rua", "Home Address", "Portuguese"},
    {"Cidade", "Home City", "Portuguese"},
    {"Estado", "Home Region", "Portuguese"},
    {"CEP", "Home Zip", "Portuguese"},
    {"Site", "Website Home", "Portuguese"},
    {"Alcunha", "Nickname", "Portuguese"},
    {"Categorias", "Categories", "Portuguese"},
    {"Observações", "Notes", "Portuguese"},

    // Polish.
    {"Imię", "First Name", "Polish"},
    {"Nazwisko", "Last Name", "Polish"},
    {"Drugie imię", "Middle Initial", "Polish"},
    {"Tytuł", "Title", "Polish"},
    {"Data urodzenia", "Birthday", "Polish"},
    {"Urodziny", "Birthday", "Polish"},
    {"Adres e-mail", "Email", "Polish"},
    {"Telefon domowy", "Home Voice", "Polish"},
    {"Telefon służbowy", "Work Voice", "Polish"},
    {"Telefon komórkowy", "Cellular", "Polish"},
    {"Komórka", "Cellular", "Polish"},
    {"Faks", "Work Fax", "Polish"},
    {"Ulica", "Home Address", "Polish"},
    {"Miasto", "Home City", "Polish"},
    {"Miejscowość", "Home City", "Polish"},
    {"Kod pocztowy", "Home Zip", "Polish"},
    {"Kraj", "Home Country", "Polish"},
    {"Województwo", "Home Region", "Polish"},
    {"Strona internetowa", "Website Home", "Polish"},
    {"Dział", "Department", "Polish"},
    {"Stanowisko", "Job Title", "Polish"},
    {"Pseudonim", "Nickname", "Polish"},
    {"Rocznica", "Anniversary", "Polish"},
    {"Kategorie", "Categories", "Polish"},
    {"Notatki", "Notes", "Polish"},
    {"Uwagi", "Notes", "Polish"},
    {"Zdjęcie", "Photo", "Polish"},
    {"Płeć", "Ignore", "Polish"},

    // Russian.
    {"Имя", "First Name", "Russian"},
    {"Фамилия", "Last Name", "Russian"},
    {"Отчество", "Middle Initial", "Russian"},  // the patronymic: N's middle part
    {"Обращение", "Title", "Russian"},
    {"Дата рождения", "Birthday", "Russian"},
    {"День рождения", "Birthday", "Russian"},
    {"Электронная почта", "Email", "Russian"},
    {"Эл. почта", "Email", "Russian"},
    {"Телефон", "Home Voice", "Russian"},
    {"Домашний телефон", "Home Voice", "Russian"},
    {"Рабочий телефон", "Work Voice", "Russian"},
    {"Мобильный телефон", "Cellular", "Russian"},
    {"Мобильный", "Cellular", "Russian"},
    {"Факс", "Work Fax", "Russian"},
    {"Адрес", "Home Address", "Russian"},
    {"Улица", "Home Address", "Russian"},
    {"Город", "Home City", "Russian"},
    {"Индекс", "Home Zip", "Russian"},
    {"Почтовый индекс", "Home Zip", "Russian"},
    {"Страна", "Home Country", "Russian"},
    {"Область", "Home Region", "Russian"},
    {"Регион", "Home Region", "Russian"},
    {"Сайт", "Website Home", "Russian"},
    {"Веб-сайт", "Website Home", "Russian"},
    {"Организация", "Organization", "Russian"},
    {"Компания", "Organization", "Russian"},
    {"Отдел", "Department", "Russian"},
    {"Должность", "Job Title", "Russian"},
    {"Псевдоним", "Nickname", "Russian"},
    {"Годовщина", "Anniversary", "Russian"},
    {"Категории", "Categories", "Russian"},
    {"Группы", "Categories", "Russian"},
    {"Заметки", "Notes", "Russian"},
    {"Примечание", "Notes", "Russian"},
    {"Примечания", "Notes", "Russian"},
    {"Фото", "Photo", "Russian"},
    {"Пол", "Ignore", "Russian"},

    // Japanese.
    {"名", "First Name", "Japanese"},
    {"姓", "Last Name", "Japanese"},
    {"ミドルネーム", "Middle Initial", "Japanese"},
    {"敬称", "Title", "Japanese"},
    {"誕生日", "Birthday", "Japanese"},
    {"生年月日", "Birthday", "Japanese"},
    {"メールアドレス", "Email", "Japanese"},
    {"電子メール", "Email", "Japanese"},
    {"メール", "Email", "Japanese"},
    {"電話番号", "Home Voice", "Japanese"},
    {"電話", "Home Voice", "Japanese"},
    {"自宅電話", "Home Voice", "Japanese"},
    {"勤務先電話", "Work Voice", "Japanese"},
    {"携帯電話", "Cellular", "Japanese"},
    {"携帯", "Cellular", "Japanese"},
    {"ファックス", "Work Fax", "Japanese"},
    {"住所", "Home Address", "Japanese"},
    {"市区町村", "Home City", "Japanese"},
    {"都道府県", "Home Region", "Japanese"},
    {"郵便番号", "Home Zip", "Japanese"},
    {"国", "Home Country", "Japanese"},
    {"ホームページ", "Website Home", "Japanese"},
    {"会社", "Organization", "Japanese"},
    {"会社名", "Organization", "Japanese"},
    {"部署", "Department", "Japanese"},
    {"役職", "Job Title", "Japanese"},
    {"ニックネーム", "Nickname", "Japanese"},
    {"記念日", "Anniversary", "Japanese"},
    {"グループ", "Categories", "Japanese"},
    {"メモ", "Notes", "Japanese"},
    {"備考", "Notes", "Japanese"},
    {"写真", "Photo", "Japanese"},
    {"氏名", "Ignore", "Japanese"},
    {"性別", "Ignore", "Japanese"},

    // Chinese, simplified and traditional.
    {"姓名", "Ignore", "Chinese"},
    {"称谓", "Title", "Chinese"},
    {"生日", "Birthday", "Chinese"},
    {"出生日期", "Birthday", "Chinese"},
    {"电子邮件", "Email", "Chinese"},
    {"電子郵件", "Email", "Chinese"},
    {"邮箱", "Email", "Chinese"},
    {"电话", "Home Voice", "Chinese"},
    {"家庭电话", "Home Voice", "Chinese"},
    {"住宅电话", "Home Voice", "Chinese"},
    {"办公电话", "Work Voice", "Chinese"},
    {"工作电话", "Work Voice", "Chinese"},
    {"手机", "Cellular", "Chinese"},
    {"手機", "Cellular", "Chinese"},
    {"传真", "Work Fax", "Chinese"},
    {"傳真", "Work Fax", "Chinese"},
    {"地址", "Home Address", "Chinese"},
    {"城市", "Home City", "Chinese"},
    {"省份", "Home Region", "Chinese"},
    {"邮编", "Home Zip", "Chinese"},
    {"邮政编码", "Home Zip", "Chinese"},
    {"國家", "Home Country", "Chinese"},
    {"国家", "Home Country", "Chinese"},
    {"网站", "Website Home", "Chinese"},
    {"網站", "Website Home", "Chinese"},
    {"公司", "Organization", "Chinese"},
    {"部门", "Department", "Chinese"},
    {"部門", "Department", "Chinese"},
    {"职位", "Job Title", "Chinese"},
    {"職位", "Job Title", "Chinese"},
    {"昵称", "Nickname", "Chinese"},
    {"暱稱", "Nickname", "Chinese"},
    {"纪念日", "Anniversary", "Chinese"},
    {"分组", "Categories", "Chinese"},
    {"备注", "Notes", "Chinese"},
    {"備註", "Notes", "Chinese"},
    {"照片", "Photo", "Chinese"},
    {"性别", "Ignore", "Chinese"},
};

// Folded heading -> kind text: the kinds' own texts first, then the table.
const std::unordered_map<std::string, std::string_view>& FoldedHeadings() {
  static const auto* const folded = [] {
    auto* map = new std::unordered_map<std::string, std::string_view>;
    for (std::string_view kind : kFieldKindTexts) map->emplace(FoldHeading(kind), kind);
    for (const Heading& heading : kHeadings) map->emplace(FoldHeading(heading.text), heading.kind);
    return map;
  }();
  return *folded;
}

}  // namespace

std::span<const Heading> HeadingTable() { return kHeadings; }

std::string FoldHeading(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(status);
  if (U_FAILURE(status)) return {};
  icu::UnicodeString folded =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size()))).foldCase();
  const icu::UnicodeString decomposed = nfkd->normalize(folded, status);
  if (U_FAILURE(status)) return {};
  icu::UnicodeString kept;
  for (int32_t i = 0; i < decomposed.length();) {
    const UChar32 c = decomposed.char32At(i);
    i += U16_LENGTH(c);
    if (u_charType(c) == U_NON_SPACING_MARK || !u_isalnum(c)) continue;
    kept.append(c);
  }
  std::string out;
  kept.toUTF8String(out);
  return out;
}

std::optional<std::string_view> HeadingKind(std::string_view heading) {
  const auto& folded = FoldedHeadings();
  const std::string key = FoldHeading(heading);
  if (key.empty()) return std::nullopt;
  const auto found = folded.find(key);
  if (found == folded.end()) return std::nullopt;
  // A kind of a later build proposes nothing until this build knows it.
  if (!FieldKindFromText(found->second)) return FieldKindText(FieldKind::kIgnore);
  return found->second;
}

namespace {

// Thunderbird's "Birth Day" (the day of the month; "Geburtstag" in German) folds like the
// kind "Birthday", or is the word for it: beside a "Birth Year" or "Birth Month" column, a
// heading that proposes a birthday is the day of that birthday.
void ProposeBirthDayOfMonth(std::vector<std::string>& kinds) {
  const auto proposes = [&](FieldKind kind) {
    return std::find(kinds.begin(), kinds.end(), FieldKindText(kind)) != kinds.end();
  };
  if (!proposes(FieldKind::kBirthYear) && !proposes(FieldKind::kBirthMonth)) return;
  for (std::string& kind : kinds) {
    if (kind == FieldKindText(FieldKind::kBirthday)) kind = FieldKindText(FieldKind::kBirthDayOfMonth);
  }
}

}  // namespace

HeadingProposal ProposeKinds(std::span<const std::string> first_row) {
  HeadingProposal proposal;
  std::size_t filled = 0;
  std::size_t known = 0;
  for (const std::string& cell : first_row) {
    const std::optional<std::string_view> kind = HeadingKind(cell);
    proposal.kinds.emplace_back(kind.value_or(FieldKindText(FieldKind::kIgnore)));
    if (!FoldHeading(cell).empty()) ++filled;
    if (kind) ++known;
  }
  proposal.reads_as_headings = known >= 2 && 2 * known >= filled;
  ProposeBirthDayOfMonth(proposal.kinds);
  return proposal;
}

std::string HeadingSetKey(std::span<const std::string> first_row) {
  // FNV-1a over the folded cells, each closed by a separator no folded text holds.
  std::uint64_t hash = 14695981039346656037ULL;
  const auto mix = [&hash](unsigned char byte) {
    hash ^= byte;
    hash *= 1099511628211ULL;
  };
  for (const std::string& cell : first_row) {
    for (const char c : FoldHeading(cell)) mix(static_cast<unsigned char>(c));
    mix(0x1F);
  }
  std::array<char, 17> hex{};
  std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(hash));
  return std::string(hex.data(), 16);
}

}  // namespace cw::mapping
