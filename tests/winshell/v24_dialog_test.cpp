#include "winshell/v24_dialog.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/win_text.h"
#include "winshell/resource.h"

namespace winshell {
namespace {

using namespace serial;

V24ParameterTag Plain() {
  V24ParameterTag record{};
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

TDlgParameter AllFlags() {
  return {true, true, true, true, true, true, true, true, true, true};
}

constexpr int32_t kPorts[] = {0, 2, 4};  // COM1, COM3, COM5

std::string Text(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return wintext::Utf8(text);
}

// The dialog of the resource script, made without its modal loop and destroyed at the end.
struct OpenDialog {
  OpenDialog(int language, const TDlgParameter& flags, V24ParameterTag& record)
      : dialog(nullptr, language, kPorts, 3), window(dialog.Create(flags, &record)) {}
  ~OpenDialog() { DestroyWindow(window); }
  HWND Box(int row) const { return GetDlgItem(window, IDC_V24_BOX + row); }
  std::string Label(int row) const { return Text(GetDlgItem(window, IDC_V24_LABEL + row)); }
  TV24_Dialog dialog;
  HWND window;
};

TEST(Win32V24DialogTest, ValuesTheListsLackAreShownAndKeptWhileChangedOnesAreWritten) {
  V24ParameterTag record = Plain();
  record.Baudrate = B115200;
  record.Paritaet = Mark;
  record.Schnittstelle = Com__9;  // not present
  record.KeinString = 1;
  OpenDialog open(0, AllFlags(), record);
  ASSERT_NE(open.window, nullptr);
  EXPECT_EQ(Text(open.Box(3)), "115200");
  EXPECT_EQ(Text(open.Box(1)), "Mark");
  EXPECT_EQ(Text(open.Box(9)), "COM9 (nicht vorhanden)");
  EXPECT_EQ(Text(open.Box(8)), "true");
  SendMessageW(open.Box(0), CB_SETCURSEL, 0, 0);  // 7 data bits
  SetWindowTextW(open.Box(5), L" 250 ");
  ASSERT_TRUE(open.dialog.V24_Adjust_okayClick());
  EXPECT_EQ(record.DatenBits, D_7);
  EXPECT_EQ(record.RXTimeOut, 250);
  EXPECT_EQ(record.Baudrate, B115200);
  EXPECT_EQ(record.Paritaet, Mark);
  EXPECT_EQ(record.Schnittstelle, Com__9);
  EXPECT_EQ(record.KeinString, 1);
  EXPECT_EQ(record.TXTimeOut, 10000);
}

TEST(Win32V24DialogTest, EnglishCaptionsAndOnlyTheFlaggedBoxesEnabled) {
  V24ParameterTag record = Plain();
  TDlgParameter flags;
  flags.Baudrate = true;
  OpenDialog open(1, flags, record);
  ASSERT_NE(open.window, nullptr);
  EXPECT_EQ(Text(open.window), "Settings");
  EXPECT_EQ(open.Label(0), "Data Bits");
  EXPECT_EQ(open.Label(9), "Com Port");
  EXPECT_EQ(Text(GetDlgItem(open.window, IDCANCEL)), "Cancel");
  for (int row = 0; row < 10; ++row) {
    EXPECT_EQ(IsWindowEnabled(open.Box(row)) != FALSE, row == 3) << row;
  }
  // The box items stay as they are.
  EXPECT_EQ(Text(open.Box(1)), "keine");
  EXPECT_EQ(Text(open.Box(9)), "COM3");
}

TEST(Win32V24DialogTest, ATimeOutThatIsNoNumberLeavesTheRecordAsItWas) {
  _putenv_s("UPDATE_AUTO_ANSWER", "yes");  // the error box closes itself
  V24ParameterTag record = Plain();
  const V24ParameterTag before = record;
  OpenDialog open(0, AllFlags(), record);
  ASSERT_NE(open.window, nullptr);
  SendMessageW(open.Box(0), CB_SETCURSEL, 0, 0);
  SetWindowTextW(open.Box(6), L"12a");
  EXPECT_FALSE(open.dialog.V24_Adjust_okayClick());
  EXPECT_EQ(record.DatenBits, before.DatenBits);
  EXPECT_EQ(record.RXTimeOut, before.RXTimeOut);
  EXPECT_EQ(record.TXTimeOut, before.TXTimeOut);
  _putenv_s("UPDATE_AUTO_ANSWER", "");
}

}  // namespace
}  // namespace winshell
