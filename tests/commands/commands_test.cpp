// The encoding help text, the settings store behind the output folder, and the kinds
// remembered per heading row.
#include <QTemporaryDir>
#include <QtTest>

#include "commands/encoding_help.h"
#include "commands/heading_memory.h"
#include "commands/output_choice.h"
#include "commands/settings_store.h"
#include "run/statements.h"

using namespace cw;

namespace {

struct Shown {
  std::string text, title;
  run::MessageIcon icon;
  run::MessageButtons buttons;
};

class RecordingSink : public run::MessageSink, public run::FailureReporter {
 public:
  std::vector<Shown> shown;
  std::vector<std::string> reports;
  bool fail = false;
  run::MessageAnswer Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                          run::MessageButtons buttons) override {
    if (fail) throw std::runtime_error("no display");
    shown.push_back({std::string(text), std::string(title), icon, buttons});
    return run::MessageAnswer::kOk;
  }
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override {
    reports.push_back(run::ApplicationErrorText(location, statement, description));
  }
};

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void HelpExplainsTheEncodingsThenTheAddressBooks();
  void HelpShowsOneBoxWithTheApplicationTitle();
  void HelpFailureIsReportedUnderStatement100();
  void SettingsTellAbsentFromEmpty_data();
  void SettingsTellAbsentFromEmpty();
  void DefaultStoreLivesUnderTheUsersConfigFolder();
  void KindsAreRememberedPerHeadingRow();
};

void CommandsTest::HelpExplainsTheEncodingsThenTheAddressBooks() {
  const QString text = QString::fromStdString(commands::EncodingHelpText());
  QVERIFY(!text.contains(QLatin1Char('\n')));
  const QStringList blocks = text.split(QStringLiteral("\r\r"));
  QCOMPARE(blocks.size(), 8);
  QCOMPARE(blocks[0], QStringLiteral("ANSI Vs. UTF8"));
  QVERIFY(blocks[1].contains(QStringLiteral("Wikipedia")));
  QVERIFY(!blocks[1].contains(QLatin1Char('\r')));
  QVERIFY(
      blocks[2].startsWith(QStringLiteral("Most Windows text files use a form of ANSI, OEM or Unicode encoding. ")));
  QCOMPARE(blocks[2].count(QStringLiteral(". ")) + (blocks[2].endsWith(QLatin1Char('.')) ? 1 : 0), 6);
  for (const char* topic : {"ISO-8859", "double-byte", "Unicode", "IBM PC", "line-drawing", "UTF-16LE", "UTF-8"}) {
    QVERIFY2(blocks[2].contains(QString::fromLatin1(topic)), topic);
  }
  // Then, after a heading, one block per line of the chooser, naming the address books it suits.
  const char* const suits[] = {"Outlook", "Google Contacts", "Android's contacts app refuses"};
  for (std::size_t i = 0; i < std::size(suits); ++i) {
    const QString& block = blocks[static_cast<qsizetype>(i) + 4];
    QVERIFY2(block.contains(QString::fromLatin1(suits[i])) &&
                 block.contains(QString::fromLatin1(commands::kAddressBooks[i].caption)),
             suits[i]);
  }
  // Last, the keys of the window's commands.
  QVERIFY(blocks[7].startsWith(QStringLiteral("Keys: ")));
}

void CommandsTest::HelpShowsOneBoxWithTheApplicationTitle() {
  RecordingSink sink;
  commands::ShowEncodingHelp(sink, sink);
  QCOMPARE(sink.shown.size(), std::size_t{1});
  QCOMPARE(sink.shown[0].text, commands::EncodingHelpText());
  QCOMPARE(sink.shown[0].title, std::string("Cardwright"));
  QVERIFY(sink.shown[0].icon == run::MessageIcon::kNone);
  QVERIFY(sink.shown[0].buttons == run::MessageButtons::kOk);
  QVERIFY(sink.reports.empty());
}

void CommandsTest::HelpFailureIsReportedUnderStatement100() {
  RecordingSink sink;
  sink.fail = true;
  commands::ShowEncodingHelp(sink, sink);
  QCOMPARE(sink.reports.size(), std::size_t{1});
  QCOMPARE(sink.reports[0],
           run::ApplicationErrorText("in Tabulon5/20/2014.Form1.PushButton4_Click ", 100, "no display"));
}

void CommandsTest::SettingsTellAbsentFromEmpty_data() {
  QTest::addColumn<bool>("write");
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("read");
  QTest::newRow("absent gives the default") << false << QString() << QStringLiteral("/home/u/Desktop/");
  QTest::newRow("stored empty stays empty") << true << QString() << QString();
  QTest::newRow("stored folder") << true << QStringLiteral("/data/out/") << QStringLiteral("/data/out/");
  QTest::newRow("characters INI files escape")
      << true << QStringLiteral("/a;b=c\\d/\u00e9t\u00e9 #1/") << QStringLiteral("/a;b=c\\d/\u00e9t\u00e9 #1/");
}

void CommandsTest::SettingsTellAbsentFromEmpty() {
  QFETCH(bool, write);
  QFETCH(QString, value);
  QFETCH(QString, read);
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("settings.ini"));
  {
    commands::IniSettingsStore store(file);
    if (write) QVERIFY(store.Write(QStringLiteral("Cardwright"), QStringLiteral("Text3"), value));
  }
  commands::IniSettingsStore again(file);  // a later run reads what the earlier one stored
  QCOMPARE(commands::GetSetting(again, QStringLiteral("Cardwright"), QStringLiteral("Text3"),
                                QStringLiteral("/home/u/Desktop/")),
           read);
  QCOMPARE(again.Read(QStringLiteral("Cardwright"), QStringLiteral("Text3")).has_value(), write);
}

void CommandsTest::DefaultStoreLivesUnderTheUsersConfigFolder() {
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
  {
    commands::IniSettingsStore store;
    QCOMPARE(store.FileName(), dir.filePath(QStringLiteral("Marrowind/Cardwright.ini")));
    QVERIFY(store.Write(QStringLiteral("Cardwright"), QStringLiteral("Text3"), QStringLiteral("/x/")));
  }
  QFile file(dir.filePath(QStringLiteral("Marrowind/Cardwright.ini")));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QString content = QString::fromUtf8(file.readAll());
  QVERIFY(content.contains(QStringLiteral("[Cardwright]")));
  QVERIFY(content.contains(QStringLiteral("Text3=/x/")));
}

void CommandsTest::KindsAreRememberedPerHeadingRow() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("settings.ini"));
  const std::vector<std::string> row = {"Vorname", "Kundennummer", "Handy"};
  const std::vector<std::string> kinds = {"First Name", "Notes", "Work Voice"};
  {
    commands::IniSettingsStore store(file);
    QVERIFY(!commands::RememberedKinds(store, row));
    QVERIFY(commands::RememberKinds(store, row, kinds));
  }
  commands::IniSettingsStore again(file);
  QVERIFY(commands::RememberedKinds(again, row) == kinds);
  // The same headings as another sheet spells them; not the same headings in another order.
  QVERIFY(commands::RememberedKinds(again, std::vector<std::string>{"VORNAME", "Kunden-Nummer", "handy"}) == kinds);
  QVERIFY(!commands::RememberedKinds(again, std::vector<std::string>{"Handy", "Kundennummer", "Vorname"}));
  // A stored list that no longer fits, or names a kind this build lacks.
  QVERIFY(commands::RememberKinds(again, row, std::vector<std::string>{"First Name", "Notes"}));
  QVERIFY(!commands::RememberedKinds(again, row));
  QVERIFY(commands::RememberKinds(again, row, std::vector<std::string>{"First Name", "Shoe Size", "Cellular"}));
  QVERIFY(commands::RememberedKinds(again, row) == (std::vector<std::string>{"First Name", "Ignore", "Cellular"}));
  // A store that cannot be written says so and throws nothing.
  QFile(dir.filePath(QStringLiteral("config"))).open(QIODevice::WriteOnly);
  commands::IniSettingsStore blocked(dir.filePath(QStringLiteral("config/settings.ini")));
  QVERIFY(!commands::RememberKinds(blocked, row, kinds));
}

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
