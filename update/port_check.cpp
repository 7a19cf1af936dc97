#include "update/port_check.h"

#include <algorithm>
#include <cstdint>

#include "package/messages.h"
#include "serial/port_names.h"

namespace update {
namespace {

bool Holds(const std::vector<int>& ports, int index) {
  return std::find(ports.begin(), ports.end(), index) != ports.end();
}

// "COM3 (/dev/ttyS2), COM33 (/dev/ttyUSB0)"
std::string Named(const std::vector<int>& ports) {
  std::string names;
  for (int index : ports) {
    if (!names.empty()) names += ", ";
    names += serial::PortDisplayName(index) + " (" + serial::PortDevicePath(index) + ")";
  }
  return names;
}

std::string FixedPortProblem(const PortFacts& facts, int language) {
  const int index = facts.comIndex;
  if (Holds(facts.usable, index)) return {};
  if (Holds(facts.denied, index)) return PermissionHint({index}, language);
  if (Holds(facts.present, index)) {
    return messages::Filled(messages::MSG_PORT_BUSY, language, Named({index}));
  }
  return messages::Filled(messages::MSG_COM_PORT_ABSENT, language, Named({index}),
                          std::to_string(int64_t{index} + 1));
}

std::string SearchProblem(const PortFacts& facts, int language) {
  if (!facts.usable.empty()) return {};
  if (!facts.denied.empty()) {
    return std::string(messages::Text(messages::MSG_NO_PORT_PERMITTED, language)) + "\r\n" +
           PermissionHint(facts.denied, language);
  }
  if (!facts.present.empty()) {
    return messages::Filled(messages::MSG_PORT_BUSY, language, Named(facts.present));
  }
  return messages::Filled(messages::MSG_NO_SERIAL_PORT, language, serial::PortExamples());
}

}  // namespace

std::string PermissionHint(const std::vector<int>& deniedPorts, int language) {
  if (deniedPorts.empty()) return {};
  return messages::Filled(messages::MSG_PORT_NOT_PERMITTED, language, Named(deniedPorts));
}

std::string PortProblem(const PortFacts& facts, int language) {
  return facts.comGiven ? FixedPortProblem(facts, language) : SearchProblem(facts, language);
}

}  // namespace update
