// ComData.cfg, the raw parameter record of a port: whatever the file holds, the record it gives
// names a port, builds a line configuration and is written back unchanged.
#include <cstdint>
#include <cstring>

#include "fuzz/support.h"
#include "serial/line_config.h"
#include "serial/port_names.h"
#include "serial/v24_parameter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::ScratchFolder& folder = fuzz::Scratch();
  const std::string file =
      folder.Write("ComData.cfg", {reinterpret_cast<const char*>(data), size}).string();
  serial::TV24Parameter parameter;
  const serial::V24ParameterTag defaults = parameter.Parameter;
  serial::V24ParameterTag& record = *parameter.GetParameter(true, file);
  // A short file replaces only the bytes it has.
  const size_t taken = std::min(size, sizeof record);
  if (std::memcmp(&record, data, taken) != 0) fuzz::Fail();
  if (std::memcmp(reinterpret_cast<const char*>(&record) + taken,
                  reinterpret_cast<const char*>(&defaults) + taken, sizeof record - taken) != 0)
    fuzz::Fail();

  if (serial::PortDisplayName(record.Schnittstelle).empty()) fuzz::Fail();
  (void)serial::PortDeviceOf(record.Schnittstelle);
  const serial::LineConfig line = serial::BuildLineConfig(record);
  if (line.BaudRate == 0 || line.Parity > 4 || line.StopBits > 2) fuzz::Fail();

  // Written back, the record reads the same.
  parameter.UseDatei = true;
  parameter.DateiName = file;
  parameter.SetParameter(&record);
  serial::V24ParameterTag reread;
  if (serial::TV24Parameter::LoadDatei(file, &reread) != 0) fuzz::Fail();
  if (std::memcmp(&reread, &record, sizeof record) != 0) fuzz::Fail();
  return 0;
}
