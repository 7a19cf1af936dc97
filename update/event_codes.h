// The codes of the events that carry an update run (kind EVK_EVENT), with what each carries.
#pragma once

#include <cstdint>

namespace update::ev {

// Bytes have arrived; carries the PortNumber.
inline constexpr int32_t kReceived = 10000;
// Numbered answers of the instrument; each carries its text after "#" or its number after "$".
inline constexpr int32_t kAnswerDeviceNr = 20;
inline constexpr int32_t kAnswerDeviceNrB = 200;
inline constexpr int32_t kAnswerDeviceNrC = 2010;
inline constexpr int32_t kAnswerVersion = 21;
inline constexpr int32_t kAnswerVersionB = 201;
inline constexpr int32_t kAnswerVersionC = 2011;
inline constexpr int32_t kAnswerPcb = 23;
inline constexpr int32_t kAnswerPcbB = 203;
inline constexpr int32_t kAnswerPcbC = 2013;
inline constexpr int32_t kAnswerSerial = 25;
inline constexpr int32_t kAnswerSerialB = 205;
inline constexpr int32_t kAnswerProgrammedClock = 30;
inline constexpr int32_t kAnswerProgrammedEnd = 31;
inline constexpr int32_t kAnswerVariant = 208;
inline constexpr int32_t kAnswerNoSecondary = 262;
inline constexpr int32_t kAnswer920 = 920;
inline constexpr int32_t kAnswerPassword = 80;
inline constexpr int32_t kAnswerPasswordB = 81;
// A numbered answer 2 during the Basic-Loader transfer: the instrument aborted it.
inline constexpr int32_t kAnswerTermAbort = 2;
// Answers of the WinCE file transfer: skip the announced file; a block arrived damaged (carries
// "2" to ask for it again, anything else ends the transfer).
inline constexpr int32_t kAnswerSkipFile = 260;
inline constexpr int32_t kAnswerBlockError = 261;
// Lines the parser recognises.
inline constexpr int32_t kPrompt = 10010;
inline constexpr int32_t kBootLoaderLine = 10011;
inline constexpr int32_t kNotAvailable = 10012;
inline constexpr int32_t kBootFrame = 10042;  // carries the boot loader's identification text
inline constexpr int32_t kBootByte = 10044;   // carries the boot loader's answer byte
// The state machine's own steps.
inline constexpr int32_t kProgrammingFailed = 10021;
inline constexpr int32_t kExternalLoaderDone = 10022;
inline constexpr int32_t kVersionCheckMain = 10023;
inline constexpr int32_t kSecondaryDecision = 10024;
inline constexpr int32_t kStartTerminal = 10025;
inline constexpr int32_t kRunExternalLoader = 10030;
inline constexpr int32_t kMenuPrompt = 10040;
inline constexpr int32_t kProgramMsp430 = 10043;
inline constexpr int32_t kBenchProgramming = 10045;
inline constexpr int32_t kRepeatMsp430 = 10046;
inline constexpr int32_t kSecondaryFailed = 10047;
inline constexpr int32_t kStartWinCe = 10050;
inline constexpr int32_t kVersionCheckKind3 = 10051;
// Basic-Loader terminal texts and its block step.
inline constexpr int32_t kTermFirst = 100;
inline constexpr int32_t kTermLast = 112;
}  // namespace update::ev
