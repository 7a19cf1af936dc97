#include "serial/port_names.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "serial/v24_types.h"

namespace serial {

std::string PortDisplayName(int index) {
  // Any int names a port, also one read from a damaged parameter file.
  return "COM" + std::to_string(int64_t{index} + 1);
}

std::string PortDevicePath(int index) {
  const std::optional<PortDevice> device = PortDeviceOf(index);
  if (!device) return {};
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(device->path, error);
  return error ? device->path : target.string();
}

std::string PortFolder() {
  const char* dir = std::getenv(kPortDirVariable);
  return dir ? dir : "";
}

std::optional<int> ComNameIndex(std::string_view name) {
  if (name.size() < 4 || name.size() > 6) return std::nullopt;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  }
  int number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
    number = number * 10 + (name[i] - '0');
  }
  if (number < 1 || number > kMaxPorts) return std::nullopt;
  return number - 1;
}

std::optional<int> PortIndexOfChoice(const std::string& choice) {
  if (std::optional<int> index = ComNameIndex(choice)) return index;
  if (choice.empty()) return std::nullopt;
  std::error_code error;
  const std::filesystem::path wanted = std::filesystem::canonical(choice, error);
  const std::string wantedText = error ? choice : wanted.string();
  for (int index = 0; index < kMaxPorts; ++index) {
    const std::optional<PortDevice> device = PortDeviceOf(index);
    if (!device) continue;
    if (device->path == choice || PortDevicePath(index) == wantedText) return index;
  }
  return std::nullopt;
}

}  // namespace serial
