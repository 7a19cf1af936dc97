// Libraries on Windows: LoadLibrary and GetProcAddress. An entry point is looked up by the name
// the library exports it under, also a C++ decorated one ("?M16Upd_Init@@YAHH@Z").
#include <windows.h>

#include <system_error>

#include "core/win_text.h"
#include "platform/shared_library.h"

namespace platform {
namespace {

class WinLibrary : public SharedLibrary {
 public:
  explicit WinLibrary(HMODULE module) : module_(module) {}
  ~WinLibrary() override { FreeLibrary(module_); }
  WinLibrary(const WinLibrary&) = delete;
  WinLibrary& operator=(const WinLibrary&) = delete;

  void* Symbol(const std::string& name) const override {
    return reinterpret_cast<void*>(GetProcAddress(module_, name.c_str()));
  }

 private:
  HMODULE module_;
};

}  // namespace

std::string SharedLibraryFileName(const std::string& name) {
  return name + ".dll";
}

std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::filesystem::path& file,
                                                 std::string& error) {
  // With the library's own folder searched first for the libraries it needs, as when it is
  // loaded from the program's folder.
  std::error_code ignored;
  const HMODULE module = LoadLibraryExW(std::filesystem::absolute(file, ignored).c_str(), nullptr,
                                        LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    error = wintext::SystemErrorText(GetLastError());
    return nullptr;
  }
  return std::make_unique<WinLibrary>(module);
}

}  // namespace platform
