#include "bench/xlsx/contacts_workbook.h"

#include <xlsxwriter.h>

#include <array>
#include <stdexcept>
#include <string>

namespace cw::bench {
namespace {

constexpr std::array<const char*, 16> kFirst = {"Ann",  "Peter", "Maria", "John", "Laura", "Tom",    "Grace", "Omar",
                                                "Sven", "Priya", "Lucas", "Emma", "Noah",  "Olivia", "Liam",  "Chen"};
constexpr std::array<const char*, 8> kUnicodeFirst = {"Zoë",     "Łukasz", "山田 太郎", "Σοφία",
                                                      "Ярослав", "José",   "Françoise", "محمد"};
constexpr std::array<const char*, 16> kLast = {"Lee",   "Smith",  "Müller",  "Kim",    "García", "Novak",
                                               "Brown", "Rossi",  "Jensen",  "Patel",  "Dubois", "Nowak",
                                               "Silva", "Tanaka", "O'Brien", "Schmidt"};
constexpr std::array<const char*, 8> kCities = {"Boston", "München", "Kraków",  "São Paulo",
                                                "Osaka",  "Lyon",    "Toronto", "Αθήνα"};
constexpr std::array<const char*, 6> kCountries = {"USA", "Germany", "Poland", "Brazil", "Japan", "France"};
constexpr std::array<const char*, 5> kTitles = {"Dr.", "Mr.", "Ms.", "Prof.", "Mx."};
constexpr std::array<const char*, 12> kHeadings = {"First Name",   "Last Name",    "Email",     "Home Voice",
                                                   "Cellular",     "Home Address", "Home City", "Home Zip",
                                                   "Home Country", "Birthday",     "Title",     "Notes"};

void Check(lxw_error error, const char* what) {
  if (error != LXW_NO_ERROR) throw std::runtime_error(std::string(what) + ": " + lxw_strerror(error));
}

}  // namespace

std::vector<std::string> ContactsColumnKinds() { return {kHeadings.begin(), kHeadings.end()}; }

std::string ContactsLastColumnLetters() { return "L"; }

void WriteContactsWorkbook(const std::string& path, int rows) {
  lxw_workbook* book = workbook_new(path.c_str());
  if (!book) throw std::runtime_error("cannot create " + path);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Contacts");
  lxw_format* phone = workbook_add_format(book);
  format_set_num_format(phone, "(###) ###-####");
  lxw_format* zip = workbook_add_format(book);
  format_set_num_format(zip, "00000");
  lxw_format* date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd");
  lxw_format* wrap = workbook_add_format(book);
  format_set_text_wrap(wrap);

  for (lxw_col_t c = 0; c < kContactColumns; ++c)
    Check(worksheet_write_string(sheet, 0, c, kHeadings[c], nullptr), "heading");
  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFFFF;
  };
  for (int i = 0; i < rows; ++i) {
    const auto r = static_cast<lxw_row_t>(i + 1);
    const std::string first =
        (i % 7 == 3) ? kUnicodeFirst[next() % kUnicodeFirst.size()] : kFirst[next() % kFirst.size()];
    const std::string last = kLast[next() % kLast.size()];
    const std::string n = std::to_string(i + 1);
    Check(worksheet_write_string(sheet, r, 0, first.c_str(), nullptr), "first name");
    Check(worksheet_write_string(sheet, r, 1, last.c_str(), nullptr), "last name");
    Check(worksheet_write_string(sheet, r, 2, ("contact" + n + "@example.com").c_str(), nullptr), "email");
    Check(worksheet_write_number(sheet, r, 3, 5550000000.0 + next() % 10000000, phone), "phone");
    Check(
        worksheet_write_string(sheet, r, 4, ("+49 170 " + std::to_string(1000000 + next() % 9000000)).c_str(), nullptr),
        "cellular");
    Check(
        worksheet_write_string(sheet, r, 5, (n + " Main Street, Apt " + std::to_string(next() % 500)).c_str(), nullptr),
        "address");
    Check(worksheet_write_string(sheet, r, 6, kCities[next() % kCities.size()], nullptr), "city");
    Check(worksheet_write_number(sheet, r, 7, next() % 99999, zip), "zip");
    Check(worksheet_write_string(sheet, r, 8, kCountries[next() % kCountries.size()], nullptr), "country");
    Check(worksheet_write_number(sheet, r, 9, 18000 + next() % 20000, date), "birthday");
    Check(worksheet_write_string(sheet, r, 10, kTitles[next() % kTitles.size()], nullptr), "title");
    Check(worksheet_write_string(sheet, r, 11, ("Met at event " + n + "\nCall back in spring").c_str(), wrap), "notes");
  }
  Check(workbook_close(book), "closing the workbook");
}

}  // namespace cw::bench
