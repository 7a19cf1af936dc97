// The port settings dialog and TComPort::OpenDialog.
#include "shell/v24_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <filesystem>

#include "shell/qt_window_system.h"
#include "tests/serial/pty_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"

namespace shell {
namespace {

using namespace serial;

constexpr int32_t kPorts[] = {0, 2, 3};  // COM1, COM3, COM4

serial::TDlgParameter AllFlags() {
  return {true, true, true, true, true, true, true, true, true, true};
}

// A record with values the boxes offer.
V24ParameterTag Plain() {
  V24ParameterTag record;
  record.DatenBits = D_8;
  record.Paritaet = NoParity;
  record.StopBits = S_2;
  record.Baudrate = B__4800;
  record.Handshake = NoHandshake;
  record.RXTimeOut = 100;
  record.TXTimeOut = 10000;
  record.Schnittstelle = Com__3;
  return record;
}

bool SameBytes(const V24ParameterTag& a, const V24ParameterTag& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(V24Dialog, EachFlagEnablesItsBox) {
  test::App();
  TV24_Dialog dialog(nullptr, 0, kPorts, 3);
  V24ParameterTag record = Plain();
  struct Case {
    bool TDlgParameter::*flag;
    QComboBox* box;
  } cases[] = {
      {&TDlgParameter::DatenBits, dialog.Datenbit_Box},
      {&TDlgParameter::Schnittstelle, dialog.Schnittstellen_Box},
      {&TDlgParameter::Paritaet, dialog.Paritaet_Box},
      {&TDlgParameter::StopBits, dialog.StopBit_Box},
      {&TDlgParameter::Baudrate, dialog.Baudrate_Box},
      {&TDlgParameter::Handshake, dialog.Handshake_Box},
      {&TDlgParameter::RXTimeOut, dialog.RX_Timeout_Box},
      {&TDlgParameter::TXTimeOut, dialog.TX_Timeout_Box},
      {&TDlgParameter::KeinNullZeichen, dialog.NullZeichenBox},
      {&TDlgParameter::KeinString, dialog.NoStringBox},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box->objectName().toStdString());
    TDlgParameter flags;
    flags.*c.flag = true;
    dialog.Fill(flags, &record);
    for (const Case& other : cases) EXPECT_EQ(other.box->isEnabled(), other.box == c.box);
  }
}

// With every flag false nothing can change, and OK hands the record back byte for byte, also
// with values the lists do not offer.
TEST(V24Dialog, AllFlagsFalseKeepsTheRecord) {
  test::App();
  V24ParameterTag odd = Plain();
  odd.Baudrate = Baud115200;
  odd.Paritaet = Mark;
  odd.Schnittstelle = Com__7;
  odd.KeinNullZeichen = 2;
  V24ParameterTag space = Plain();
  space.Baudrate = B_57600;
  space.Paritaet = Space;
  space.KeinString = 1;
  for (const V24ParameterTag& original : {Plain(), odd, space}) {
    TV24_Dialog dialog(nullptr, 0, kPorts, 3);
    V24ParameterTag record = original;
    dialog.Fill(TDlgParameter{}, &record);
    for (QComboBox* box : dialog.findChildren<QComboBox*>()) {
      EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
    }
    dialog.V24_Adjust_okayClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(SameBytes(record, original));
  }
}

TEST(V24Dialog, ValuesTheListsLackAreShownAndKept) {
  test::App();
  TV24_Dialog dialog(nullptr, 1, kPorts, 3);
  V24ParameterTag record = Plain();
  record.Baudrate = Baud115200;
  record.Paritaet = Space;
  record.Schnittstelle = Com__7;
  const V24ParameterTag original = record;
  dialog.Fill(AllFlags(), &record);
  EXPECT_EQ(dialog.Baudrate_Box->currentText(), "115200");
  EXPECT_EQ(dialog.Paritaet_Box->currentText(), "Space");
  EXPECT_EQ(dialog.Schnittstellen_Box->currentText(), "COM7 (not present)");
  EXPECT_EQ(dialog.Schnittstellen_Box->itemText(0), "COM1");
  EXPECT_EQ(dialog.Schnittstellen_Box->itemText(1), "COM3");
  dialog.V24_Adjust_okayClick();
  EXPECT_TRUE(SameBytes(record, original));

  // The user picks a port that is present: that one is stored.
  dialog.Fill(AllFlags(), &record);
  EXPECT_EQ(dialog.Schnittstellen_Box->count(), 4);
  dialog.Schnittstellen_Box->setCurrentIndex(2);
  dialog.V24_Adjust_okayClick();
  EXPECT_EQ(record.Schnittstelle, Com__4);
}

TEST(V24Dialog, OkWritesTheEditedFields) {
  test::App();
  TV24_Dialog dialog(nullptr, 0, kPorts, 3);
  V24ParameterTag record = Plain();
  dialog.Fill(AllFlags(), &record);
  EXPECT_EQ(dialog.Schnittstellen_Box->currentText(), "COM3");
  EXPECT_EQ(dialog.RX_Timeout_Box->currentText(), "100");
  EXPECT_EQ(dialog.NullZeichenBox->currentText(), "false");
  dialog.Datenbit_Box->setCurrentIndex(0);
  dialog.Paritaet_Box->setCurrentText("gerade");
  dialog.StopBit_Box->setCurrentText("1.5");
  dialog.Baudrate_Box->setCurrentText("19200");
  dialog.Handshake_Box->setCurrentText("RTS/CTS");
  dialog.RX_Timeout_Box->setEditText(" 250 ");
  dialog.TX_Timeout_Box->setEditText("0");
  dialog.NullZeichenBox->setCurrentIndex(1);
  dialog.NoStringBox->setEditText("true");
  dialog.Schnittstellen_Box->setCurrentIndex(0);
  dialog.V24_Adjust_okayClick();
  EXPECT_EQ(record.DatenBits, D_7);
  EXPECT_EQ(record.Paritaet, Even);
  EXPECT_EQ(record.StopBits, S1_5);
  EXPECT_EQ(record.Baudrate, B_19200);
  EXPECT_EQ(record.Handshake, RTS_CTS);
  EXPECT_EQ(record.RXTimeOut, 250);
  EXPECT_EQ(record.TXTimeOut, 0);
  EXPECT_EQ(record.Schnittstelle, Com__1);
  EXPECT_EQ(record.KeinNullZeichen, 1);
  EXPECT_EQ(record.KeinString, 1);
  // The RX box takes four characters at most.
  dialog.Fill(AllFlags(), &record);
  dialog.RX_Timeout_Box->lineEdit()->setText("123456");
  EXPECT_EQ(dialog.RX_Timeout_Box->currentText(), "1234");
}

TEST(V24Dialog, TimeoutThatIsNoNumberKeepsTheDialogOpen) {
  test::App();
  for (const char* text : {"abc", "", "12x", "-5", "99999999999"}) {
    SCOPED_TRACE(text);
    TV24_Dialog dialog(nullptr, 0, kPorts, 3);
    V24ParameterTag record = Plain();
    const V24ParameterTag original = record;
    dialog.Fill(AllFlags(), &record);
    dialog.Baudrate_Box->setCurrentText("9600");
    dialog.TX_Timeout_Box->setEditText(text);
    dialog.show();
    setenv("UPDATE_AUTO_ANSWER", "yes", 1);
    testing::internal::CaptureStderr();
    dialog.V24_Adjust_okayClick();
    const std::string boxes = testing::internal::GetCapturedStderr();
    unsetenv("UPDATE_AUTO_ANSWER");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(SameBytes(record, original));
    EXPECT_NE(boxes.find("[Fehler] Bitte geben Sie die Zeit in ganzen Millisekunden ein"),
              std::string::npos)
        << boxes;
    EXPECT_NE(boxes.find("TX_Timeout /ms"), std::string::npos) << boxes;
  }
}

TEST(V24Dialog, CaptionsByLanguage) {
  test::App();
  struct Case {
    int language;
    const char* title;
    std::vector<const char*> labels;
    const char* cancel;
  } cases[] = {
      {0,
       "Einstellungen",
       {"&Datenbit", "Parität", "StopBits", "Baudrate", "Handshake", "RX_Timeout /ms",
        "TX_Timeout /ms", "kein Nullzeichen", "kein String", "Schnittstelle"},
       "Abbrechen"},
      {1,
       "Settings",
       {"Data Bits", "Parity", "Stop Bits", "Baud Rate", "Flow Control", "RX Timeout/ms",
        "TX Timeout/ms", "No NullChar", "No String", "Com Port"},
       "Cancel"},
  };
  for (const Case& c : cases) {
    TV24_Dialog dialog(nullptr, c.language, kPorts, 3);
    EXPECT_EQ(dialog.windowTitle(), c.title);
    const QLabel* labels[] = {dialog.Label_Datenbit,  dialog.Label_Paritaet,
                              dialog.Label_StopBits,  dialog.Label_Baudrate,
                              dialog.Label_Handshake, dialog.Label_RXTimeout,
                              dialog.Label_TXTimeout, dialog.Label_NoNullChar,
                              dialog.Label_NoString,  dialog.Label_Schnittstelle};
    for (size_t i = 0; i < 10; ++i) {
      EXPECT_EQ(labels[i]->text(), QString::fromUtf8(c.labels[i]));
    }
    EXPECT_EQ(dialog.V24_Adjust_okay->text(), "OK");
    EXPECT_EQ(dialog.V24_Adjust_cancel->text(), c.cancel);
    // The box items stay as they are.
    EXPECT_EQ(dialog.Paritaet_Box->itemText(0), "keine");
    EXPECT_EQ(dialog.Handshake_Box->itemText(0), "kein Handshake");
    V24ParameterTag record = Plain();
    dialog.Fill(AllFlags(), &record);
    const std::filesystem::path artefacts = std::filesystem::path(UPDATER_BUILD_DIR) / "artefacts";
    std::filesystem::create_directories(artefacts);
    const std::string shot = c.language ? "v24-dialog-en.png" : "v24-dialog-de.png";
    EXPECT_TRUE(dialog.grab().save(QString::fromStdString((artefacts / shot).string())));
  }
}

TEST(V24Dialog, ShowSettingsReturnsTheButton) {
  test::App();
  for (bool ok : {true, false}) {
    TV24_Dialog dialog(nullptr, 0, kPorts, 3);
    V24ParameterTag record = Plain();
    QTimer::singleShot(0, &dialog, [&] {
      dialog.Baudrate_Box->setCurrentText("9600");
      (ok ? dialog.V24_Adjust_okay : dialog.V24_Adjust_cancel)->click();
    });
    EXPECT_EQ(dialog.ShowSettings(AllFlags(), &record), ok ? 1 : 2);
    EXPECT_EQ(record.Baudrate, ok ? B__9600 : B__4800);
  }
}

// OpenDialog on a closed port: OK stores the record (in the parameter file while persisting)
// and does not open the port; Cancel changes nothing.
TEST(V24Dialog, OpenDialogOnAClosedPort) {
  test::App();
  test::TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "ports");
  setenv("UPDATE_PORT_DIR", (folder.Path() / "ports").c_str(), 1);
  for (bool ok : {true, false}) {
    TComPort port;
    port.StreamOn = true;
    port.Datei = (folder.Path() / (ok ? "ok.cfg" : "cancel.cfg")).string();
    port.V24Dialog.Baudrate = true;
    port.Language = 1;
    QWidget owner;
    QTimer::singleShot(0, &owner, [&] {
      auto* dialog = owner.findChild<TV24_Dialog*>();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Settings");
      EXPECT_TRUE(dialog->Baudrate_Box->isEnabled());
      EXPECT_FALSE(dialog->Datenbit_Box->isEnabled());
      dialog->Baudrate_Box->setCurrentText("38400");
      (ok ? dialog->V24_Adjust_okay : dialog->V24_Adjust_cancel)->click();
    });
    EXPECT_EQ(port.OpenDialog(V24SettingsDialog(&owner)), ok);
    EXPECT_FALSE(port.Opened());
    EXPECT_EQ(port.V24.Parameter.Baudrate, ok ? B_38400 : B__4800);
    V24ParameterTag stored;
    ASSERT_EQ(TV24Parameter::LoadDatei(port.Datei, &stored), 0);
    EXPECT_EQ(stored.Baudrate, ok ? B_38400 : B__4800);
  }
  unsetenv("UPDATE_PORT_DIR");
}

// OK on an open port reopens it with the edited record: here on another port and speed.
TEST(V24Dialog, OpenDialogReopensAnOpenPort) {
  test::App();
  ptytest::PortDir ports;
  ports.Add(1);
  ptytest::Pty& second = ports.Add(2);
  QtWindowSystem windows;
  TComPort port;
  port.V24Dialog = AllFlags();
  ASSERT_NE(port.Open(&windows, Com__1, false), kInvalidHandle);
  QWidget owner;
  QTimer::singleShot(0, &owner, [&] {
    auto* dialog = owner.findChild<TV24_Dialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Schnittstellen_Box->currentText(), "COM1");
    dialog->Schnittstellen_Box->setCurrentText("COM2");
    dialog->Baudrate_Box->setCurrentText("9600");
    dialog->V24_Adjust_okay->click();
  });
  EXPECT_TRUE(port.OpenDialog(V24SettingsDialog(&owner)));
  EXPECT_TRUE(port.Opened());
  EXPECT_EQ(port.ComNumber(), 2);
  EXPECT_EQ(second.Speed(), B9600);
  port.Close();
}

}  // namespace
}  // namespace shell
