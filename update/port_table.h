// The table of open ports: UpdateCom and, when no port is fixed, one more port object for each
// further usable port, all opened at start-up so the port search can talk on all at once.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/window_system.h"
#include "serial/com_port.h"
#include "update/port_check.h"

namespace update {

class PortTable {
 public:
  // Makes the further port objects (tests put doubles here); the default makes TComPorts.
  using PortFactory = std::function<std::unique_ptr<serial::TComPort>()>;

  explicit PortTable(core::WindowSystem& ownerWindow, PortFactory factory = {});
  ~PortTable();
  PortTable(const PortTable&) = delete;
  PortTable& operator=(const PortTable&) = delete;

  // UpdateCom takes the inventory; PortCount and UsablePortNumbers follow from it.
  void TakeInventory();
  // Opens the fixed port (comGiven, 0-based comIndex) or every usable port, and returns the
  // text of status panel 0: "Com3 /dev/ttyUSB0", or "[Com1] [3] [4]".
  std::string OpenPorts(bool comGiven, int comIndex);
  // Takes ready-made port objects instead of the machine's ports (component tests): entry 0
  // becomes UpdateCom; each is opened as the COM number of the same index.
  void AdoptPorts(std::vector<std::unique_ptr<serial::TComPort>> ports,
                  const std::vector<int>& portNumbers);
  // Closes every port of the table and empties it; the port objects are freed with the table.
  void CloseAll();

  // 0 when a port is fixed; otherwise the entry opened on that COM number, or PortCount.
  int PortIndexOf(int portNumber) const;
  // Writes to every entry among the first PortCount (length -1: up to the NUL).
  void BroadcastWrite(const void* bytes, int32_t length, bool async);
  // Reads and drops up to 250 bytes from the port that reported a line error.
  void DiscardReceived(int portNumber);

  // A run begins: from now on a refused line setting goes to log, and only the first of the
  // run also to the error box (a dead port would otherwise open a box at every search step).
  void BeginRun(std::function<void(const std::string&)> log);
  // Marks entry i as gone; false when it was marked before (the loss is reported once).
  bool MarkLost(int i);
  // Status panel 0: the entries' port names, without those that are gone.
  std::string PanelText() const;
  // For the log: the device file of each opened port ("COM33 is /dev/ttyUSB0").
  std::vector<std::string> DeviceLines(int language) const;
  // The fix for ports that exist but may not be opened by this user; empty when there are none.
  std::string PermissionHint(int language) const;
  // Whether the inventory found the port (0-based) at all.
  bool PortPresent(int comIndex) const;
  // The inventory's findings for PortProblem, with the port Update.ini fixes (if any).
  PortFacts Facts(bool comGiven, int comIndex) const;

  // Entry i, or null.
  serial::TComPort* Entry(int i) const;
  serial::TComPort& UpdateCom() { return *updateCom_; }
  // The error box of every port of the table (see BeginRun).
  void SetErrorBox(serial::ErrorBox box);
  // The language of the ports' dialog and error boxes.
  void SetLanguage(int language);

  int PortCount = 0;
  // The 1-based COM number each entry is opened on (COM3 is 3).
  std::vector<int> UsablePortNumbers;
  bool ComGiven = false;
  // The 0-based indexes of the ports present but not permitted, from the inventory.
  std::vector<int> DeniedPorts;
  // The 0-based indexes of every port present (usable, busy or not permitted).
  std::vector<int> PresentPorts;

 private:
  // The ports' error texts from the catalogue in the table's language.
  serial::PortErrorTexts ErrorTexts() const;
  void OpenFurtherPorts();
  void AddEntry(serial::TComPort* port, std::string panelName);
  void GateErrors(serial::TComPort& port);
  void ReportPortError(const std::string& caption, const std::string& text);

  core::WindowSystem& ownerWindow_;
  PortFactory factory_;
  serial::ErrorBox errorBox_;
  std::function<void(const std::string&)> runLog_;
  bool runBoxShown_ = false;
  int language_ = 0;
  std::unique_ptr<serial::TComPort> updateCom_;
  std::vector<std::unique_ptr<serial::TComPort>> further_;
  std::vector<std::unique_ptr<serial::TComPort>> retired_;  // closed, freed with the table
  std::vector<serial::TComPort*> entries_;
  std::vector<std::string> panelNames_;  // by entry
  std::vector<bool> lost_;               // by entry
};

}  // namespace update
