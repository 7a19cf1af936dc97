#include "serial/v24_parameter.h"

#include <cstring>

#include "serial/posix_line.h"

namespace serial {

TV24Parameter::TV24Parameter() {
  Parameter.DatenBits = D_8;
  Parameter.Baudrate = B__4800;
  Parameter.TXTimeOut = 1000;
}

V24ParameterTag* TV24Parameter::GetParameter(bool persist, const std::string& file) {
  UseDatei = persist;
  DateiName = file;
  if (persist && !file.empty()) LoadDatei(file, &Parameter);
  return &Parameter;
}

void TV24Parameter::SetParameter(const V24ParameterTag* record) {
  if (record != &Parameter) std::memcpy(&Parameter, record, sizeof Parameter);
  if (UseDatei && !DateiName.empty()) SaveDatei(DateiName, &Parameter);
}

int TV24Parameter::LoadDatei(const std::string& file, V24ParameterTag* record) {
  os::FileHandle handle = os::OpenRecordFile(file, false);
  if (!handle.Valid()) {
    // Missing or held elsewhere: leave a file with the values in force.
    SaveDatei(file, record);
    return -10;
  }
  // A short file replaces only the leading bytes it has.
  unsigned char bytes[sizeof(V24ParameterTag)];
  const size_t got = handle.ReadAt(bytes, sizeof bytes);
  std::memcpy(record, bytes, got);
  return 0;
}

int TV24Parameter::SaveDatei(const std::string& file, const V24ParameterTag* record) {
  os::FileHandle handle = os::OpenRecordFile(file, true);
  if (!handle.Valid()) return -10;
  // A longer file keeps its bytes after the record.
  return handle.WriteAt(record, sizeof *record) ? 0 : -10;
}

}  // namespace serial
