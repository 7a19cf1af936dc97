// What a failed boot-loader run tells the user beyond its error box: the step that failed and
// what to try next.
#pragma once

#include <cstdint>
#include <string>

namespace msp430 {

// "Failed boot-loader step: erase (code 5). What to do: ..." in the language (0 German,
// 1 English); codes without a step of their own are named as the preparation.
std::string FailedStepText(int32_t stepCode, int32_t language);

}  // namespace msp430
