#include "package/package_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/text.h"
#include "package/package_values.h"

namespace package {

std::string FirstItem(const std::string& value, std::vector<std::string>& further) {
  size_t start = value.find(',');
  if (start == std::string::npos) return value;
  const std::string first = value.substr(0, start);
  for (;;) {
    const size_t next = value.find(',', start + 1);
    further.push_back(
        value.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1));
    if (next == std::string::npos) break;
    start = next;
  }
  return first;
}

bool IsFolderPattern(const std::string& item) {
  return item.find("*.*") != std::string::npos;
}

std::vector<std::string> ExpandFolderPattern(const std::string& item) {
  const std::string prefix = item.substr(0, item.find("*.*"));
  if (CheckPackageFileName(prefix) != PackageNameFault::kNone) return {item};
  const std::string path = core::PackagePath(prefix);
  const std::filesystem::path folder(path.empty() ? std::string_view(".") : std::string_view(path));
  std::vector<std::string> items;
  for (const std::string& name : RegularFiles(folder)) items.push_back(prefix + name);
  return items;
}

std::vector<std::string> RegularFiles(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code typeError;
    if (entry.is_regular_file(typeError)) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool StripMarker(std::string& file) {
  if (file.empty() || file.back() != '@') return false;
  file.pop_back();
  return true;
}

}  // namespace package
