#include "run/export_run.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "run/record_writer.h"
#include "run/statements.h"
#include "vcard/vcard_record.h"

namespace cw::run {
namespace {

using mapping::FieldKind;
using vcard::ContactFields;
using vcard::ExportEncoding;

// The record's numbered steps run under the command's statement protocol.
class StatementSteps : public vcard::RecordSteps {
 public:
  explicit StatementSteps(Statements& statements) : statements_(statements) {}
  bool Test(int statement, const std::function<bool()>& test) override { return statements_.Test(statement, test); }
  bool Step(int statement, const std::function<void()>& step) override { return statements_.Step(statement, step); }

 private:
  Statements& statements_;
};

// What differs between the two save commands: texts and the numbers of the statements
// after the record's file statements, which shift by one file statement for UTF-8.
struct EncodingTable {
  std::string_view prefix;
  std::string_view location;
  int next_row;
  int pointer_default;
  int close_workbook;
  int quit;
  int release_block;  // then the workbook, then the instance, at +2 and +4
  int done_box;
  int file_not_found_box;
  int no_columns_box;
  FileStatements files;
};

constexpr EncodingTable kAnsi = {
    "ANSI_", "in Tabulon5/20/2014.Form1.PushButton1_Click ", 358, 360, 362, 364, 366, 372, 374, 376, {352, 354, 356}};
constexpr EncodingTable kUtf8 = {
    "UTF8_", "in Tabulon5/20/2014.Form1.PushButton3_Click ", 360, 362, 364, 366, 368, 374, 376, 378, {354, 356, 358}};

const EncodingTable& TableFor(ExportEncoding encoding) { return encoding == ExportEncoding::Ansi ? kAnsi : kUtf8; }

std::string TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

bool FolderExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

// Characters a file name may not hold on the systems the files travel to.
constexpr char kReplacedInBaseName[] = {'/', '\\', '*', ':', '?', '<', '>', '|'};

}  // namespace

std::string_view ExportLocation(ExportEncoding encoding) { return TableFor(encoding).location; }

void ExportRun(ExportEncoding encoding, const ExportInputs& inputs, ExportServices& services) {
  const EncodingTable& t = TableFor(encoding);
  RecordWriter writer(t.files, std::string(t.location));
  OrderedReporter reporter(services.reporter, writer);
  Statements s(reporter, t.location);
  StatementSteps steps(s);
  const auto message = [&](std::string_view text, std::string_view title, MessageIcon icon) {
    services.messages.Show(text, title, icon, MessageButtons::kOk);
  };

  if (!s.Test(100, [&] { return inputs.columns.Count() != 0; })) {
    s.Step(t.no_columns_box,
           [&] { message("No columns found in the list.", kApplicationTitle, MessageIcon::kExclamation); });
    return;
  }
  if (!s.Test(102, [&] { return FileExists(inputs.workbook_path); })) {
    s.Step(t.file_not_found_box,
           [&] { message(inputs.workbook_path + " file not found.", "File Not Found", MessageIcon::kExclamation); });
    return;
  }
  // Checked once here rather than failing twice for every row.
  if (!FolderExists(inputs.output_folder)) {
    message(inputs.output_folder + " folder not found.", "Folder Not Found", MessageIcon::kExclamation);
    return;
  }

  std::unique_ptr<SheetApplication> app;
  std::unique_ptr<SheetWorkbook> workbook;
  std::unique_ptr<SheetRange> block;
  std::uint32_t first_row = 0;
  std::uint32_t first_column = 0;
  std::uint32_t last_row = 0;
  std::uint32_t last_column = 0;

  // Opening, resolving and measuring the block: a failure here is reported once and the
  // run ends after closing what it opened.
  bool ready = true;
  s.Step(104, [&] { services.pointer.SetPointer(PointerSetting::kBusy); });
  ready = ready && s.Step(106, [&] { app = services.engine.OpenWorkbook(inputs.workbook_path); });
  s.Step(108, [&] { services.pointer.SetPointer(PointerSetting::kBusy); });
  ready = ready && s.Step(110, [&] { workbook = app->Workbooks(app->WorkbooksCount()); });
  s.Step(112, [&] { services.pointer.SetPointer(PointerSetting::kBusy); });
  ready = ready && s.Step(114, [&] { block = app->Range(inputs.block_address); });
  ready = ready && s.Step(116, [&] { last_row = block->LastRow(); });
  ready = ready && s.Step(118, [&] { last_column = block->LastColumn(); });

  // The block must have one column per list line; otherwise every row would be skipped.
  std::optional<std::string> mismatch;
  std::size_t row_count = 0;
  ready = ready && s.Step(120, [&] {
    first_row = block->Row();
    first_column = block->Column();
    row_count = last_row >= first_row ? last_row - first_row + 1 : 0;
  });
  if (ready) {
    const std::size_t block_columns = last_column >= first_column ? last_column - first_column + 1 : 0;
    if (block_columns != inputs.columns.Count()) {
      mismatch = "The marked block has " + std::to_string(block_columns) +
                 (block_columns == 1 ? " column" : " columns") + " but the column list has " +
                 std::to_string(inputs.columns.Count()) + (inputs.columns.Count() == 1 ? " line" : " lines") +
                 ". Mark the block again so that the list matches it. No files were written.";
      row_count = 0;
    }
  }

  // Each list line's kind, looked up once; a text that matches no kind reads nothing.
  std::vector<std::optional<FieldKind>> kinds;
  kinds.reserve(inputs.columns.Count());
  for (std::size_t j = 1; j <= inputs.columns.Count(); ++j) {
    auto kind = mapping::FieldKindFromText(inputs.columns.TypeOf(j));
    if (kind == FieldKind::kIgnore) kind.reset();
    kinds.push_back(kind);
  }

  ContactFields fields;
  for (std::size_t r = 0; r < row_count; ++r) {
    s.Step(122, [&] { fields.Clear(); });
    const bool skip = s.Test(174, [&] { return last_column - first_column + 1 != inputs.columns.Count(); });
    if (skip) continue;
    std::size_t line_count = 0;
    s.Step(176, [&] { line_count = inputs.columns.Count(); });
    for (std::size_t i = 1; i <= line_count && i <= kinds.size(); ++i) {
      const auto& kind = kinds[i - 1];
      if (!kind) continue;
      const int read_statement = 180 + 4 * (static_cast<int>(*kind) - 1);
      s.Step(read_statement, [&] {
        fields[*kind] = block->CellText(first_row + static_cast<std::uint32_t>(r),
                                        first_column + static_cast<std::uint32_t>(i) - 1);
      });
    }

    std::string base_name;
    const std::string row_number = std::to_string(r + 1);
    const bool unnamed = s.Test(
        280, [&] { return TrimSpaces(fields[FieldKind::kFirstName] + " " + fields[FieldKind::kLastName]).empty(); });
    if (unnamed) {
      s.Step(282, [&] { base_name = std::string(t.prefix) + "Row" + row_number; });
    } else {
      s.Step(284, [&] {
        base_name = std::string(t.prefix) + TrimSpaces(fields[FieldKind::kFirstName]) + " " +
                    TrimSpaces(fields[FieldKind::kLastName]) + "_Row" + row_number;
      });
    }
    int statement = 286;
    for (const char bad : kReplacedInBaseName) {
      s.Step(statement, [&] {
        for (char& c : base_name) {
          if (c == bad) c = ' ';
        }
      });
      statement += 2;
    }

    const std::string record = vcard::BuildVCardRecord(fields, services.clock.Now(), services.dates, &steps);

    // The file statements themselves run on the writer's thread (see RecordWriter).
    RecordWriter::Job job;
    if (encoding == ExportEncoding::Ansi) {
      s.Step(350, [&] { job.path = inputs.output_folder + "/" + base_name + ".vcf"; });
      try {
        job.bytes = services.code_page.Encode(record) + "\r\n";
      } catch (const std::exception& e) {
        job.bytes_error = e.what();
      }
    } else {
      s.Step(350, [&] { job.bytes = vcard::EncodeUtf8(record); });
      s.Step(352, [&] { job.bytes.insert(0, vcard::kUtf8ByteOrderMark); });
      job.path = inputs.output_folder + "/" + base_name + ".vcf";
      job.bytes += "\r\n";
    }
    writer.Submit(std::move(job));
    reporter.Flush(t.location, /*wait=*/false);
  }
  reporter.Flush(t.location, /*wait=*/true);

  s.Step(t.pointer_default, [&] { services.pointer.SetPointer(PointerSetting::kDefault); });
  if (workbook) s.Step(t.close_workbook, [&] { workbook->Close(); });
  if (app) s.Step(t.quit, [&] { app->Quit(); });
  s.Step(t.release_block, [&] { block.reset(); });
  s.Step(t.release_block + 2, [&] { workbook.reset(); });
  s.Step(t.release_block + 4, [&] { app.reset(); });
  if (!ready) return;
  if (mismatch) {
    message(*mismatch, kApplicationTitle, MessageIcon::kExclamation);
    return;
  }
  s.Step(t.done_box, [&] { message("Done.", kApplicationTitle, MessageIcon::kNone); });
}

}  // namespace cw::run
