// Form1, the main window: the workbook path, the marked block, the column list with the
// field-kind chooser, the output folder, the two save commands and, below them, the output
// choice (the address book the files are for, one file or one per row); its start-up sequence
// (Form_Load), the routing of every control's events to its handler, and the hover rules
// that switch the window's pointer setting between the arrow and the hand.
#pragma once

#include <QCursor>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/background_export.h"
#include "app/excel1.h"
#include "commands/dialogs.h"
#include "commands/output_choice.h"
#include "commands/settings_store.h"
#include "mapping/column_list.h"
#include "run/environment.h"
#include "run/export_run.h"
#include "sheet/block_rows.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace cw::app {

class ColumnListModel;

inline constexpr std::string_view kPushButton6Location = "in Tabulon5/20/2014.Form1.PushButton6_Click ";
inline constexpr const char* kListToolTip = "Move bar to right and out of window to reveal full names.";
inline constexpr const char* kOpenDialogTitle = "Select A Picture";
inline constexpr const char* kOpenDialogFilter =
    "Spreadsheets (*.xls* *.ods *.fods *.csv *.tsv *.txt);;Excel Files(*.xls*)";

// Reads a workbook for the block pick; throws with a clear description when it cannot.
// Called on a worker thread.
using WorkbookOpener = std::function<sheet::Workbook(const std::string& path)>;
// Opens a workbook for streaming its rows, so that the sheet window shows the first rows
// before the whole is read. Called on a worker thread.
using WorkbookStreamOpener = std::function<std::unique_ptr<sheet::WorkbookStream>(const std::string& path)>;

// What the window needs of the world outside it.
struct Form1Environment {
  commands::Dialogs& dialogs;
  commands::SettingsStore& settings;
  QString application_folder;  // without a trailing "/"
  QString desktop_folder;      // with one trailing "/"
  EngineFactory make_engine;   // CheckExcelInstalled
  WorkbookOpener open_workbook;
  sheet::FormatLocale format;
  SaveRunner save;                        // runs on a worker thread (BackgroundExport)
  WorkbookStreamOpener open_stream = {};  // none: the window waits for the whole workbook
};

class Form1 : public QWidget, public run::PointerControl {
  Q_OBJECT

 public:
  // Window and control sizes in twips; 15 twips make one pixel at 96 dpi.
  static constexpr int kClientWidthTwips = 8040;
  // The original 7080, grown by the output choice's frame below the save buttons.
  static constexpr int kClientHeightTwips = 8340;

  explicit Form1(Form1Environment environment, QWidget* parent = nullptr);
  ~Form1() override;

  // The start-up sequence: centre, optional colour change, caption, icon, pointer image,
  // column list and chooser, output folder from the settings, engine check.
  void Form_Load();

  // Pixels for a length in twips at this window's dpi.
  int Px(int twips) const;

  // The window's pointer setting.
  run::PointerSetting Pointer() const override { return pointer_; }
  void SetPointer(run::PointerSetting setting) override;
  // The shape the window's widgets show now.
  Qt::CursorShape PointerShape() const;
  bool HasCustomPointerImage() const { return custom_pointer_.has_value(); }
  bool SkinApplied() const { return skin_applied_; }

  // Handlers, named after their control and event.
  void PushButton1_Click();
  void PushButton2_Click();
  void PushButton3_Click();
  void PushButton4_Click();
  void PushButton5_Click();
  void PushButton6_Click();
  void Text3_Change();
  void ListView1_Click();
  void Combo1_Click();
  void Combo1_Change();
  // The output choice: each change is stored at once and sets the ANSI button.
  void Combo2_Change();
  void Check1_Click();
  // What the save buttons write now.
  commands::OutputChoice ChosenOutput() const;
  // The block pick: reads the workbook, lets the user mark a block in the sheet window, and on
  // OK puts its address in Text2 and one line per block column in the list.
  void PickCellBlock(const QString& path);
  // The link beside Text2 after a pick whose first row reads as headings: exports that row
  // too, or leaves it out again.
  void Label1_LinkActivated();
  // Hover rules.
  void ButtonHover();
  void PlainAreaHover();

  mapping::ColumnList& Columns() { return columns_; }
  // A save command's run is working (on its worker thread).
  bool ExportRunning() const { return export_->Running(); }
  BackgroundExport& Export() { return *export_; }

 signals:
  // The main window was closed: the program ends (Form_Unload).
  void Closed();

 public:
  // The controls, under their own names.
  QPushButton* PushButton1 = nullptr;
  QPushButton* PushButton2 = nullptr;
  QPushButton* PushButton3 = nullptr;
  QPushButton* PushButton4 = nullptr;
  QPushButton* PushButton5 = nullptr;
  QPushButton* PushButton6 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QGroupBox* Frame4 = nullptr;
  QLineEdit* Text1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QLineEdit* Text3 = nullptr;
  QComboBox* Combo1 = nullptr;
  QTreeView* ListView1 = nullptr;
  // The output choice, below the save buttons.
  QGroupBox* Frame5 = nullptr;
  QComboBox* Combo2 = nullptr;  // the address book the files are for: the vCard version
  QCheckBox* Check1 = nullptr;  // all rows in one file
  // Beside Text2, shown only when the block's first row was read as headings.
  QLabel* Label1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct PointerTarget {
    QWidget* widget;
    bool own_cursor;  // the widget had a shape of its own (text boxes: the I-beam)
    QCursor own;
  };

  // One builder per row of the window, top to bottom, then the wiring.
  void BuildControls();
  void BuildTopButtons();
  void BuildFrame4();
  void BuildFrame3();
  void BuildListView1();
  void BuildFrame2();
  void BuildFrame1();
  void BuildSaveButtons();
  void BuildFrame5();
  void SetFocusOrder();
  void ConnectHandlers();
  void WireHoverRules();
  void WireKeyboard();
  QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent);
  QGroupBox* MakeFrame(const char* name, const QString& caption);
  QLineEdit* MakeText(const char* name, QWidget* parent);
  void Place(QWidget* widget, int left, int top, int width, int height) const;
  void InitFieldMapping();
  void ApplySkin();
  void ApplyPointer();
  void Save(vcard::ExportEncoding encoding);
  void ShowOutputChoice(const commands::OutputChoice& choice);
  void OutputChoiceChanged();
  std::optional<std::size_t> SelectedLine() const;
  // The heading row: kinds proposed from the block's first row and the block moved below it.
  void BuildHeadingNote();
  void ProposeFromHeadings(sheet::Workbook workbook, const QString& path, const std::string& address);
  void ShowHeadingNote();
  void ForgetHeadingRow();
  void RememberHeadingKinds();

  Form1Environment env_;
  mapping::ColumnList columns_;
  ColumnListModel* list_model_ = nullptr;
  run::PointerSetting pointer_ = run::PointerSetting::kDefault;
  run::PointerSetting applied_pointer_ = run::PointerSetting::kDefault;
  std::optional<QCursor> custom_pointer_;
  std::vector<PointerTarget> pointer_targets_;
  std::vector<QObject*> buttons_;
  bool skin_applied_ = false;
  bool centred_with_frame_ = false;
  std::unique_ptr<BackgroundExport> export_;
  // The first row of the picked block when it reads as headings (empty otherwise), the block
  // with and without it, and the kinds last proposed or stored for it.
  std::vector<std::string> heading_row_;
  QString address_with_headings_;
  QString address_below_;
  std::vector<std::string> remembered_kinds_;
};

}  // namespace cw::app
