#include "update/port_table.h"

#include <algorithm>

#include "package/messages.h"
#include "serial/port_names.h"

namespace update {
namespace {

constexpr uint32_t kDiscardCount = 250;

std::unique_ptr<serial::TComPort> MakeUpdateCom() {
  auto port = std::make_unique<serial::TComPort>(serial::TComPort::Inventory::Skip);
  serial::V24ParameterTag& record = port->V24.Parameter;
  record.DatenBits = serial::D_8;
  record.StopBits = serial::S_2;
  record.Baudrate = serial::B__4800;
  record.TXTimeOut = 10000;
  record.KeinNullZeichen = 1;
  port->Datei = "ComData.cfg";
  return port;
}

}  // namespace

PortTable::PortTable(core::WindowSystem& ownerWindow, PortFactory factory)
    : ownerWindow_(ownerWindow), factory_(std::move(factory)), updateCom_(MakeUpdateCom()) {
  if (!factory_) {
    // Further ports are opened on a known port: they need no inventory of their own.
    factory_ = [] { return std::make_unique<serial::TComPort>(serial::TComPort::Inventory::Skip); };
  }
}

PortTable::~PortTable() {
  CloseAll();
}

void PortTable::SetErrorBox(serial::ErrorBox box) {
  errorBox_ = std::move(box);
  GateErrors(*updateCom_);
  for (auto& port : further_) GateErrors(*port);
}

void PortTable::GateErrors(serial::TComPort& port) {
  if (!errorBox_) return;
  port.SetErrorBox([this](const std::string& caption, const std::string& text) {
    ReportPortError(caption, text);
  });
}

void PortTable::ReportPortError(const std::string& caption, const std::string& text) {
  if (runLog_) {
    runLog_(text);
    if (runBoxShown_) return;
    runBoxShown_ = true;
  }
  errorBox_(caption, text);
}

void PortTable::BeginRun(std::function<void(const std::string&)> log) {
  runLog_ = std::move(log);
  runBoxShown_ = false;
}

void PortTable::SetLanguage(int language) {
  language_ = language;
  updateCom_->SetLanguage(language);
  updateCom_->SetErrorTexts(ErrorTexts());
  for (auto& port : further_) port->SetErrorTexts(ErrorTexts());
}

serial::PortErrorTexts PortTable::ErrorTexts() const {
  return {std::string(messages::Text(messages::CAPTION_ERROR, language_)),
          std::string(messages::Text(messages::MSG_PORT_NOT_OPENED, language_)),
          std::string(messages::Text(messages::MSG_PORT_LINE_REFUSED, language_))};
}

void PortTable::TakeInventory() {
  updateCom_->Check_AllV24();
  PortCount = updateCom_->GetMaxV24Useable();
  UsablePortNumbers.assign(PortCount, 0);
  for (int i = 0; i < PortCount; ++i) UsablePortNumbers[i] = updateCom_->Get_UseableV24(i) + 1;
  const serial::PortInventory& inventory = updateCom_->PortList();
  DeniedPorts.assign(inventory.DeniedList.begin(),
                     inventory.DeniedList.begin() + inventory.DeniedCount);
  PresentPorts.assign(inventory.DeviceList.begin(),
                      inventory.DeviceList.begin() + inventory.DeviceCount);
}

bool PortTable::PortPresent(int comIndex) const {
  return std::find(PresentPorts.begin(), PresentPorts.end(), comIndex) != PresentPorts.end();
}

PortFacts PortTable::Facts(bool comGiven, int comIndex) const {
  PortFacts facts;
  facts.comGiven = comGiven;
  facts.comIndex = comIndex;
  facts.present = PresentPorts;
  for (int number : UsablePortNumbers) facts.usable.push_back(number - 1);
  facts.denied = DeniedPorts;
  return facts;
}

std::string PortTable::PermissionHint(int language) const {
  return update::PermissionHint(DeniedPorts, language);
}

std::vector<std::string> PortTable::DeviceLines(int language) const {
  std::vector<std::string> lines;
  for (serial::TComPort* port : entries_) {
    if (!port || !port->Opened()) continue;
    const int index = port->ComNumber() - 1;
    lines.push_back(messages::Filled(messages::MSG_PORT_DEVICE, language,
                                     serial::PortDisplayName(index),
                                     serial::PortDevicePath(index)));
  }
  return lines;
}

std::string PortTable::OpenPorts(bool comGiven, int comIndex) {
  ComGiven = comGiven;
  entries_.clear();
  panelNames_.clear();
  lost_.clear();
  if (comGiven) {
    PortCount = 1;
    updateCom_->Open(&ownerWindow_, comIndex, true);
    updateCom_->LoadV24Parameter();
    std::string name = "Com" + std::to_string(int64_t{comIndex} + 1);
    if (updateCom_->Opened()) name += " " + serial::PortDevicePath(comIndex);
    AddEntry(updateCom_.get(), std::move(name));
    return PanelText();
  }
  const int first = updateCom_->Get_UseableV24(0);
  updateCom_->Open(&ownerWindow_, first, true);
  AddEntry(updateCom_.get(), "[Com" + std::to_string(int64_t{first} + 1) + "]");
  OpenFurtherPorts();
  return PanelText();
}

void PortTable::AddEntry(serial::TComPort* port, std::string panelName) {
  entries_.push_back(port);
  panelNames_.push_back(std::move(panelName));
  lost_.push_back(false);
}

void PortTable::OpenFurtherPorts() {
  const serial::LineConfig line = updateCom_->LoadV24Parameter();
  for (int i = 1; i < PortCount; ++i) {
    further_.push_back(factory_());
    serial::TComPort* port = further_.back().get();
    GateErrors(*port);
    port->SetLanguage(language_);
    port->SetErrorTexts(ErrorTexts());
    AddEntry(port, "[" + std::to_string(UsablePortNumbers[i]) + "]");
    port->Open(&ownerWindow_, updateCom_->Get_UseableV24(i), true);
    port->SaveV24Parameter(&line);
  }
}

void PortTable::AdoptPorts(std::vector<std::unique_ptr<serial::TComPort>> ports,
                           const std::vector<int>& portNumbers) {
  CloseAll();
  ComGiven = false;
  PortCount = static_cast<int>(ports.size());
  UsablePortNumbers = portNumbers;
  panelNames_.clear();
  lost_.clear();
  for (size_t i = 0; i < ports.size(); ++i) {
    ports[i]->Open(&ownerWindow_, portNumbers[i] - 1, true);
    GateErrors(*ports[i]);
    AddEntry(ports[i].get(), (i == 0 ? "[Com" : "[") + std::to_string(portNumbers[i]) + "]");
    if (i == 0) {
      updateCom_ = std::move(ports[i]);
    } else {
      further_.push_back(std::move(ports[i]));
    }
  }
}

bool PortTable::MarkLost(int i) {
  if (i < 0 || i >= static_cast<int>(lost_.size()) || lost_[i]) return false;
  lost_[i] = true;
  return true;
}

std::string PortTable::PanelText() const {
  std::string panel;
  for (size_t i = 0; i < panelNames_.size(); ++i) {
    if (lost_[i]) continue;
    if (!panel.empty()) panel += ' ';
    panel += panelNames_[i];
  }
  return panel;
}

void PortTable::CloseAll() {
  for (serial::TComPort* port : entries_) {
    if (port) port->Close();
  }
  entries_.clear();
  // The objects live on until the table goes: the window may close while a loader, deep in the
  // run's nested event processing, still holds its port.
  for (auto& port : further_) retired_.push_back(std::move(port));
  further_.clear();
}

serial::TComPort* PortTable::Entry(int i) const {
  return i >= 0 && i < static_cast<int>(entries_.size()) ? entries_[i] : nullptr;
}

int PortTable::PortIndexOf(int portNumber) const {
  if (ComGiven) return 0;
  for (int i = 0; i < PortCount && i < static_cast<int>(UsablePortNumbers.size()); ++i) {
    if (UsablePortNumbers[i] == portNumber) return i;
  }
  return PortCount;
}

void PortTable::BroadcastWrite(const void* bytes, int32_t length, bool async) {
  for (int i = 0; i < PortCount; ++i) {
    if (serial::TComPort* port = Entry(i)) port->Write(bytes, length, async);
  }
}

void PortTable::DiscardReceived(int portNumber) {
  serial::TComPort* port = Entry(PortIndexOf(portNumber));
  if (!port) return;
  uint8_t discarded[kDiscardCount + 1];
  port->Read(discarded, kDiscardCount);
}

}  // namespace update
