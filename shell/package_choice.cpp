#include "shell/package_choice.h"

#include <QFileDialog>
#include <QSettings>
#include <QTimer>
#include <cstdio>
#include <string>

#include "package/messages.h"
#include "shell/message_box.h"
#include "shell/package_folder.h"

namespace shell {
namespace {

namespace fs = std::filesystem;

constexpr char kKey[] = "package/folder";

QSettings UserSettings() {
  return QSettings(QSettings::UserScope, QStringLiteral("instrument-updater"),
                   QStringLiteral("update"));
}

QString ToQString(const fs::path& path) {
  return QString::fromStdString(path.string());
}

}  // namespace

fs::path RememberedPackageFolder() {
  return UserSettings().value(kKey).toString().toStdString();
}

void RememberPackageFolder(const fs::path& folder) {
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  QSettings settings = UserSettings();
  settings.setValue(kKey, ToQString(error ? folder : absolute.lexically_normal()));
  settings.sync();
}

std::optional<fs::path> ChoosePackageFolder(const fs::path& start, int language) {
  QFileDialog dialog(nullptr,
                     ToDisplayText(messages::Text(messages::CAPTION_CHOOSE_PACKAGE, language)),
                     ToQString(start));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  const std::optional<std::string> automatic = AutomaticFolderChoice();
  if (automatic) {
    // The platform's own dialog may live outside the program's event loop: the automatic answer
    // needs Qt's.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QTimer::singleShot(0, &dialog, [&dialog, &automatic] {
      static_cast<QDialog&>(dialog).done(automatic->empty() ? QDialog::Rejected
                                                            : QDialog::Accepted);
    });
    std::fprintf(stderr, "folder dialog [%s] %s -> %s\n", dialog.windowTitle().toUtf8().constData(),
                 start.string().c_str(), automatic->empty() ? "Cancel" : automatic->c_str());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  if (automatic) return fs::path(*automatic);
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return fs::path(chosen.front().toStdString());
}

void ShowStartupBox(int language, std::string_view caption, std::string_view text) {
  ShowMessageBox(nullptr, language, update::BoxIcon::Error, update::BoxButtons::Ok, caption, text);
}

}  // namespace shell
