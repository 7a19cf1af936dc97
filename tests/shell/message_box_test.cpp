// The window's boxes: no translation of Qt is loaded, so the buttons are labelled from the
// catalogue in the run's language.
#include "shell/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/qt_app.h"

namespace shell {
namespace {

using update::BoxAnswer;
using update::BoxButtons;
using update::BoxIcon;

TEST(ShowMessageBox, ButtonsInTheRunsLanguage) {
  struct Case {
    int32_t language;
    BoxButtons buttons;
    std::vector<std::string> labels;  // sorted, without the mnemonic's "&"
    QMessageBox::StandardButton press;
    BoxAnswer answer;
  };
  const Case cases[] = {
      {0, BoxButtons::YesNo, {"Ja", "Nein"}, QMessageBox::No, BoxAnswer::No},
      {0, BoxButtons::YesNo, {"Ja", "Nein"}, QMessageBox::Yes, BoxAnswer::Yes},
      {1, BoxButtons::YesNo, {"No", "Yes"}, QMessageBox::Yes, BoxAnswer::Yes},
      {0, BoxButtons::Ok, {"OK"}, QMessageBox::Ok, BoxAnswer::Ok},
      {7, BoxButtons::YesNo, {"Ja", "Nein"}, QMessageBox::Yes, BoxAnswer::Yes},
  };
  test::App();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    std::vector<std::string> labels;
    // Once the box runs, read its buttons and press one as a user would.
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      for (QAbstractButton* button : box->buttons()) {
        labels.push_back(button->text().remove(u'&').toStdString());
      }
      box->button(c.press)->click();
    });
    EXPECT_EQ(ShowMessageBox(nullptr, c.language, BoxIcon::Question, c.buttons, "Frage", "Weiter?"),
              c.answer);
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, c.labels);
  }
}

}  // namespace
}  // namespace shell
