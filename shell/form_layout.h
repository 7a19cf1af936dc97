// The main window's measures, the same for each toolkit's window (no toolkit here).
#pragma once

#include <string_view>
#include <vector>

#include "package/messages.h"

namespace shell::layout {

inline constexpr int kClientWidth = 547;
inline constexpr int kClientHeight = 494;
inline constexpr int kKeyPanelHeight = 58;
inline constexpr int kInfoWidth = 160;
inline constexpr int kStatusWidths[] = {200, 50, 50, 120, 80};
// The longest texts each status panel shows, in both languages: a panel is at least as wide as
// they need, so none is cut.
inline const std::vector<std::string_view> kStatusSamples[] = {
    {},
    {"Com256"},
    {"BL-Baud", "115200"},
    {"Version 10.00"},
    {messages::Text(messages::MSG_DONE_TITLE, 0), messages::Text(messages::MSG_DONE_TITLE, 1),
     " 100.0 %"},
};

}  // namespace shell::layout
