#include "package/device_file.h"

#include <optional>
#include <string_view>

#include "core/text.h"
#include "package/ini_lines.h"
#include "package/messages.h"
#include "package/package_values.h"

namespace package {
namespace {

constexpr const char* kFileName = "ProgDevice.ini";
// A block of more lines than this is a device section; one of exactly four is the text section.
constexpr size_t kDeviceSectionMinLines = 11;
constexpr size_t kTextSectionLines = 4;

struct BlockLine {
  std::string_view text;
  int number;  // 1-based line number in the file
};
using Block = std::vector<BlockLine>;

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The raw value of key in the block (first line with that key) and its line number.
std::string BlockValue(const Block& block, std::string_view key, int& line) {
  for (const BlockLine& entry : block) {
    if (std::optional<std::string_view> value = KeyValue(entry.text, key)) {
      line = entry.number;
      return std::string(*value);
    }
  }
  line = block.front().number;
  return {};
}

class SectionReader {
 public:
  SectionReader(const Block& block, int32_t language, FileReport& report)
      : block_(block), language_(language), report_(report) {}

  // The value of key cut to a field of width bytes (NUL included), as UTF-8.
  std::string Field(std::string_view key, size_t width) {
    return core::Cp1252ToUtf8(Raw(key, width));
  }
  // Device numbers of exactly five characters are completed with ".000".
  std::string DeviceNumber(std::string_view key) {
    std::string value = Raw(key, 12);
    if (value.size() == 5) value += ".000";
    return core::Cp1252ToUtf8(value);
  }
  // A written backslash-r-backslash-n becomes CR LF and ends the pattern.
  std::string VersionPattern(std::string_view key) {
    int line = 0;
    std::string value = BlockValue(block_, key, line);
    if (const size_t at = value.find("\\r\\n"); at != std::string::npos) {
      value.replace(at, std::string::npos, "\r\n");
    }
    ClipValue(value, 63, kFileName, line, key, language_, report_);
    return core::Cp1252ToUtf8(value);
  }
  StartVariant StartMode() {
    int line = 0;
    const std::string value = BlockValue(block_, "DevStartCmd", line);
    if (!value.empty() && value[0] >= '1' && value[0] <= '9') {
      const int32_t mode = value[0] - '1';
      return static_cast<StartVariant>(mode >= 5 ? mode - 5 : mode);
    }
    report_.Note(messages::Filled(
        messages::NOTE_START_MODE, language_,
        messages::Filled(messages::NOTE_FILE_LINE, language_, kFileName, std::to_string(line)),
        core::Cp1252ToUtf8(value)));
    return StartVariant::kOpenDialogue;
  }
  std::string Raw(std::string_view key, size_t width) {
    int line = 0;
    std::string value = BlockValue(block_, key, line);
    ClipValue(value, width - 1, kFileName, line, key, language_, report_);
    return value;
  }
  int32_t Hex(std::string_view key) {
    int line = 0;
    return LeadingHex(BlockValue(block_, key, line));
  }

 private:
  const Block& block_;
  int32_t language_;
  FileReport& report_;
};

DeviceEntry ReadEntry(SectionReader& section) {
  DeviceEntry entry;
  entry.DeviceNrDef = section.DeviceNumber("DeviceNrDef");
  entry.DeviceNr = section.DeviceNumber("DeviceNr");
  entry.DeviceName = section.Field("DeviceName", 32);
  entry.ProgFile1 = section.Field("ProgFile1", 32);
  entry.ProgFile2 = section.Field("ProgFile2", 512);
  entry.ProgFile3 = section.Field("ProgFile3", 512);
  entry.SWKenn1 = section.VersionPattern("SWKenn1");
  entry.SWKenn2 = section.VersionPattern("SWKenn2");
  entry.SWKenn3 = section.VersionPattern("SWKenn3");
  entry.BootLoadKenn = section.Field("BootLoadKenn", 64);
  entry.FlashErase1 = section.Field("FlashErase1", 12);
  entry.FlashErase2 = section.Field("FlashErase2", 12);
  entry.FlashErase3 = section.Field("FlashErase3", 12);
  entry.ProgDefFile = section.Field("ProgDefFile", 32);
  entry.ProzTyp = section.Hex("ProzTyp");
  return entry;
}

class DeviceFileReader {
 public:
  DeviceFileReader(DeviceDescription& description, int32_t language, FileReport& report)
      : description_(description), language_(language), report_(report) {}

  void Take(const Block& block) {
    if (block.size() >= kDeviceSectionMinLines) {
      DeviceSection(block);
    } else if (block.size() == kTextSectionLines) {
      TextSection(block);
    }
  }

  void Finish() {
    if (ignored_ > 0) {
      report_.Note(messages::Filled(messages::NOTE_SECTIONS_IGNORED, language_,
                                    std::to_string(ignored_),
                                    std::to_string(DeviceDescription::kMaxEntries)));
    }
    if (description_.DeviceTable.empty()) {
      report_.Note(messages::Text(messages::NOTE_NO_INSTRUMENT, language_));
    }
    const std::string& file =
        description_.DeviceTable.empty() ? std::string() : description_.DeviceTable[0].ProgFile2;
    description_.DeviceKind = DeviceKindOf(file);
    description_.SavedStartMode = description_.StartMode;
  }

 private:
  void DeviceSection(const Block& block) {
    if (description_.DeviceTable.size() >= DeviceDescription::kMaxEntries) {
      ++ignored_;
      return;
    }
    SectionReader section(block, language_, report_);
    description_.StartMode = section.StartMode();
    description_.DeviceTable.push_back(ReadEntry(section));
  }

  void TextSection(const Block& block) {
    SectionReader section(block, language_, report_);
    constexpr size_t width = DeviceDescription::kTextWidth;
    description_.StartText = {section.Field("StarttextD", width),
                              section.Field("StarttextE", width)};
    description_.AbortText = {section.Field("AbbruchtextD", width),
                              section.Field("AbbruchtextE", width)};
  }

  DeviceDescription& description_;
  int32_t language_;
  FileReport& report_;
  int ignored_ = 0;
};

}  // namespace

int32_t ReadDeviceFile(const std::filesystem::path& workingFolder, DeviceDescription& description,
                       FileReport& report, int32_t language) {
  const std::optional<IniLines> lines = LoadIniLines(workingFolder / kFileName);
  if (!lines) {
    report.ShowError(messages::kConfigFileCaption, messages::kConfigFile2Missing);
    return -1;
  }
  description = DeviceDescription{};
  NoteUnreadLines(*lines, kFileName, language, report);
  DeviceFileReader reader(description, language, report);
  // A block runs up to the next empty line; a line of blanks only counts as empty, as it looks.
  Block block;
  const size_t readLines = lines->size() - (HasUnreadLines(*lines) ? 1 : 0);
  for (size_t i = 0; i < readLines; ++i) {
    const std::string& text = (*lines)[i].text;
    if (!IsBlank(text)) {
      block.push_back({text, static_cast<int>(i + 1)});
      continue;
    }
    reader.Take(block);
    block.clear();
  }
  reader.Take(block);
  reader.Finish();
  return 0;
}

DeviceKindId DeviceKindOf(const std::string& fileName) {
  int32_t kind = 0;
  if (fileName.find(".txt") != std::string::npos) kind |= 1;
  if (fileName.find(".exe") != std::string::npos) kind |= 2;
  if (fileName.find(".hex") != std::string::npos) kind |= 3;
  return static_cast<DeviceKindId>(kind);
}

std::string DefaultFileForProcessor(const DeviceDescription& description, int32_t processorType) {
  for (const DeviceEntry& entry : description.DeviceTable) {
    if (entry.ProzTyp == processorType) return entry.ProgDefFile;
  }
  return {};
}

}  // namespace package
