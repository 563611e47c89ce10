// make_contacts_workbook PATH ROWS: writes the benchmarks' contacts workbook (see
// bench/xlsx/contacts_workbook.h) for tests that run the tools on a real workbook, and prints
// its column kinds, one a line, as vcfexport takes them.
#include <cstdio>
#include <exception>
#include <string>

#include "bench/xlsx/contacts_workbook.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_contacts_workbook PATH ROWS\n", stderr);
    return 2;
  }
  try {
    cw::bench::WriteContactsWorkbook(argv[1], std::stoi(argv[2]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  for (const auto& kind : cw::bench::ContactsColumnKinds()) std::printf("%s\n", kind.c_str());
  return 0;
}
