// vcfexport [--vcard 2.1|3.0|4.0] [--one-file] WORKBOOK ADDRESS OUTDIR ansi|utf8 KIND...
// vcfexport --propose WORKBOOK ADDRESS
// Runs the export of the save buttons from the command line: the column list holds one line
// per KIND (field-kind texts as the chooser shows them, "Ignore" included); --vcard and
// --one-file are the output choice beside the buttons (2.1, one file per row by default). Failure reports
// go to stderr as the error box shows them, each followed by a line of dashes; the run's
// final message goes to stdout. Exit 0 when the run reached its final message.
// --propose prints, one line per block column, the kind its heading in the block's first row
// proposes ("Ignore" when none), as the window proposes it on a block pick; when that row reads
// as headings, stderr says which block leaves it out.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "mapping/column_list.h"
#include "run/export_run.h"
#include "run/heading_row.h"
#include "run/malloc_arenas.h"
#include "run/regional_settings.h"
#include "run/statements.h"

namespace {

using namespace cw::run;
using cw::vcard::ExportEncoding;

class ConsoleMessages : public MessageSink {
 public:
  MessageAnswer Show(std::string_view text, std::string_view, MessageIcon, MessageButtons) override {
    std::cout << text << '\n' << std::flush;
    ++shown;
    return MessageAnswer::kOk;
  }
  int shown = 0;
};

class ConsoleReporter : public FailureReporter {
 public:
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override {
    std::cerr << ApplicationErrorText(location, statement, description) << '\n'
              << std::string(60, '-') << '\n'
              << std::flush;
  }
};

class NoPointer : public PointerControl {
 public:
  PointerSetting Pointer() const override { return setting_; }
  void SetPointer(PointerSetting setting) override { setting_ = setting; }

 private:
  PointerSetting setting_ = PointerSetting::kDefault;
};

}  // namespace

int Propose(const std::string& workbook_path, const std::string& address) {
  const RegionalSettings regional = RegionalSettings::FromEnvironment();
  // A text file is read in the code page of the user's locale, as the export and the window read it.
  cw::sheet::Application application(regional.format, regional.read);
  try {
    const BlockHeadings headings = ReadBlockHeadings(application.Open(workbook_path), address);
    for (const std::string& kind : headings.proposal.kinds) std::cout << kind << '\n';
    if (headings.address_below) {
      std::cerr << "vcfexport: the first row reads as headings; " << *headings.address_below
                << " is the block without it\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "vcfexport: " << workbook_path << ": " << FailureInWords(e) << '\n';
    return 1;
  }
  return 0;
}

int Export(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: vcfexport [--vcard 2.1|3.0|4.0] [--one-file] WORKBOOK ADDRESS OUTDIR ansi|utf8 KIND...\n"
      "       vcfexport --propose WORKBOOK ADDRESS\n";
  std::vector<std::string> args(argv + 1, argv + argc);
  cw::vcard::VCardVersion version = cw::vcard::VCardVersion::k21;
  bool one_file = false;
  std::size_t at = 0;
  for (; at < args.size() && args[at].starts_with("--"); ++at) {
    if (args[at] == "--one-file") {
      one_file = true;
    } else if (args[at] == "--vcard" && at + 1 < args.size()) {
      const auto chosen = cw::vcard::VersionFromOption(args[++at]);
      if (!chosen) {
        std::cerr << "vcfexport: the vCard version is 2.1, 3.0 or 4.0, not " << args[at] << '\n';
        return 2;
      }
      version = *chosen;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(at));
  if (args.size() < 4) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string& encoding_name = args[3];
  if (encoding_name != "ansi" && encoding_name != "utf8") {
    std::cerr << "vcfexport: the encoding is ansi or utf8, not " << encoding_name << '\n';
    return 2;
  }
  const ExportEncoding encoding = encoding_name == "ansi" ? ExportEncoding::Ansi : ExportEncoding::Utf8;
  if (const auto problem = ExportChoiceProblem(encoding, version)) {
    std::cerr << "vcfexport: " << *problem << '\n';
    return 2;
  }
  cw::mapping::ColumnList columns;
  columns.FillColumnList(args.size() - 4);
  for (std::size_t i = 4; i < args.size(); ++i) columns.SetType(i - 3, args[i]);

  const RegionalSettings regional = RegionalSettings::FromEnvironment();
  const auto engine = MakeSheetEngine(regional.format, regional.read);
  ConsoleMessages messages;
  ConsoleReporter reporter;
  SystemClock clock;
  NoPointer pointer;
  ExportServices services{messages, reporter, clock, pointer, *engine, regional.code_page, regional.dates};
  const ExportInputs inputs{args[0], args[1], columns, args[2], version, one_file};
  ExportRun(encoding, inputs, services);
  return messages.shown > 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  cw::run::LimitMallocArenas();
  // The run reports its own failures; one that escapes it still ends in words, never an abort.
  try {
    if (argc >= 2 && std::string_view(argv[1]) == "--propose") {
      if (argc != 4) {
        std::fputs("usage: vcfexport --propose WORKBOOK ADDRESS\n", stderr);
        return 2;
      }
      return Propose(argv[2], argv[3]);
    }
    return Export(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", cw::run::FailureInWords(e));
  } catch (...) {
    std::fputs("The export stopped: an unexpected failure ended it.\n", stderr);
  }
  return 1;
}
