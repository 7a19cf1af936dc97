// What the port settings dialog shows and reads back, apart from its controls: shared by the Qt
// dialog (shell/v24_dialog.*) and the Win32 one (winshell/). Ten rows, each a label and a box;
// five boxes are lists of values, four take text, the last lists the ports. Values the lists
// cannot offer (57600 and 115200 bit/s, Mark and Space parity, a port that is not present) are
// shown as an extra entry and kept as they are on OK.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/com_port.h"

namespace shell {

struct V24Row {
  const char* label;   // the label's name
  const char* german;  // its caption
  const char* english;
  const char* box;  // the box's name
};

// The rows top to bottom.
enum V24RowIndex {
  kDatenbitRow,
  kParitaetRow,
  kStopBitRow,
  kBaudrateRow,
  kHandshakeRow,
  kRXTimeoutRow,
  kTXTimeoutRow,
  kNullZeichenRow,
  kNoStringRow,
  kSchnittstelleRow,
  kV24Rows,
};
extern const std::array<V24Row, kV24Rows> kV24RowTable;

// One entry of a box: its text and the record's value it stands for.
struct V24Item {
  std::string text;
  int32_t value;
};

// The entries of a row's box as the dialog opens (the port row's are filled from the ports).
std::vector<V24Item> V24Items(int row);
// The most characters a text box takes (0: no limit).
int V24MaxLength(int row);
// True for the rows whose box takes text (the time-outs and the two flags).
bool V24TakesText(int row);

// The text of the extra entry for a value a row's list does not offer ("57600", "Mark", a port
// with "(not present)").
std::string V24ExtraText(int row, int32_t value, int language);
// The port list: "COMn" for every port present.
std::vector<V24Item> V24PortItems(const int32_t* deviceList, int deviceCount);

// "true" or "false" for a flag byte; the byte a flag box's text stands for: kept while the text
// is the one shown, else whether it reads "true".
std::string V24FlagText(uint8_t flag);
uint8_t V24FlagValue(std::string_view text, std::string_view shown, uint8_t old);

// A time-out box's text as milliseconds; false when it is no whole number of them, with the
// message to show in error (label: the row's caption as shown).
bool V24ReadTimeout(std::string_view text, std::string_view label, int language, int32_t& value,
                    std::string& error);

// The dialog's caption and the cancel button's.
std::string_view V24Caption(int language);
std::string_view V24CancelText(int language);

}  // namespace shell
