// vcfexport WORKBOOK ADDRESS OUTDIR ansi|utf8 KIND...
// Runs the export of the save buttons from the command line: the column list holds one line
// per KIND (field-kind texts as the chooser shows them, "Ignore" included). Failure reports
// go to stderr as the error box shows them, each followed by a line of dashes; the run's
// final message goes to stdout. Exit 0 when the run reached its final message.
#include <cstdio>
#include <iostream>
#include <string>

#include "mapping/column_list.h"
#include "run/export_run.h"
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

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: vcfexport WORKBOOK ADDRESS OUTDIR ansi|utf8 KIND...\n";
    return 2;
  }
  const std::string encoding_name = argv[4];
  if (encoding_name != "ansi" && encoding_name != "utf8") {
    std::cerr << "vcfexport: the encoding is ansi or utf8, not " << encoding_name << '\n';
    return 2;
  }
  cw::mapping::ColumnList columns;
  columns.FillColumnList(argc - 5);
  for (int i = 5; i < argc; ++i) columns.SetType(static_cast<std::size_t>(i - 4), argv[i]);

  const RegionalSettings regional = RegionalSettings::FromEnvironment();
  const auto engine = MakeSheetEngine(regional.format, regional.read);
  ConsoleMessages messages;
  ConsoleReporter reporter;
  SystemClock clock;
  NoPointer pointer;
  ExportServices services{messages, reporter, clock, pointer, *engine, regional.code_page, regional.dates};
  const ExportInputs inputs{argv[1], argv[2], columns, argv[3]};
  ExportRun(encoding_name == "ansi" ? ExportEncoding::Ansi : ExportEncoding::Utf8, inputs, services);
  return messages.shown > 0 ? 0 : 1;
}
