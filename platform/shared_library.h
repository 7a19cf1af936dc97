// A library loaded at run time and the addresses of its entry points. Tests put a table of
// functions in its place.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;
  // The address of the named entry point, or null when the library has none of that name.
  virtual void* Symbol(const std::string& name) const = 0;
};

// The file name of the library called name on this system: "lib<name>.so" or "<name>.dll".
std::string SharedLibraryFileName(const std::string& name);

// Loads the library file; null with error saying why when it cannot be loaded.
std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::filesystem::path& file,
                                                 std::string& error);

}  // namespace platform
