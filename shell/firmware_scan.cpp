#include "shell/firmware_scan.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "package/messages.h"
#include "package/package_files.h"

namespace shell {
namespace {

bool Contains(const std::string& name, const std::string& part) {
  return !part.empty() && name.find(part) != std::string::npos;
}

bool HasExtension(const std::string& name, const char* extension) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == extension;
}

void Accept(FirmwareScan& scan, const std::string& name, int32_t language) {
  if (scan.files.size() >= FirmwareScan::kCapacity) {
    scan.log.push_back(messages::Filled(messages::MSG_FIRMWARE_LIST_FULL, language,
                                        std::to_string(FirmwareScan::kCapacity), name));
    return;
  }
  scan.files.push_back(name);
  scan.listNames.push_back(name.substr(0, name.find('.')));
}

}  // namespace

FirmwareScan ScanFirmwareFiles(const std::filesystem::path& folder,
                               const std::vector<std::string>& progFile2, int32_t language) {
  FirmwareScan scan;
  const std::vector<std::string> names = package::RegularFiles(folder);
  auto entry = [&](size_t k) { return k < progFile2.size() ? progFile2[k] : std::string(); };

  for (const std::string& name : names) {
    if (!HasExtension(name, "mot") || Contains(name, "EEP")) continue;
    Accept(scan, name, language);
    // Each accepted ".mot" file sets the submenu's visibility again: the last one decides.
    scan.programmingMenuVisible = Contains(name, entry(0));
    for (size_t k = 0; k < scan.deviceItemsEnabled.size(); ++k) {
      if (Contains(name, entry(k))) scan.deviceItemsEnabled[k] = true;
    }
  }
  for (const char* extension : {"txt", "exe", "dll", "hex"}) {
    for (const std::string& name : names) {
      if (!HasExtension(name, extension)) continue;
      if (Contains(name, "EEP") || Contains(name, "Version")) continue;
      Accept(scan, name, language);
      for (size_t k = 0; k < 4; ++k) {
        if (Contains(name, entry(k))) scan.benchEnabled = true;
      }
    }
  }
  return scan;
}

FirmwareScan ScanPackageFirmware(const std::filesystem::path& folder,
                                 const package::DeviceDescription& devices, int32_t language) {
  std::vector<std::string> progFile2;
  for (const package::DeviceEntry& entry : devices.DeviceTable) {
    if (progFile2.size() == 4) break;
    progFile2.push_back(entry.ProgFile2);
  }
  return ScanFirmwareFiles(folder, progFile2, language);
}

}  // namespace shell
