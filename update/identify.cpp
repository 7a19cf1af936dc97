// Identification: the device entry that fits the instrument, the run's files and the offered
// versions, and the decision whether to program, asking the user where the versions call for it.
#include <algorithm>

#include "core/text.h"
#include "package/messages.h"
#include "package/package_files.h"
#include "package/package_values.h"
#include "update/commands.h"
#include "update/device_quirks.h"
#include "update/display.h"
#include "update/engine.h"
#include "update/offered_version.h"

namespace update {

namespace {

constexpr char kNoSensorQuestion[] =
    "kein digitaler Sensor angeschlossen ?\r\n\r\nTrotzdem fortfahren ?";
// Spelled as the package holds it: a file system that tells case apart finds it only so.
constexpr char kTerminalFile[] = "L3_TermL.A37";

bool Contains(const std::string& text, const std::string& part) {
  return core::FindText(text, part) > 0;
}

// Deletes everything up to and including the first comma.
void DropBeforeComma(std::string& text) {
  const int32_t comma = core::FindText(text, ",");
  if (comma > 0) core::DeleteChars(text, 1, comma);
}

// The first file name of the run that a package may not give, with what is wrong with it.
const std::string* FaultyFileName(const DownloadContext& context,
                                  package::PackageNameFault& fault) {
  std::vector<const std::string*> names = {&context.MainFile, &context.SecondFile,
                                           &context.ThirdFile, &context.ProgDefFile};
  for (const std::string& name : context.DownloadList) names.push_back(&name);
  for (const std::string* name : names) {
    fault = package::CheckPackageFileName(*name);
    if (fault != package::PackageNameFault::kNone) return name;
  }
  return nullptr;
}

}  // namespace

bool UpdateEngine::IdentifyDevice() {
  devices_.StartMode = devices_.SavedStartMode;
  run_.ForceSameVersion = false;
  run_.SensorPresent = true;
  view_.SetWaitPanelVisible(false);

  bool hasSensor = true;
  size_t rememberedLength = 8;
  const bool sensorMode = package::IsSensorVariant(devices_.StartMode);
  if (sensorMode) AdjustSensorIdentity(hasSensor, rememberedLength);

  int32_t entry = SelectDeviceEntry(rememberedLength);
  if (entry >= 0) {
    FillContext(entry);
    if (!FileNamesInsidePackage()) return false;
  }
  if (entry < 0 || !FirmwarePresent() ||
      (!record_.LoaderIdText.empty() && !Contains(record_.LoaderIdText, record_.BootLoadKenn))) {
    return ReportWrongDevice();
  }
  if (sensorMode) {
    if (!FinishSensorIdentity(hasSensor)) return false;
    if (!hasSensor) entry = 0;
  }
  ShowIdentity(entry);
  ReadOfferedVersions();
  return DecideVersions();
}

void UpdateEngine::AdjustSensorIdentity(bool& hasSensor, size_t& rememberedLength) {
  // A sensor instrument answers "meter,sensor": the sensor's numbers count.
  std::string& device = record_.DeviceNumber;
  rememberedLength = device.size();
  const int32_t c = core::FindText(device, ",");
  hasSensor = c > 0;
  if (c > 0) core::DeleteChars(device, 1, c);
  std::string& pcb = record_.PcbNumber;
  const int32_t d = core::FindText(pcb, ",");
  if (d > 0) {
    core::DeleteChars(pcb, 1, d);
    // The sensor's variant digits after the "." come from its PCB number.
    const int32_t r = core::FindText(device, ".");
    for (size_t i = static_cast<size_t>(r); r > 0 && i < static_cast<size_t>(r) + 3; ++i) {
      if (i < device.size() && i < pcb.size()) device[i] = pcb[i];
    }
  }
}

int32_t UpdateEngine::SelectDeviceEntry(size_t rememberedLength) const {
  const auto& table = devices_.DeviceTable;
  for (size_t k = 0; k < table.size(); ++k) {
    if (Contains(record_.DeviceNumber, table[k].DeviceNr)) return static_cast<int32_t>(k);
  }
  if (Contains(record_.PcbNumber, record_.DeviceNumber)) {
    for (size_t k = 0; k < table.size(); ++k) {
      if (Contains(record_.PcbNumber, table[k].DeviceNrDef)) return static_cast<int32_t>(k);
    }
  }
  if (!table.empty() && Contains(table[0].DeviceNrDef, "XXXXX") && rememberedLength < 10) {
    return 0;
  }
  return -1;
}

void UpdateEngine::FillContext(int32_t entry) {
  const package::DeviceEntry& row = devices_.DeviceTable[static_cast<size_t>(entry)];
  record_.ProzTyp = row.ProzTyp;
  std::vector<std::string> items;
  SetField(record_.MainFile, package::FirstItem(row.ProgFile2, items), DownloadContext::kFileWidth);
  SetField(record_.ThirdFile, row.ProgFile1, DownloadContext::kFileWidth);
  SetField(record_.SecondFile, package::FirstItem(row.ProgFile3, items),
           DownloadContext::kFileWidth);
  for (const std::string& item : items) {
    const std::vector<std::string> expanded = package::IsFolderPattern(item)
                                                  ? package::ExpandFolderPattern(item)
                                                  : std::vector<std::string>{item};
    for (const std::string& name : expanded) {
      if (record_.DownloadList.size() >= DownloadContext::kListCapacity) {
        view_.AppendLog(messages::Filled(messages::MSG_DOWNLOAD_LIST_FULL, Language(), name));
        continue;
      }
      std::string clipped;
      SetField(clipped, name, DownloadContext::kFileWidth);
      record_.DownloadList.push_back(clipped);
    }
  }
  record_.MainFileMarked = package::StripMarker(record_.MainFile);
  record_.SecondFileMarked = package::StripMarker(record_.SecondFile);
  record_.SWKenn1 = row.SWKenn1;
  record_.SWKenn2 = row.SWKenn2;
  record_.SWKenn3 = row.SWKenn3;
  record_.BootLoadKenn = row.BootLoadKenn;
  record_.FlashErase1 = package::EraseValue(row.FlashErase1);
  record_.FlashErase2 = package::EraseValue(row.FlashErase2);
  record_.FlashErase3 = package::EraseValue(row.FlashErase3);
  const auto& table = devices_.DeviceTable;
  const size_t loaderRow = run_.BenchAnswerChar + entry == 0x90 ? 0 : 1;
  record_.ProgDefFile = loaderRow < table.size() ? table[loaderRow].ProgDefFile : std::string();
  devices_.DeviceKind = package::DeviceKindOf(record_.MainFile);
}

bool UpdateEngine::FileNamesInsidePackage() {
  package::PackageNameFault fault = package::PackageNameFault::kNone;
  const std::string* name = FaultyFileName(record_, fault);
  if (!name) return true;
  const std::string text = ReplaceFirstX(messages::Text(fault == package::PackageNameFault::kOption
                                                            ? messages::MSG_PACKAGE_FILE_OPTION
                                                            : messages::MSG_PACKAGE_FILE_OUTSIDE,
                                                        Language()),
                                         "\"" + *name + "\"");
  view_.ShowError(messages::Text(messages::CAPTION_ERROR, Language()), text);
  view_.AppendLog(text);
  return false;
}

bool UpdateEngine::FirmwarePresent() const {
  return std::any_of(FirmwareFiles.begin(), FirmwareFiles.end(),
                     [this](const std::string& name) { return Contains(record_.MainFile, name); });
}

bool UpdateEngine::ReportWrongDevice() {
  view_.ShowError(messages::Text(messages::CAPTION_ERROR, Language()),
                  messages::Text(messages::MSG_WRONG_DEVICE, Language()));
  // NAME in the message becomes the list of instruments this package is for.
  for (const package::DeviceEntry& row : devices_.DeviceTable) {
    if (row.DeviceName.empty() || Contains(record_.DeviceNameText, row.DeviceName)) continue;
    std::string names = record_.DeviceNameText + row.DeviceName + ", ";
    SetField(record_.DeviceNameText, names, DownloadContext::kDeviceNameWidth);
  }
  Append(std::string(messages::Text(messages::MSG_WRONG_DOWNLOAD, Language())));
  return false;
}

bool UpdateEngine::FinishSensorIdentity(bool hasSensor) {
  record_.CurVer = record_.CurVer2;
  record_.CurVer2 = 0;
  DropBeforeComma(record_.SwVersion);
  if (!hasSensor) {
    if (!view_.AskQuestion(messages::Text(messages::CAPTION_INFO, Language()), kNoSensorQuestion)) {
      return false;
    }
    record_.NoSensorContinue = true;
    run_.SensorPresent = false;
    record_.SwVersion = "X.XX";
    const auto& table = devices_.DeviceTable;
    SetField(record_.DeviceNumber, table.empty() ? std::string() : table[0].DeviceNr,
             DownloadContext::kDeviceNumberWidth);
    record_.SerialNumber = "XXXXXXXX";
  }
  DropBeforeComma(record_.SerialNumber);
  record_.SecondFileMarked = record_.MainFileMarked;
  if (devices_.StartMode == package::StartVariant::kSensorBootChoice) {
    devices_.StartMode = package::StartVariant::kSensor;
    run_.BslMode = 1;
    run_.BootCommand = record_.NoSensorContinue ? cmd::kBootNoSensor : cmd::kBootSensor;
  }
  return true;
}

void UpdateEngine::ShowIdentity(int32_t entry) {
  SetField(record_.DeviceNameText, devices_.DeviceTable[static_cast<size_t>(entry)].DeviceName,
           DownloadContext::kDeviceNameWidth);
  view_.SetDeviceField(DeviceField::Name,
                       record_.DeviceNumber + "  [" + record_.DeviceNameText + "]");
  view_.SetDeviceField(DeviceField::Serial, record_.SerialNumber);
  view_.SetDeviceField(DeviceField::Pcb, record_.PcbNumber);
  view_.SetDeviceField(DeviceField::Software, record_.SwVersion);
}

void UpdateEngine::ReadOfferedVersions() {
  std::string panel = "Version " + ReadOfferedVersion(record_.SWKenn2, record_.MainFile);
  view_.SetStatusPanel(3, panel);
  if (record_.ListCount() > 0) {
    run_.StartupFirst = run_.StartupLast = 0;
    std::string bestText = record_.OfferedVersion;
    int32_t bestNumber = record_.NewVer;
    size_t i = 0;
    for (;; ++i) {
      record_.OfferedVersion.clear();
      ReadOfferedVersion(record_.SWKenn2, record_.DownloadList[i]);
      if (bestNumber < record_.NewVer) {
        bestText = record_.OfferedVersion;
        bestNumber = record_.NewVer;
      }
      if (Contains(record_.DownloadList[i], kStartupProgramFile)) {
        record_.OfferedStartupVer = record_.NewVer;
        run_.StartupFirst = static_cast<int32_t>(i);
      }
      const bool nextIsProgram =
          i + 1 < record_.DownloadList.size() && (Contains(record_.DownloadList[i + 1], ".exe") ||
                                                  Contains(record_.DownloadList[i + 1], ".dll"));
      if (!nextIsProgram) break;
    }
    if (run_.StartupFirst > 0) {
      run_.StartupLast = static_cast<int32_t>(i);
      Send(cmd::kStartupProgram);
      events_.wait.DelayTime(3000, true);
    }
    panel = "Version " + bestText;
    record_.OfferedVersion = bestText;
    record_.NewVer = bestNumber;
    view_.SetStatusPanel(3, panel);
  }
  if (quirks::Listed(record_.DeviceNumber, quirks::kTerminalDevices)) {
    record_.SecondFile = kTerminalFile;
  }
  // The third file's version is read on its own: a package may offer it without a first file.
  if (!record_.SWKenn1.empty()) {
    panel += " / " + ReadOfferedVersion(record_.SWKenn1, record_.ThirdFile);
  }
  if (!record_.SWKenn3.empty()) {
    panel += " / " + ReadOfferedVersion(record_.SWKenn3, record_.SecondFile);
  }
  if (!record_.SWKenn1.empty() || !record_.SWKenn3.empty()) view_.SetStatusPanel(3, panel);
}

bool UpdateEngine::DecideVersions() {
  const int32_t language = Language();
  const std::string info(messages::Text(messages::CAPTION_INFO, language));
  auto askSensor = [&] {
    return view_.AskQuestion(info, messages::Text(messages::MSG_SENSOR_RS232, language));
  };
  if (record_.CurVer > record_.NewVer &&
      (record_.CurVer2 > record_.NewVer2 || record_.CurVer2 == 0)) {
    view_.ShowError(messages::Text(messages::CAPTION_ERROR, language),
                    messages::Text(messages::MSG_INVALID_VERSION, language));
    if (VersionCheck) {
      Append(
          ReplaceFirstX(messages::Text(messages::MSG_DEVICE_NEWER, language), record_.SwVersion));
      return false;
    }
    record_.CurVer = record_.NewVer;
    run_.ForceSameVersion = true;
  }
  if (record_.CurVer == record_.NewVer &&
      (record_.CurVer2 == record_.NewVer2 || record_.NewVer2 == 0) &&
      record_.StartupVer == record_.OfferedStartupVer) {
    bool yes = view_.AskQuestion(
        info,
        ReplaceFirstX(messages::Text(messages::MSG_SAME_VERSION, language), record_.SwVersion));
    run_.ForceSameVersion = yes;
    run_.LeftCurrent = !yes;
    if (run_.Reply262Seen && run_.ForceSameVersion) yes = askSensor();
    // Declined: the log says how the instrument was left (update-cli ends with this line).
    if (!yes) Append(std::string(messages::In(messages::kLeftUnchanged, language)) + "\r\n");
    return yes;
  }
  if (run_.Reply262Seen && record_.CurVer2 < record_.NewVer2) return askSensor();
  return true;
}

std::string UpdateEngine::ReadOfferedVersion(const std::string& pattern,
                                             const std::string& fileName) {
  const VersionFileMode mode = VersionModeFor(pattern, fileName);
  const std::optional<std::string> bytes = ReadVersionBytes(core::PackagePath(fileName), mode);
  if (!bytes) {
    view_.ShowError(messages::Text(messages::CAPTION_ERROR, Language()),
                    ReplaceFirstX(messages::Text(messages::MSG_FILE_NOT_OPENED, Language()),
                                  "\"" + fileName + "\""));
    return "0";
  }
  std::string result;
  switch (mode) {
    case VersionFileMode::kHead:
    case VersionFileMode::kTail:
      result = DecodeHexVersion(*bytes, pattern);
      break;
    case VersionFileMode::kProgram:
      result = DecodeProgramVersion(*bytes, pattern);
      break;
    case VersionFileMode::kNone:
      return result;
  }
  if (mode != VersionFileMode::kTail && record_.OfferedVersion.empty()) {
    SetField(record_.OfferedVersion, result, DownloadContext::kVersionWidth);
    record_.NewVer = VersionHundredths(record_.OfferedVersion);
  } else {
    SetField(record_.OfferedVersion2, result, DownloadContext::kVersionWidth);
    record_.NewVer2 = VersionHundredths(record_.OfferedVersion2);
  }
  return result;
}

}  // namespace update
