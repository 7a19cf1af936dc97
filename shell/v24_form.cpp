#include "shell/v24_form.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "package/messages.h"

namespace shell {
namespace {

std::vector<V24Item> Texts(std::initializer_list<const char*> texts) {
  std::vector<V24Item> items;
  int32_t index = 0;
  for (const char* text : texts) items.push_back({text, index++});
  return items;
}

std::string Number(int32_t value) {
  return std::to_string(value);
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::string V24ExtraText(int row, int32_t value, int language) {
  switch (row) {
    case kParitaetRow:
      if (value == serial::Mark) return "Mark";
      if (value == serial::Space) return "Space";
      break;
    case kBaudrateRow:
      if (const uint32_t rate = serial::BaudRateOf(static_cast<serial::BaudTag>(value))) {
        return std::to_string(rate);
      }
      break;
    case kSchnittstelleRow:
      return "COM" + Number(value + 1) +
             (messages::LanguageRow(language) ? " (not present)" : " (nicht vorhanden)");
    default:
      break;
  }
  return Number(value);
}

const std::array<V24Row, kV24Rows> kV24RowTable = {{
    {"Label_Datenbit", "&Datenbit", "Data Bits", "Datenbit_Box"},
    {"Label_Paritaet", "Parität", "Parity", "Paritaet_Box"},
    {"Label_StopBits", "StopBits", "Stop Bits", "StopBit_Box"},
    {"Label_Baudrate", "Baudrate", "Baud Rate", "Baudrate_Box"},
    {"Label_Handshake", "Handshake", "Flow Control", "Handshake_Box"},
    {"Label_RXTimeout", "RX_Timeout /ms", "RX Timeout/ms", "RX_Timeout_Box"},
    {"Label_TXTimeout", "TX_Timeout /ms", "TX Timeout/ms", "TX_Timeout_Box"},
    {"Label_NoNullChar", "kein Nullzeichen", "No NullChar", "NullZeichenBox"},
    {"Label_NoString", "kein String", "No String", "NoStringBox"},
    {"Label_Schnittstelle", "Schnittstelle", "Com Port", "Schnittstellen_Box"},
}};

std::vector<V24Item> V24Items(int row) {
  switch (row) {
    case kDatenbitRow:
      return {{"7", serial::D_7}, {"8", serial::D_8}};
    case kParitaetRow:
      // Parity as "none, even, odd"; the values are the record's.
      return {{"keine", serial::NoParity}, {"gerade", serial::Even}, {"ungerade", serial::Odd}};
    case kStopBitRow:
      return {{"1", serial::S_1}, {"1.5", serial::S1_5}, {"2", serial::S_2}};
    case kBaudrateRow:
      return {{"1200", serial::B__1200}, {"2400", serial::B__2400},  {"4800", serial::B__4800},
              {"9600", serial::B__9600}, {"19200", serial::B_19200}, {"38400", serial::B_38400}};
    case kHandshakeRow:
      return {{"kein Handshake", serial::NoHandshake},
              {"RTS/CTS", serial::RTS_CTS},
              {"X_On/X_Off", serial::XonXoff},
              {"Qolmar X_On/X_Off", serial::Qolmar_XonXoff}};
    case kRXTimeoutRow:
    case kTXTimeoutRow:
      return Texts({"0", "10", "100", "1000"});
    case kNullZeichenRow:
    case kNoStringRow:
      return Texts({"false", "true"});
    default:
      return {};
  }
}

int V24MaxLength(int row) {
  return row == kRXTimeoutRow ? 4 : 0;
}

bool V24TakesText(int row) {
  return row >= kRXTimeoutRow && row <= kNoStringRow;
}

std::vector<V24Item> V24PortItems(const int32_t* deviceList, int deviceCount) {
  std::vector<V24Item> items;
  for (int i = 0; i < deviceCount; ++i) {
    items.push_back({"COM" + Number(deviceList[i] + 1), deviceList[i]});
  }
  return items;
}

std::string V24FlagText(uint8_t flag) {
  return flag ? "true" : "false";
}

uint8_t V24FlagValue(std::string_view text, std::string_view shown, uint8_t old) {
  text = Trimmed(text);
  if (text == shown) return old;
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "true" ? 1 : 0;
}

bool V24ReadTimeout(std::string_view text, std::string_view label, int language, int32_t& value,
                    std::string& error) {
  text = Trimmed(text);
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (!text.empty() && failure == std::errc() && end == text.data() + text.size() && value >= 0) {
    return true;
  }
  std::string shown(label);
  std::erase(shown, '&');
  error = std::string(messages::In(messages::kTimeoutNotNumber, language)) + shown + " = \"" +
          std::string(text) + "\"";
  return false;
}

std::string_view V24Caption(int language) {
  return messages::LanguageRow(language) ? "Settings" : "Einstellungen";
}

std::string_view V24CancelText(int language) {
  return messages::LanguageRow(language) ? "Cancel" : "Abbrechen";
}

}  // namespace shell
