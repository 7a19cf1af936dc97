// Libraries on POSIX systems: dlopen and dlsym.
#include <dlfcn.h>

#include "platform/shared_library.h"

namespace platform {
namespace {

class DlLibrary : public SharedLibrary {
 public:
  explicit DlLibrary(void* handle) : handle_(handle) {}
  ~DlLibrary() override { dlclose(handle_); }
  DlLibrary(const DlLibrary&) = delete;
  DlLibrary& operator=(const DlLibrary&) = delete;

  void* Symbol(const std::string& name) const override { return dlsym(handle_, name.c_str()); }

 private:
  void* handle_;
};

}  // namespace

std::string SharedLibraryFileName(const std::string& name) {
  return "lib" + name + ".so";
}

std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::filesystem::path& file,
                                                 std::string& error) {
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = why ? why : "cannot be loaded";
    return nullptr;
  }
  return std::make_unique<DlLibrary>(handle);
}

}  // namespace platform
