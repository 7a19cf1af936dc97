#include "shell/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "package/messages.h"

namespace shell {
namespace {

QMessageBox::Icon IconOf(update::BoxIcon icon) {
  switch (icon) {
    case update::BoxIcon::Error:
      return QMessageBox::Critical;
    case update::BoxIcon::Question:
      return QMessageBox::Question;
    case update::BoxIcon::Information:
      break;
  }
  return QMessageBox::Information;
}

// The button an automatic answer presses, or NoButton when boxes wait for a person.
QMessageBox::StandardButton AutoAnswer(update::BoxButtons buttons) {
  const char* answer = std::getenv("UPDATE_AUTO_ANSWER");
  if (!answer || (std::strcmp(answer, "yes") != 0 && std::strcmp(answer, "no") != 0)) {
    return QMessageBox::NoButton;
  }
  if (buttons == update::BoxButtons::Ok) return QMessageBox::Ok;
  return std::strcmp(answer, "yes") == 0 ? QMessageBox::Yes : QMessageBox::No;
}

}  // namespace

QString ToDisplayText(std::string_view text) {
  QString display = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  display.replace(QChar(u'\r'), QChar(u'\n'));
  return display;
}

update::BoxAnswer ShowMessageBox(QWidget* parent, int32_t language, update::BoxIcon icon,
                                 update::BoxButtons buttons, std::string_view caption,
                                 std::string_view text) {
  const QMessageBox::StandardButtons choice = buttons == update::BoxButtons::YesNo
                                                  ? QMessageBox::Yes | QMessageBox::No
                                                  : QMessageBox::StandardButtons(QMessageBox::Ok);
  QMessageBox box(IconOf(icon), ToDisplayText(caption), ToDisplayText(text), choice, parent);
  // Qt labels its standard buttons in English unless a translation of Qt is loaded: the
  // catalogue labels them in the run's language.
  for (const auto& [button, label] : {std::pair{QMessageBox::Ok, messages::BUTTON_OK},
                                      std::pair{QMessageBox::Yes, messages::BUTTON_YES},
                                      std::pair{QMessageBox::No, messages::BUTTON_NO}}) {
    if (QAbstractButton* shown = box.button(button)) {
      shown->setText(ToDisplayText(messages::Text(label, language)));
    }
  }
  if (const QMessageBox::StandardButton automatic = AutoAnswer(buttons);
      automatic != QMessageBox::NoButton) {
    QTimer::singleShot(0, &box, [&box, automatic] { box.button(automatic)->click(); });
    std::fprintf(stderr, "message box [%s] %s -> %s\n", box.windowTitle().toUtf8().constData(),
                 box.text().toUtf8().constData(),
                 box.button(automatic)->text().remove(u'&').toUtf8().constData());
  }
  const int result = box.exec();
  if (result == QMessageBox::Yes) return update::BoxAnswer::Yes;
  if (result == QMessageBox::No) return update::BoxAnswer::No;
  return update::BoxAnswer::Ok;
}

}  // namespace shell
