// The parts of the package check that need nothing but the package's own files: Update.ini and
// ProgDevice.ini read as a run reads them, the files an entry names, sizes against a loader's
// limit, the calibration table, the language files and manuals. Names are taken relative to the
// working folder (the package), as a run takes them. The check of the firmware images themselves
// needs the loaders' readers and lives above them (check/).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "package/check_report.h"
#include "package/device_file.h"
#include "package/settings.h"

namespace package {

// Reads Update.ini and ProgDevice.ini from folder; what the readers would show or log becomes a
// finding. Sets report.language from Update.ini. False when a run could not start.
bool CheckPackageFiles(const std::filesystem::path& folder, Settings& settings,
                       DeviceDescription& devices, CheckReport& report);

// Where a finding belongs: a device entry (0-based, with its name) or the whole package (-1).
struct CheckPlace {
  int32_t entry = -1;
  std::string device;
};

// The size of a regular file of the package; nothing when there is none.
std::optional<uintmax_t> PackageFileSize(const std::string& name);

// A file an entry names: OK with its size, or the error that it is missing. Returns the size.
std::optional<uintmax_t> CheckNamedFile(CheckReport& report, const CheckPlace& place,
                                        const std::string& name, bool further = false);

// A file a loader sends whole: an error when it is larger than the loader's limit.
void CheckSizeLimit(CheckReport& report, const CheckPlace& place, const std::string& name,
                    uintmax_t size, uintmax_t limit);

// A name a package may not give (outside the package, or read as an option): the error a run
// would show. True when the name is fine.
bool CheckNameInsidePackage(CheckReport& report, const CheckPlace& place, const std::string& name);

// AirPressure.csv: every line that cannot be taken, or the number of values it brings; without
// the file, that the built-in values are used.
void CheckPressureFile(CheckReport& report);

// The window's language files and the manuals of the help menu (the sensor instruments' manuals
// when sensorManuals): warnings for those the package lacks.
void CheckLanguageFilesAndManuals(CheckReport& report, bool sensorManuals);

}  // namespace package
