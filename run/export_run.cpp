#include "run/export_run.h"

#include <nettle/sha1.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "run/column_meanings.h"
#include "run/one_file_writer.h"
#include "run/photo_file.h"
#include "run/record_writer.h"
#include "run/statements.h"
#include "vcard/vcard_line.h"
#include "vcard/vcard_record.h"

namespace cw::run {
namespace {

using mapping::FieldKind;
using vcard::ContactFields;
using vcard::ExportEncoding;

// What differs between the two save commands: texts and the numbers of the statements
// after the record's file statements, which shift by one file statement for UTF-8. (The
// step to the next row, 358 / 360, holds nothing that can fail, so it has no field.)
struct EncodingTable {
  std::string_view prefix;
  std::string_view location;
  int pointer_default;
  int close_workbook;
  int quit;
  int release_block;  // then the workbook, then the instance, at +2 and +4
  int done_box;
  int file_not_found_box;
  int no_columns_box;
  // The statements before the file statements: Ansi forms the path (350) and converts the
  // record as it writes it; Utf8 makes the bytes, UTF-8 and byte-order mark (350 to 352), and
  // forms the path as it creates the file. 0: no statement of its own.
  int form_path;
  int make_bytes;
  FileStatements files;
};

constexpr EncodingTable kAnsi = {.prefix = "ANSI_",
                                 .location = "in Tabulon5/20/2014.Form1.PushButton1_Click ",
                                 .pointer_default = 360,
                                 .close_workbook = 362,
                                 .quit = 364,
                                 .release_block = 366,
                                 .done_box = 372,
                                 .file_not_found_box = 374,
                                 .no_columns_box = 376,
                                 .form_path = 350,
                                 .make_bytes = 0,
                                 .files = {352, 354, 356}};
constexpr EncodingTable kUtf8 = {.prefix = "UTF8_",
                                 .location = "in Tabulon5/20/2014.Form1.PushButton3_Click ",
                                 .pointer_default = 362,
                                 .close_workbook = 364,
                                 .quit = 366,
                                 .release_block = 368,
                                 .done_box = 374,
                                 .file_not_found_box = 376,
                                 .no_columns_box = 378,
                                 .form_path = 0,
                                 .make_bytes = 350,
                                 .files = {354, 356, 358}};

const EncodingTable& TableFor(ExportEncoding encoding) { return encoding == ExportEncoding::Ansi ? kAnsi : kUtf8; }

std::string TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

// Characters a file name may not hold on the systems the files travel to.
constexpr char kReplacedInBaseName[] = {'/', '\\', '*', ':', '?', '<', '>', '|'};

// Linux file systems hold names of up to 255 bytes.
constexpr std::size_t kMaxFileNameBytes = 255;
constexpr std::string_view kExtension = ".vcf";

// Control characters would cut the path (NUL) or hide in the name: they become spaces too.
void ReplaceControlCharacters(std::string& base_name) {
  for (char& c : base_name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
}

// Shortens the names part of `base_name`, the bytes [names_begin, names_end), on a character
// boundary, so that the base name and ".vcf" fit one file name.
void FitFileName(std::string& base_name, std::size_t names_begin, std::size_t names_end) {
  const std::size_t limit = kMaxFileNameBytes - kExtension.size();
  if (base_name.size() <= limit) return;
  std::size_t keep_end = names_end - std::min(names_end - names_begin, base_name.size() - limit);
  while (keep_end > names_begin && (static_cast<unsigned char>(base_name[keep_end]) & 0xC0) == 0x80) --keep_end;
  base_name.erase(keep_end, names_end - keep_end);
}

// A name-based (version 5) UUID of `name` in the URL namespace of RFC 4122, as
// "urn:uuid:xxxxxxxx-xxxx-5xxx-yxxx-xxxxxxxxxxxx": the same name gives the same UID in
// every run, so an address book that imports the file again updates its contacts.
std::string NameBasedUid(std::string_view name) {
  static constexpr std::uint8_t kUrlNamespace[16] = {0x6b, 0xa7, 0xb8, 0x11, 0x9d, 0xad, 0x11, 0xd1,
                                                     0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
  sha1_ctx context;
  sha1_init(&context);
  sha1_update(&context, sizeof kUrlNamespace, kUrlNamespace);
  sha1_update(&context, name.size(), reinterpret_cast<const std::uint8_t*>(name.data()));
  std::uint8_t digest[SHA1_DIGEST_SIZE];
  sha1_digest(&context, sizeof digest, digest);
  digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | 0x50);
  digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string uid = "urn:uuid:";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) uid += '-';
    uid += kHex[digest[i] >> 4];
    uid += kHex[digest[i] & 0x0F];
  }
  return uid;
}

// The workbook's file name without its folder and its last extension: "contacts" for
// "/home/ann/contacts.xlsx".
std::string WorkbookBaseName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// How a folder the files cannot go to is told to the user: text and title; nothing for a
// usable one.
std::optional<std::pair<std::string, std::string>> OutputFolderProblem(const std::string& folder) {
  constexpr std::string_view kChoose = "Choose the folder the files are to be saved in.";
  if (folder.empty()) {
    return {{"No output folder is given. Type or choose the folder the files are to be saved in.", "Output Folder"}};
  }
  switch (KindOfPath(folder)) {
    case PathKind::kFolder:
      break;
    case PathKind::kNothing:
      return {{folder + " folder not found.", "Folder Not Found"}};
    case PathKind::kFile:
      return {{folder + " is a file, not a folder. " + std::string(kChoose), "Output Folder"}};
    case PathKind::kOther:
      return {{folder + " is not a folder. " + std::string(kChoose), "Output Folder"}};
  }
  if (const auto why = vcard::FolderWriteProblem(folder)) {
    return {{"Files cannot be written in the folder " + folder + " (" + *why +
                 "). Choose another folder. Nothing was written.",
             "Output Folder"}};
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ExportChoiceProblem(ExportEncoding encoding, vcard::VCardVersion version) {
  if (encoding == ExportEncoding::Ansi && !vcard::RowOf(version).ansi_allowed) {
    return "vCard " + std::string(vcard::VersionText(version)) +
           " files are always written in UTF-8, which keeps every character: press \"Save As VCF (UTF8 "
           "Format)\". The ANSI file is vCard 2.1 only, for Outlook and other Windows address books.";
  }
  return std::nullopt;
}

namespace {

// The statement that reads the cell of a field kind: 180, 184, ... 276 for the original
// kinds; the kinds added after them read at 400, 404, ... 440, above every number the
// original gives (280 and on name the file).
int ReadStatement(FieldKind kind) {
  const int k = static_cast<int>(kind);
  return k < static_cast<int>(mapping::kOriginalFieldKindCount)
             ? 180 + 4 * (k - 1)
             : 400 + 4 * (k - static_cast<int>(mapping::kOriginalFieldKindCount));
}
// Reading the file a Photo cell names, after that cell's own read (440).
constexpr int kPhotoFileStatement = 442;

// The folder of the workbook's path, where a Photo cell's relative path starts.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// One run of a save command: its inputs, its outside world, and what its phases hand on.
class Run {
 public:
  Run(ExportEncoding encoding, const ExportInputs& inputs, ExportServices& services)
      : encoding_(encoding),
        t_(TableFor(encoding)),
        inputs_(inputs),
        services_(services),
        writer_(t_.files, std::string(t_.location)),
        reporter_(services.reporter, writer_),
        s_(reporter_, t_.location),
        steps_(s_) {}

  void Go() {
    if (const auto problem = ExportChoiceProblem(encoding_, inputs_.version)) {
      Message(*problem, kApplicationTitle, MessageIcon::kExclamation);
      return;
    }
    if (!CheckInputs()) return;
    const bool ready = OpenAndMeasure();
    const std::size_t rows_done = WriteRows();
    CloseAll();
    if (!ready || read_failed_) return;
    if (mismatch_) {
      Message(*mismatch_, kApplicationTitle, MessageIcon::kExclamation);
    } else if (const auto stop = writer_.Stopped()) {
      Message(StoppedText(*stop), kApplicationTitle, MessageIcon::kExclamation);
    } else if (one_file_failure_) {
      Message(*one_file_failure_, kApplicationTitle, MessageIcon::kExclamation);
    } else if (rows_done < row_count_) {
      Message(CancelledText(), kApplicationTitle, MessageIcon::kNone);
    } else if (!rows_short_of_memory_.empty()) {
      Message(ShortOfMemoryText(), kApplicationTitle, MessageIcon::kExclamation);
    } else if (row_count_ > 0 && blank_rows_ == row_count_) {
      Message("No contact was written: every cell of the block's mapped columns is empty.", kApplicationTitle,
              MessageIcon::kExclamation);
    } else if (unsound_) {
      // Never "Done." over data that fails its checksum.
      const std::size_t written = writer_.FilesWritten();
      Message(*unsound_ + " The workbook is damaged or was changed during the export. " + std::to_string(written) +
                  (written == 1 ? " file was" : " files were") + " written to " + inputs_.output_folder +
                  "; they may not match the workbook.",
              kApplicationTitle, MessageIcon::kExclamation);
    } else {
      s_.Step(t_.done_box, [&] { Message(DoneText(), kApplicationTitle, MessageIcon::kNone); });
    }
  }

 private:
  void Message(std::string_view text, std::string_view title, MessageIcon icon) {
    services_.messages.Show(text, title, icon, MessageButtons::kOk);
  }

  // The list, the workbook and the output folder, before anything is opened.
  bool CheckInputs() {
    if (!s_.Test(100, [&] { return inputs_.columns.Count() != 0; })) {
      s_.Step(t_.no_columns_box,
              [&] { Message("No columns found in the list.", kApplicationTitle, MessageIcon::kExclamation); });
      return false;
    }
    if (!s_.Test(102, [&] { return KindOfPath(inputs_.workbook_path) == PathKind::kFile; })) {
      s_.Step(t_.file_not_found_box, [&] {
        Message(inputs_.workbook_path + " file not found.", "File Not Found", MessageIcon::kExclamation);
      });
      return false;
    }
    // Checked once here rather than failing twice for every row.
    if (const auto problem = OutputFolderProblem(inputs_.output_folder)) {
      Message(problem->first, problem->second, MessageIcon::kExclamation);
      return false;
    }
    vcard::RemoveLeftoverTemporaries(inputs_.output_folder);
    // The Birthday and Anniversary columns whose dates a row's are (the rightmost, as for
    // their text), and the Photo column.
    for (std::size_t j = 1; j <= inputs_.columns.Count(); ++j) {
      const auto kind = mapping::FieldKindFromText(inputs_.columns.TypeOf(j));
      if (kind == FieldKind::kBirthday) birthday_line_ = j;
      if (kind == FieldKind::kAnniversary) anniversary_line_ = j;
      if (kind == FieldKind::kPhoto) photo_line_ = j;
    }
    FindColumnMeanings();
    return true;
  }

  // Opening, resolving and measuring the block: a failure here is reported once and the run
  // ends after closing what it opened. False when the rows cannot be walked.
  bool OpenAndMeasure() {
    bool ready = true;
    s_.Step(104, [&] { services_.pointer.SetPointer(PointerSetting::kBusy); });
    ready = ready && s_.Step(106, [&] { app_ = services_.engine.OpenWorkbook(inputs_.workbook_path); });
    s_.Step(108, [&] { services_.pointer.SetPointer(PointerSetting::kBusy); });
    ready = ready && s_.Step(110, [&] { workbook_ = app_->Workbooks(app_->WorkbooksCount()); });
    s_.Step(112, [&] { services_.pointer.SetPointer(PointerSetting::kBusy); });
    ready = ready && s_.Step(114, [&] { block_ = app_->Range(inputs_.block_address); });
    ready = ready && s_.Step(116, [&] { last_row_ = block_->LastRow(); });
    ready = ready && s_.Step(118, [&] { last_column_ = block_->LastColumn(); });
    ready = ready && s_.Step(120, [&] {
      sheet_index_ = block_->SheetIndex();
      first_row_ = block_->Row();
      first_column_ = block_->Column();
      row_count_ = last_row_ >= first_row_ ? last_row_ - first_row_ + 1 : 0;
    });
    if (!ready) {
      row_count_ = 0;
      return false;
    }
    // The block must have one column per list line; otherwise every row would be skipped.
    const std::size_t block_columns = last_column_ >= first_column_ ? last_column_ - first_column_ + 1 : 0;
    const std::size_t lines = inputs_.columns.Count();
    // A list of "Ignore" only would give a blank card per row.
    bool any_field = false;
    for (std::size_t j = 1; j <= lines; ++j) {
      const auto kind = mapping::FieldKindFromText(inputs_.columns.TypeOf(j));
      any_field = any_field || (kind && *kind != FieldKind::kIgnore);
    }
    if (block_columns != lines) {
      mismatch_ = "The marked block has " + std::to_string(block_columns) +
                  (block_columns == 1 ? " column" : " columns") + " but the column list has " + std::to_string(lines) +
                  (lines == 1 ? " line" : " lines") +
                  ". Mark the block again so that the list matches it. No files were written.";
      row_count_ = 0;
    } else if (!any_field) {
      mismatch_ =
          "Every column of the list is \"Ignore\", so the rows hold no contact field. Choose the field of at least one "
          "column. Nothing was written.";
      row_count_ = 0;
    }
    return true;
  }

  // Every row of the block: its fields, its base name, its record, its file. Returns the
  // number of rows walked, fewer than the block's when the user cancelled.
  std::size_t WriteRows() {
    // Each list line's kind, looked up once; a text that matches no kind reads nothing.
    std::vector<std::optional<FieldKind>> kinds;
    kinds.reserve(inputs_.columns.Count());
    for (std::size_t j = 1; j <= inputs_.columns.Count(); ++j) {
      auto kind = mapping::FieldKindFromText(inputs_.columns.TypeOf(j));
      if (kind == FieldKind::kIgnore) kind.reset();
      kinds.push_back(kind);
    }
    // A column of a multi-valued kind that a later column carries too keeps its value beside.
    std::vector<bool> earlier(kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      if (!kinds[i] || !vcard::MultiValued(*kinds[i])) continue;
      earlier[i] = std::find(kinds.begin() + static_cast<std::ptrdiff_t>(i) + 1, kinds.end(), kinds[i]) != kinds.end();
    }

    // The rows come as a stream when the engine offers one (the sheet is parsed as the rows
    // are taken, while the writer's thread creates the files of the rows before); else cell
    // by cell through CellText.
    std::vector<bool> wanted(kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) wanted[i] = kinds[i].has_value();
    if (row_count_ > 0 && std::find(wanted.begin(), wanted.end(), true) != wanted.end()) {
      try {
        rows_ = block_->Rows(std::move(wanted));
        streaming_ = rows_ != nullptr;
      } catch (const std::exception& e) {
        streaming_ = true;
        read_error_ = FailureInWords(e);
      }
    }

    if (inputs_.one_file && row_count_ > 0) OpenOneFile();
    ContactFields fields;
    std::size_t r = 0;
    for (; r < row_count_; ++r) {
      if (services_.progress && services_.progress->CancelRequested()) break;
      if (writer_.Stopped() || one_file_failure_ || (one_writer_ && one_writer_->Failed())) break;
      const std::size_t out_of_memory = s_.OutOfMemoryFailures();
      WriteRow(r, kinds, earlier, fields);
      if (s_.OutOfMemoryFailures() != out_of_memory) rows_short_of_memory_.push_back(r + 1);
      if (read_failed_) break;
      reporter_.Flush(t_.location, /*wait=*/false);
      if (services_.progress) services_.progress->RowsDone(r + 1, row_count_);
    }
    if (rows_ && r == row_count_ && !read_failed_) {
      try {
        rows_->Finish();  // the rest of the sheet's data, checked to its end
      } catch (const std::exception& e) {
        unsound_ = FailureInWords(e);
      }
    }
    rows_.reset();  // before the workbook closes
    reporter_.Flush(t_.location, /*wait=*/true);
    // A workbook that failed its checksum gives no one file: it would hold rows of unsound data;
    // nor does a block of blank rows, which holds no contact.
    CloseOneFile(r == row_count_ && !read_failed_ && !unsound_ && blank_rows_ < r);
    return r;
  }

  // One file for all rows: its name from the workbook's, made before the first row so that a
  // folder that refuses it is told once, not once per row.
  void OpenOneFile() {
    std::string base_name = std::string(t_.prefix) + WorkbookBaseName(inputs_.workbook_path);
    for (char& c : base_name) {
      for (const char bad : kReplacedInBaseName) {
        if (c == bad) c = ' ';
      }
    }
    ReplaceControlCharacters(base_name);
    FitFileName(base_name, t_.prefix.size(), base_name.size());
    one_file_path_ = inputs_.output_folder + "/" + base_name + std::string(kExtension);
    vcard::RecordFile file;
    if (!s_.Step(t_.files.create, [&] { file = vcard::RecordFile::Create(one_file_path_); })) {
      OneFileFailed();
      return;
    }
    one_writer_ = std::make_unique<OneFileWriter>(
        OneFileWriter::Setup{encoding_, inputs_.version, services_.code_page, services_.dates, t_.make_bytes,
                             t_.files.write, std::string(t_.location)},
        std::move(file));
    reporter_.Add(*one_writer_);
  }

  // The one file gets its name only when every row is in it; else it vanishes unseen.
  void CloseOneFile(bool complete) {
    if (!one_writer_) return;
    reporter_.Flush(t_.location, /*wait=*/true);
    rows_losing_characters_ += one_writer_->RowsLosingCharacters();
    for (const std::size_t row : one_writer_->RowsShortOfMemory()) rows_short_of_memory_.push_back(row);
    const bool written = complete && !one_writer_->Failed() &&
                         s_.Step(t_.files.write, [&] { one_writer_->WriteRest(); }) &&
                         s_.Step(t_.files.close, [&] { one_writer_->Close(); });
    reporter_.Remove(*one_writer_);
    one_writer_.reset();
    if (complete && !written) OneFileFailed();
  }

  // The one file is given up: what was written of it vanishes, and the run ends saying so.
  void OneFileFailed() {
    one_file_failure_ = "The file " + one_file_path_ + " could not be written, so none of the " +
                        std::to_string(row_count_) + (row_count_ == 1 ? " row was" : " rows were") +
                        " saved. The report before this message says why.";
  }

  // Takes row r's texts from the stream; a row the stream cannot give leaves the error that
  // the row's first cell read reports.
  void TakeStreamRow() {
    if (read_error_) return;
    try {
      if (!rows_->NextRow(row_texts_)) row_texts_.clear();  // a block longer than promised reads empty
    } catch (const std::exception& e) {
      read_error_ = FailureInWords(e);
    }
  }

  void WriteRow(std::size_t r, const std::vector<std::optional<FieldKind>>& kinds, const std::vector<bool>& earlier,
                ContactFields& fields) {
    s_.Step(122, [&] { fields.Clear(); });
    if (streaming_) TakeStreamRow();
    const bool skip = s_.Test(174, [&] { return last_column_ - first_column_ + 1 != inputs_.columns.Count(); });
    if (skip) return;
    std::size_t line_count = 0;
    s_.Step(176, [&] { line_count = inputs_.columns.Count(); });
    bool all_read = true;
    for (std::size_t i = 1; i <= line_count && i <= kinds.size(); ++i) {
      const auto& kind = kinds[i - 1];
      if (!kind) continue;
      all_read &= s_.Step(ReadStatement(*kind), [&] {
        if (labels_) {
          // The kinds of a row's values follow its labels, so their order is the row's own.
          Place(r, *kind, typed_by_[i - 1], TakeCellText(r, i), fields);
        } else if (earlier[i - 1]) {
          // An earlier column of a kind several columns carry: kept beside the last one's.
          fields.AddEarlier(*kind, TakeCellText(r, i));
        } else if (!streaming_ || read_error_) {
          std::string text = TakeCellText(r, i);
          Keep(fields[*kind], text);
        } else {
          // Swapped, not moved: the stream fills the same buffers again for the next row. (A
          // cell past the row's end is empty: the field is already.)
          if (i <= row_texts_.size()) Keep(fields[*kind], row_texts_[i - 1]);
          // One damaged cell is reported here, under its own read, and the row goes on.
          if (rows_) {
            if (auto why = rows_->ErrorOf(i - 1)) throw std::runtime_error(*why);
          }
        }
      });
      if (read_failed_) return;
    }
    if (!joined_kinds_.empty()) SplitJoinedValues(r, fields);
    if (!preferred_.empty()) MarkPreferred(fields);
    if (birth_parts_) CombineBirthParts(r, fields);

    // A row with nothing in its mapped cells holds no contact: no blank card, and the final
    // message counts it. (A row with a cell that could not be read is not known to be empty:
    // it is written as the statements run, its failure reported.)
    if (all_read && vcard::RowIsBlank(fields)) {
      ++blank_rows_;
      return;
    }
    WriteRecord(r, fields);
  }

  // The columns whose meaning goes beyond their cell (column_meanings.h), found once.
  void FindColumnMeanings() {
    const mapping::ColumnList& columns = inputs_.columns;
    typed_by_.assign(columns.Count(), std::nullopt);
    // The multi-valued kinds a row's values may take: the columns' own, and every kind a label
    // may give.
    const auto may_join = [this](FieldKind kind) {
      if (vcard::MultiValued(kind) &&
          std::find(joined_kinds_.begin(), joined_kinds_.end(), kind) == joined_kinds_.end()) {
        joined_kinds_.push_back(kind);
      }
    };
    for (std::size_t j = 1; j <= columns.Count(); ++j) {
      const auto kind = mapping::FieldKindFromText(columns.TypeOf(j));
      if (!kind) continue;
      if (const auto family = mapping::LabelFamilyOf(*kind)) {
        labels_ = true;
        for (const std::size_t typed : columns.TypedByLabel(j)) typed_by_[typed - 1] = *kind;
        for (std::size_t k = 1; k < mapping::kFieldKindCount; ++k) {
          if (mapping::InLabelFamily(*family, static_cast<FieldKind>(k))) may_join(static_cast<FieldKind>(k));
        }
      }
      may_join(*kind);
      if (*kind == FieldKind::kBirthYear || *kind == FieldKind::kBirthMonth || *kind == FieldKind::kBirthDayOfMonth) {
        birth_parts_ = true;
      }
    }
  }

  // The text of list line i's cell in row r, taken as the row's other cells are.
  std::string TakeCellText(std::size_t r, std::size_t i) {
    if (!streaming_) {
      return block_->CellText(first_row_ + static_cast<std::uint32_t>(r),
                              first_column_ + static_cast<std::uint32_t>(i) - 1);
    }
    if (read_error_) {
      // The sheet's data is damaged at this row: reported once, at this cell; the rows
      // before are written, and the run stops here as a failed open does.
      read_failed_ = true;
      throw std::runtime_error(*read_error_);
    }
    std::string text;
    if (i <= row_texts_.size()) text = std::move(row_texts_[i - 1]);
    if (rows_) {
      if (auto why = rows_->ErrorOf(i - 1)) throw std::runtime_error(*why);
    }
    return text;
  }

  // A cell's value in a block with label columns. A column typed by the label line before it
  // takes the kind its row's label gives ("Mobile": Cellular), else its own. A second value of
  // a multi-valued kind goes beside the first, in column order; of another kind the last
  // wins, as without labels, and a typed one says so.
  void Place(std::size_t r, FieldKind column_kind, std::optional<FieldKind> label_kind, std::string text,
             ContactFields& fields) {
    FieldKind kind = column_kind;
    if (label_kind) {
      if (text.empty()) return;
      const auto family = mapping::LabelFamilyOf(*label_kind);
      const LabelMeaning meaning = ReadLabel(*family, fields[*label_kind]);
      if (meaning.kind) {
        kind = *family == mapping::LabelFamily::kAddress ? MoveAddressKind(column_kind, *meaning.kind) : *meaning.kind;
      }
      if (meaning.preferred && vcard::MultiValued(kind)) {
        // Its first value, found among the kind's values once the row is whole.
        std::string_view first = text;
        first = first.substr(0, first.find(kValueSeparator));
        preferred_.emplace_back(kind, std::string(first));
      }
    }
    if (!vcard::MultiValued(kind)) {
      if (label_kind && !fields[kind].empty()) {
        notes_.Add(r + 1, "two values for " + std::string(mapping::FieldKindText(kind)) + "; the last is kept");
      }
      fields[kind] = std::move(text);
    } else if (text.empty()) {
      // An empty cell replaces no value.
    } else if (fields[kind].empty()) {
      fields[kind] = std::move(text);
    } else {
      fields.AddEarlier(kind, std::move(fields[kind]));
      fields[kind] = std::move(text);
    }
  }

  // The values a label marked preferred ("* Mobile"), by their place among their kind's.
  void MarkPreferred(ContactFields& fields) {
    for (const auto& [kind, value] : preferred_) {
      std::size_t ordinal = 0;
      std::optional<std::size_t> found;
      for (const ContactFields::Earlier& e : fields.EarlierValues()) {
        if (e.kind != kind) continue;
        if (!found && e.value == value) found = ordinal;
        ++ordinal;
      }
      if (!found && fields[kind] == value) found = ordinal;
      if (found) fields.MarkPreferred(kind, *found);
    }
    preferred_.clear();
  }

  // Google's " ::: " between several values of one field in one cell: each a value of its own
  // where the version writes several (in column order), the first alone in vCard 2.1, which
  // keeps one per kind. Categories go on one line in every version, so all are kept.
  void SplitJoinedValues(std::size_t r, ContactFields& fields) {
    const bool repeats = vcard::RulesFor(inputs_.version).repeats;
    const auto joins = [](const std::string& value) { return value.find(kValueSeparator) != std::string::npos; };
    bool any = false;
    for (const ContactFields::Earlier& e : fields.EarlierValues()) any = any || joins(e.value);
    for (const FieldKind kind : joined_kinds_) any = any || joins(fields[kind]);
    if (!any) return;
    std::vector<ContactFields::Earlier> earlier(fields.EarlierValues().begin(), fields.EarlierValues().end());
    std::vector<std::pair<FieldKind, std::size_t>> cut;  // kinds whose values 2.1 cut, with how many
    const auto split = [&](FieldKind kind, const std::string& value, const auto& each) {
      if (kind == FieldKind::kCategories) {
        std::string joined;
        ForEachJoinedValue(value,
                           [&](std::string_view part) { joined += (joined.empty() ? "" : ",") + std::string(part); });
        each(std::move(joined));
        return;
      }
      std::size_t count = 0;
      ForEachJoinedValue(value, [&](std::string_view part) {
        if (repeats || count == 0) each(std::string(part));
        ++count;
      });
      if (count > 1 && !repeats) cut.emplace_back(kind, count);
    };
    std::vector<ContactFields::Earlier> rebuilt;
    for (ContactFields::Earlier& e : earlier) {
      if (!joins(e.value)) {
        rebuilt.push_back(std::move(e));
        continue;
      }
      split(e.kind, e.value, [&](std::string part) { rebuilt.push_back({e.kind, std::move(part)}); });
    }
    std::vector<std::pair<FieldKind, std::string>> last;
    for (const FieldKind kind : joined_kinds_) {
      if (!joins(fields[kind])) continue;
      std::vector<std::string> parts;
      split(kind, fields[kind], [&](std::string part) { parts.push_back(std::move(part)); });
      for (std::size_t p = 0; p + 1 < parts.size(); ++p) rebuilt.push_back({kind, std::move(parts[p])});
      last.emplace_back(kind, parts.empty() ? std::string() : std::move(parts.back()));
    }
    const std::vector<std::pair<FieldKind, std::string>> kept = [&] {
      std::vector<std::pair<FieldKind, std::string>> values;
      for (std::size_t k = 1; k < mapping::kFieldKindCount; ++k) {
        const auto kind = static_cast<FieldKind>(k);
        values.emplace_back(kind, std::move(fields[kind]));
      }
      return values;
    }();
    fields.Clear();
    for (const auto& [kind, value] : kept) fields[kind] = value;
    for (auto& [kind, value] : last) fields[kind] = std::move(value);
    for (ContactFields::Earlier& e : rebuilt) fields.AddEarlier(e.kind, std::move(e.value));
    for (const auto& [kind, count] : cut) {
      notes_.Add(r + 1, std::string(mapping::FieldKindText(kind)) + " holds " + std::to_string(count) +
                            " values joined by \" ::: \"; vCard 2.1 keeps the first");
    }
  }

  // Thunderbird's birth year, month and day of month: one birthday, when no Birthday cell
  // gives one.
  void CombineBirthParts(std::size_t r, ContactFields& fields) {
    const auto date = BirthdayFromParts(services_.dates, fields[FieldKind::kBirthYear], fields[FieldKind::kBirthMonth],
                                        fields[FieldKind::kBirthDayOfMonth], r + 1, notes_);
    if (date && fields[FieldKind::kBirthday].empty()) {
      // The text stands for the date, which the record takes as it is.
      fields[FieldKind::kBirthday] = IsoDate(*date);
      birthday_of_parts_ = date;
    }
  }

  // Puts a column's text in its kind's field, swapping buffers. A blank text never replaces
  // what an earlier column of the same kind gave.
  static void Keep(std::string& field, std::string& text) {
    if (!vcard::IsBlank(text) || vcard::IsBlank(field)) field.swap(text);
  }

  // The row's record and its file, from the fields read.
  void WriteRecord(std::size_t r, ContactFields& fields) {
    // A row's own file name; the one file has its name from the workbook.
    const std::string base_name = inputs_.one_file ? std::string() : BaseName(r, fields);
    vcard::RecordOptions options;
    options.version = inputs_.version;
    if (encoding_ == ExportEncoding::Ansi) options.ansi_code_page = &services_.code_page;
    std::size_t lost = 0;
    options.lost_characters = &lost;
    std::string uid;
    if (vcard::WritesUid(inputs_.version)) {
      uid = NameBasedUid("cardwright:" + WorkbookBaseName(inputs_.workbook_path) + ":" + std::to_string(sheet_index_) +
                         ":" + std::to_string(first_row_ + r));
      options.uid = uid;
    }
    if (birthday_of_parts_) {
      options.birthday_date = std::exchange(birthday_of_parts_, std::nullopt);
    } else if (birthday_line_ && !fields[FieldKind::kBirthday].empty()) {
      options.birthday_date = CellDate(r, *birthday_line_, ReadStatement(FieldKind::kBirthday));
      if (!options.birthday_date) options.birthday_date = TextDate(birthday_column_, fields[FieldKind::kBirthday], r);
    }
    if (anniversary_line_ && !fields[FieldKind::kAnniversary].empty()) {
      options.anniversary_date = CellDate(r, *anniversary_line_, ReadStatement(FieldKind::kAnniversary));
      if (!options.anniversary_date) {
        options.anniversary_date = TextDate(anniversary_column_, fields[FieldKind::kAnniversary], r);
      }
    }
    std::optional<vcard::PhotoData> photo;
    if (photo_line_ && !fields[FieldKind::kPhoto].empty() && !vcard::IsPhotoUri(fields[FieldKind::kPhoto])) {
      s_.Step(kPhotoFileStatement,
              [&] { photo = ReadPhotoFile(fields[FieldKind::kPhoto], FolderOf(inputs_.workbook_path)); });
    }
    if (photo) options.photo = &*photo;
    if (inputs_.one_file) {
      // Composed and written on the one file's own thread.
      if (one_writer_) {
        one_writer_->Submit(fields, {options.birthday_date, options.anniversary_date, std::move(photo), std::move(uid),
                                     services_.clock.Now(), r + 1});
      }
      return;
    }
    // The record's lines report their own failures; one outside them (its text itself, out of
    // memory) loses the row's file, reported where its bytes are made.
    std::string record;
    if (!s_.Step(t_.make_bytes != 0 ? t_.make_bytes : t_.form_path, [&] {
          record = vcard::BuildVCardRecord(fields, services_.clock.Now(), services_.dates, &steps_, options);
        })) {
      return;
    }
    if (lost > 0) ++rows_losing_characters_;

    // The file statements themselves run on the writer's thread (see RecordWriter).
    RecordWriter::Job job;
    job.row = r + 1;
    const auto form_path = [&] { job.path = inputs_.output_folder + "/" + base_name + std::string(kExtension); };
    const auto make_bytes = [&] {
      job.bytes = vcard::RecordFileBytes(record, encoding_, inputs_.version, services_.code_page);
    };
    if (t_.form_path != 0) s_.Step(t_.form_path, form_path);
    if (t_.make_bytes != 0) s_.Step(t_.make_bytes, make_bytes);
    if (t_.form_path == 0) form_path();
    if (t_.make_bytes == 0) {
      // Converted as the write statement writes it: a failure is reported under that statement.
      try {
        make_bytes();
      } catch (const std::exception& e) {
        job.bytes_error = FailureInWords(e);
      }
    }
    writer_.Submit(std::move(job));
  }

  // The date a text cell of a Birthday or Anniversary column gives in row r, read in the
  // order the column's dates are written in. The column's other cells are learned the first
  // time a row needs it, so that a column of date cells costs no second reading.
  std::optional<vcard::Date> TextDate(const DateColumn& column, const std::string& text, std::size_t r) {
    if (!date_columns_learned_) {
      date_columns_learned_ = true;
      std::vector<std::pair<std::size_t, DateColumn*>> lines;
      if (birthday_line_) lines.emplace_back(*birthday_line_, &birthday_column_);
      if (anniversary_line_) lines.emplace_back(*anniversary_line_, &anniversary_column_);
      LearnDateColumns(services_.engine, inputs_.workbook_path, inputs_.block_address,
                       streaming_ ? nullptr : block_.get(), inputs_.columns.Count(), lines);
    }
    return column.Read(text, r + 1, notes_);
  }

  // The date the cell of list line `line` in row r holds, when it holds one, read under
  // `statement`.
  std::optional<vcard::Date> CellDate(std::size_t r, std::size_t line, int statement) {
    std::optional<vcard::Date> result;
    s_.Step(statement, [&] {
      if (streaming_) {
        if (rows_) {
          if (const auto date = rows_->DateOf(line - 1)) result = vcard::Date{date->year, date->month, date->day};
        }
      } else {
        result = block_->CellDate(first_row_ + static_cast<std::uint32_t>(r),
                                  first_column_ + static_cast<std::uint32_t>(line) - 1);
      }
    });
    return result;
  }

  // "ANSI_First Last_Row3", or "ANSI_Row3" for a row without names, with the characters a
  // file name may not hold replaced by spaces.
  std::string BaseName(std::size_t r, const ContactFields& fields) {
    std::string base_name;
    const std::string row_number = std::to_string(r + 1);
    const bool unnamed = s_.Test(
        280, [&] { return TrimSpaces(fields[FieldKind::kFirstName] + " " + fields[FieldKind::kLastName]).empty(); });
    if (unnamed) {
      s_.Step(282, [&] { base_name = std::string(t_.prefix) + "Row" + row_number; });
    } else {
      s_.Step(284, [&] {
        base_name = std::string(t_.prefix) + TrimSpaces(fields[FieldKind::kFirstName]) + " " +
                    TrimSpaces(fields[FieldKind::kLastName]) + "_Row" + row_number;
      });
    }
    int statement = 286;
    for (const char bad : kReplacedInBaseName) {
      s_.Step(statement, [&] {
        for (char& c : base_name) {
          if (c == bad) c = ' ';
        }
      });
      statement += 2;
    }
    ReplaceControlCharacters(base_name);
    if (!unnamed && base_name.size() > t_.prefix.size() + 4 + row_number.size()) {
      FitFileName(base_name, t_.prefix.size(), base_name.size() - 4 - row_number.size());
    }
    return base_name;
  }

  // The pointer back, then the workbook, the instance and the references let go.
  void CloseAll() {
    s_.Step(t_.pointer_default, [&] { services_.pointer.SetPointer(PointerSetting::kDefault); });
    if (workbook_) s_.Step(t_.close_workbook, [&] { workbook_->Close(); });
    if (app_) s_.Step(t_.quit, [&] { app_->Quit(); });
    s_.Step(t_.release_block, [&] { block_.reset(); });
    s_.Step(t_.release_block + 2, [&] { workbook_.reset(); });
    s_.Step(t_.release_block + 4, [&] { app_.reset(); });
  }

  std::string StoppedText(const RecordWriter::Stop& stop) const {
    const std::size_t written = writer_.FilesWritten();
    return "The export stopped at row " + std::to_string(stop.row) + ": the files of " +
           std::to_string(RecordWriter::kFailedRowsToStop) + " rows in a row could not be written (" +
           stop.description + "). " + std::to_string(written) + (written == 1 ? " file was" : " files were") +
           " written to " + inputs_.output_folder + ".";
  }

  std::string DoneText() const {
    std::string text = "Done.";
    if (blank_rows_ > 0) {
      const std::size_t n = blank_rows_;
      text += " " + std::to_string(n) + (n == 1 ? " empty row was" : " empty rows were") +
              " skipped: every cell of the mapped columns is empty there, so it holds no contact.";
    }
    if (rows_losing_characters_ > 0) {
      const std::size_t n = rows_losing_characters_;
      text += " " + std::to_string(n) + (n == 1 ? " row holds" : " rows hold") +
              " characters that the ANSI code page (" + std::string(services_.code_page.CharsetName()) +
              ") lacks; they were written as \"?\". Save As VCF (UTF8 Format), or choose vCard 3.0, to keep every "
              "character.";
    }
    // What rows lost or changed on the way, each by its row.
    if (!notes_.Empty()) text += "\n\n" + notes_.Text();
    return text;
  }

  // Rows whose record lost a line, a photo or itself for lack of memory: never "Done.".
  std::string ShortOfMemoryText() {
    std::sort(rows_short_of_memory_.begin(), rows_short_of_memory_.end());
    rows_short_of_memory_.erase(std::unique(rows_short_of_memory_.begin(), rows_short_of_memory_.end()),
                                rows_short_of_memory_.end());
    constexpr std::size_t kRowsNamed = 10;
    const std::size_t n = rows_short_of_memory_.size();
    std::string rows;
    for (std::size_t i = 0; i < n && i < kRowsNamed; ++i)
      rows += (i == 0 ? "" : ", ") + std::to_string(rows_short_of_memory_[i]);
    if (n > kRowsNamed) rows += " and " + std::to_string(n - kRowsNamed) + " more";
    std::string text = "Not everything was saved: " + std::to_string(n) + (n == 1 ? " row" : " rows") +
                       " lost a line, a photo or the whole card because the program ran out of memory (" +
                       (n == 1 ? "row " : "rows ") + rows +
                       "); the reports before this message say what. Close other programs, or export those rows "
                       "again in a smaller block.";
    if (rows_losing_characters_ > 0) {
      const std::size_t m = rows_losing_characters_;
      text += " Besides, " + std::to_string(m) + (m == 1 ? " row holds" : " rows hold") +
              " characters that the ANSI code page (" + std::string(services_.code_page.CharsetName()) +
              ") lacks; they were written as \"?\".";
    }
    if (!notes_.Empty()) text += "\n\n" + notes_.Text();
    return text;
  }

  std::string CancelledText() const {
    if (inputs_.one_file) return "Export cancelled. No file was written.";
    const std::size_t written = writer_.FilesWritten();
    return "Export cancelled. " + std::to_string(written) + (written == 1 ? " file was" : " files were") +
           " written to " + inputs_.output_folder + ".";
  }

  const ExportEncoding encoding_;
  const EncodingTable& t_;
  const ExportInputs& inputs_;
  ExportServices& services_;
  RecordWriter writer_;
  OrderedReporter reporter_;
  Statements s_;
  StatementSteps steps_;

  std::unique_ptr<SheetApplication> app_;
  std::unique_ptr<SheetWorkbook> workbook_;
  std::unique_ptr<SheetRange> block_;
  std::uint32_t first_row_ = 0;
  std::uint32_t first_column_ = 0;
  std::uint32_t last_row_ = 0;
  std::uint32_t last_column_ = 0;
  std::size_t row_count_ = 0;
  std::optional<std::string> mismatch_;
  std::unique_ptr<sheet::BlockRows> rows_;  // the block's row stream, when the engine offers one
  bool streaming_ = false;
  std::vector<std::string> row_texts_;        // the current row's texts from the stream
  std::optional<std::string> read_error_;     // why the stream could not give the current row
  bool read_failed_ = false;                  // a stream error was reported; the run stops
  std::optional<std::string> unsound_;        // why the data the rows came from is not whole
  std::optional<std::size_t> birthday_line_;  // list line of the Birthday column
  std::optional<std::size_t> anniversary_line_;
  std::optional<std::size_t> photo_line_;
  // The columns whose meaning goes beyond their cell (column_meanings.h).
  DateColumn birthday_column_{services_.dates, "birthday"};
  DateColumn anniversary_column_{services_.dates, "anniversary"};
  bool date_columns_learned_ = false;
  std::vector<std::optional<FieldKind>> typed_by_;  // per list line: the label kind that types it
  std::vector<FieldKind> joined_kinds_;             // the multi-valued kinds mapped
  bool labels_ = false;                             // the block has label columns
  bool birth_parts_ = false;
  std::optional<vcard::Date> birthday_of_parts_;              // the row's birthday from its year, month and day
  RowNotes notes_;                                            // told at the end, by row
  std::vector<std::pair<FieldKind, std::string>> preferred_;  // the row's values its labels prefer
  std::size_t sheet_index_ = 0;                               // the block's sheet, for the records' UIDs
  std::size_t rows_losing_characters_ = 0;                    // rows the ANSI code page could not hold whole
  std::vector<std::size_t> rows_short_of_memory_;             // rows, from 1, that lost something for lack of memory
  std::size_t blank_rows_ = 0;                                // rows skipped as holding no contact

  // One file for all rows.
  std::string one_file_path_;
  std::unique_ptr<OneFileWriter> one_writer_;
  std::optional<std::string> one_file_failure_;
};

}  // namespace

void ExportRun(ExportEncoding encoding, const ExportInputs& inputs, ExportServices& services) {
  Run(encoding, inputs, services).Go();
}

}  // namespace cw::run
