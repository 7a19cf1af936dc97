// Every command the updater sends to an instrument in its normal mode.
#pragma once

#include <array>

namespace update::cmd {

inline constexpr const char* kEmptyLine = "\r\n\r\n";
inline constexpr const char* kOpenDialogue = "A.1000\r\n";
inline constexpr const char* kPcbNumber = "A.2003\r\n";
inline constexpr const char* kDeviceNumber = "A.2000\r\n";
inline constexpr const char* kSoftwareVersion = "A.2001\r\n";
inline constexpr const char* kSerialNumber = "A.4001\r\n";
inline constexpr const char* kStartupProgram = "A.2100\r\n";
inline constexpr const char* kBootDefault = "A.1200\r\n";
inline constexpr const char* kBootSensor = "A.1230\r\n";
inline constexpr const char* kBootNoSensor = "A.1231\r\n";
inline constexpr const char* kExitNormal = "A.1111\r\n";
inline constexpr const char* kExitClassic = "A.1121\r\n";
inline constexpr const char* kCommand1500 = "A.1500\r\n";
inline constexpr const char* kAnswer208 = "A.1220\r\n";
inline constexpr const char* kClockPrefix = "A.1600#";
inline constexpr const char* kSecondaryRoute = "A.2005\r\n";
inline constexpr const char* kFinal = "U.606\r\n";
inline constexpr const char* kAirPressurePrefix = "A.6162#";
// The code that every boot-loader entry command carries after "#".
inline constexpr const char* kAccessCode = "QK48";

// Probe of the port search, by StartMode 0..3.
inline constexpr std::array<const char*, 4> kProbeCommands = {kExitNormal, kOpenDialogue,
                                                              kExitNormal, kExitNormal};
// Exit command, by DeviceKind 0..3.
inline constexpr std::array<const char*, 4> kExitCommands = {kExitNormal, kExitClassic, kExitNormal,
                                                             kExitNormal};
// Identification command table: rows sent by CommandIndex.
inline constexpr std::array<const char*, 8> kIdentCommands = {
    kPcbNumber,  kDeviceNumber, kSoftwareVersion, kSerialNumber,
    kExitNormal, kOpenDialogue, kExitNormal,      kExitNormal};

}  // namespace update::cmd
