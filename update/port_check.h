// Whether a run can use a serial port at all, decided from the port inventory before anything
// is opened: with no port, with ports this user may not open, or with Update.ini fixing a port
// that is missing or busy, a search would only wait out its time-outs. The text says what is
// wrong and how to fix it.
#pragma once

#include <string>
#include <vector>

namespace update {

// What the inventory found (0-based port indexes) and which port Update.ini fixes.
struct PortFacts {
  bool comGiven = false;
  int comIndex = 0;
  std::vector<int> present;  // every port that exists: usable, busy or not permitted
  std::vector<int> usable;
  std::vector<int> denied;
};

// The fix for ports (0-based) that exist but may not be opened by this user, naming them with
// their devices; empty for none.
std::string PermissionHint(const std::vector<int>& deniedPorts, int language);

// Empty when a run can open its port(s); otherwise why not and what to do, in the language.
std::string PortProblem(const PortFacts& facts, int language);

}  // namespace update
