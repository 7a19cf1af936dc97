// ProgDevice.ini as delivered with a firmware package: any file is read or refused without
// harm, and what is read stays within the tables' limits.
#include <cstdint>

#include "fuzz/support.h"
#include "package/device_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::ScratchFolder& folder = fuzz::Scratch();
  folder.Write("ProgDevice.ini", {reinterpret_cast<const char*>(data), size});
  fuzz::NullReport report;
  package::DeviceDescription description;
  package::ReadDeviceFile(folder.Path(), description, report, 1);
  if (description.DeviceTable.size() > package::DeviceDescription::kMaxEntries) fuzz::Fail();
  for (int32_t language : {0, 1, 2}) {
    (void)description.StartTextIn(language).size();
    (void)description.AbortTextIn(language).size();
  }
  for (const package::DeviceEntry& entry : description.DeviceTable) {
    (void)package::DefaultFileForProcessor(description, entry.ProzTyp);
  }
  return 0;
}
