// Finds the version text of an offered firmware inside the firmware file: hexadecimal data
// bytes after a pattern in TI-TXT and S-record files, or a version string in the resources of
// a program file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace update {

enum class VersionFileMode {
  kHead = 0,     // text file: the pattern within the first 1000 bytes
  kTail = 1,     // S-record file (pattern "S1094000..."): within the last 1000 bytes
  kProgram = 2,  // program file (".exe"/".dll" in the name): UTF-16 strings of its last 64000 bytes
  kNone = 3,     // a program file with an S-record pattern: nothing is read
};

VersionFileMode VersionModeFor(const std::string& pattern, const std::string& fileName);

// The bytes of the file the mode looks at; nothing when the file cannot be opened.
std::optional<std::string> ReadVersionBytes(const std::filesystem::path& file,
                                            VersionFileMode mode);

// Text modes: the hexadecimal byte pairs after the pattern (blanks between pairs allowed) up to
// and excluding a 00 byte; empty when the pattern is not there.
std::string DecodeHexVersion(const std::string& bytes, const std::string& pattern);

// Program mode: the bytes as UTF-16 strings; the version that belongs to the first string
// holding the pattern.
std::string DecodeProgramVersion(const std::string& bytes, const std::string& pattern);

}  // namespace update
