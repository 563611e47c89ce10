#include "commands/output_folder.h"

#include <QDir>

#include "run/statements.h"

namespace cw::commands {

QString OutputFolderPath(const QString& text) {
  if (text == QStringLiteral("~") || text.startsWith(QStringLiteral("~/"))) return QDir::homePath() + text.mid(1);
  return text;
}

QString BrowseForFolder(Dialogs& dialogs, const QString& title) { return dialogs.BrowseFolder(title); }

void ChooseOutputFolder(Dialogs& dialogs, const std::function<void(const QString&)>& set_text3) {
  run::Statements s(dialogs, kPushButton5Location);
  QString path;
  s.Step(100, [&] { path = BrowseForFolder(dialogs, QString::fromLatin1(kFolderBrowserTitle)); });
  if (s.Test(102, [&] { return path.isEmpty(); })) return;  // cancelled: box and setting stay
  if (!s.Test(104, [&] { return path.endsWith(QLatin1Char('/')); })) {
    s.Step(106, [&] { set_text3(path + QLatin1Char('/')); });
  } else {
    s.Step(108, [&] { set_text3(path); });  // the root "/" keeps its one separator
  }
}

}  // namespace cw::commands
