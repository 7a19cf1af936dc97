// The test's own small TI-TXT reader, to compare a --dump with the image that was programmed.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace simtest {

// Address -> byte; false on text that is not TI-TXT.
bool ParseTiTxt(const std::string& text, std::map<uint32_t, uint8_t>& bytes);

}  // namespace simtest
