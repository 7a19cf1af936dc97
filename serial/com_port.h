// TComPort: one serial port with its line parameters, a receive thread that announces arrivals
// to the owner window with posted messages, and a transmit thread for asynchronous writes.
// Every operation is called from the window thread. The operations the update sequence and the
// loaders use are virtual, so a test double can take the port's place.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/window_system.h"
#include "serial/line_config.h"
#include "serial/port_inventory.h"
#include "serial/rx_queue.h"
#include "serial/v24_parameter.h"

namespace serial {

namespace os {
class SystemLine;
}
class TV24Read_Thread;
class TV24Write_Thread;

// The open device. A valid handle is never 0, which Open returns for a port already open.
using PortHandle = int;
inline constexpr PortHandle kInvalidHandle = -1;
inline constexpr PortHandle kNullHandle = 0;

// Results of Read and Write.
inline constexpr int32_t kNotOpen = -10;
inline constexpr int32_t kTransmitterBusy = -1;
inline constexpr int32_t kTransmitError = -100;
// More bytes than the transmit buffer holds, or a negative length other than -1: nothing sent.
inline constexpr int32_t kWriteRefused = -2;

// Shows a modal error box (the window) or prints it (console, default: stderr).
using ErrorBox = std::function<void(const std::string& caption, const std::string& text)>;

// The port settings dialog, provided by the window system (the port has no widgets): shows the
// record with the fields the flags allow to change, lets the user edit it and returns 1 for OK
// (record edited) or 2 for Cancel. ports lists the ports present; language 0 German, 1 English.
using SettingsDialog = std::function<int(const TDlgParameter& flags, V24ParameterTag& record,
                                         const PortInventory& ports, int language)>;

// The texts of the port's error boxes in the user's language; the owner takes them from its
// catalogue. %1 stands for the port ("COM3"), %2 for the system's reason. Until then the port
// speaks German, the program's default language.
struct PortErrorTexts {
  std::string caption = "Fehler";
  std::string notOpened = "%1 konnte nicht geöffnet werden!";
  std::string lineRefused = "%1: Schnittstelle lässt sich nicht einstellen (%2)";
};

class TComPort {
 public:
  enum class Inventory { Take, Skip };
  // Takes the port inventory unless told to skip it (port objects opened on a known port, and
  // test doubles, which must not touch the machine's ports).
  explicit TComPort(Inventory inventory = Inventory::Take);
  // Closes the port when it is still open.
  virtual ~TComPort();
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // The language of the settings dialog.
  void SetLanguage(int language) { Language = language; }
  void SetErrorTexts(PortErrorTexts texts) { errorTexts_ = std::move(texts); }
  void SetErrorBox(ErrorBox box);

  // port: index (0 = COM1) or -1 for the record's Schnittstelle. Returns the handle,
  // kInvalidHandle on failure (after the error box when showError), kNullHandle when open.
  virtual PortHandle Open(core::WindowSystem* ownerWindow, int32_t port, bool showError);
  virtual void Close();
  // Blocks until count bytes came, 20 ms passed after the latest byte, or count + RXTimeOut ms
  // passed. Unless KeinString was set at Open, a NUL follows the bytes: the buffer must hold
  // count + 1 bytes. Returns the number of bytes, or -10 when not open.
  virtual int32_t Read(void* buffer, uint32_t count);
  // The read after a receive notification: takes up to count of the bytes that have arrived and
  // returns at once (0 when none), the NUL behind them as Read puts it. Bytes left because
  // count was smaller are announced again.
  virtual int32_t ReadReceived(void* buffer, uint32_t count);
  // For a reader that knows how many bytes it lacks (the rest of a frame whose length it has
  // read): the next receive notification comes once count bytes are queued, at once when they
  // are. The next Read, ReadReceived, Write, line setting or Reset_SetAktiv announces every
  // byte again.
  virtual void AnnounceAt(uint32_t count);
  // Direct receive while a loader holds the line: the owner window's own waits take the arrivals
  // and announce them, and the receive thread stands aside, so an answer wakes only the window
  // thread. Notifications, reads and their rules stay as they are. Begin returns false when the
  // owner window cannot wait on the line (the receive thread goes on then); End, Close and
  // reopening hand the line back to the receive thread without losing or doubling a byte.
  bool BeginDirectReceive();
  void EndDirectReceive();
  bool DirectReceive() const;
  // length -1: up to the terminating NUL. Returns the bytes handed over (with XOFF/XON framing
  // under Qolmar_XonXoff), or -10, -1, -100, -2 (see above).
  virtual int32_t Write(const void* data, int32_t length, bool async);
  // Clears a pending transmit error; non-zero when the port is open.
  virtual int GetWriteStatus();
  virtual void Reset_SetAktiv();

  // Line operations on the open line; the record V24 stays as it is. On a closed port they
  // change nothing. They return false when the line refused the setting (reported in the
  // error box) or the port is closed.
  virtual bool ChangeV24Parameter(BaudTag baud, StopBitTag stopBits, ParitaetTag parity,
                                  bool discardNull);
  virtual bool ChangeBaudrate(BaudTag baud);
  virtual bool ChangeHandShake(HandshakeTag handshake);
  virtual LineConfig LoadV24Parameter();
  virtual bool SaveV24Parameter(const LineConfig* config);
  virtual void SaveLastV24Parameter();
  virtual void LoadLastV24Parameter();

  virtual void InitParameter(const V24ParameterTag* record, bool autoSearch);
  virtual V24ParameterTag* GetV24Parameter();
  void SetV24(TV24Parameter* other);
  void SetV24Dlg(const TDlgParameter* other) { V24Dialog = *other; }

  // Takes the inventory again, shows the line parameters in the dialog and on OK keeps the
  // edited record (in the parameter file while persisting) and reopens an open port with it.
  // Returns whether the user chose OK.
  bool OpenDialog(const SettingsDialog& dialog);

  void Check_AllV24() { inventory_.Take(); }
  int GetMaxV24Devices() const { return inventory_.DeviceCount; }
  int GetMaxV24Useable() const { return inventory_.UseableCount; }
  int32_t Get_DeviceV24(int i) const { return inventory_.Device(i); }
  int32_t Get_UseableV24(int i) const { return inventory_.Useable(i); }
  const PortInventory& PortList() const { return inventory_; }

  virtual bool Opened() const { return opened_; }
  PortHandle Handle() const { return handle_; }
  // 1-based number of the open port (COM3 is 3); 0 while closed.
  int ComNumber() const { return opened_ ? comIndex_ + 1 : 0; }
  HandshakeTag ActiveHandshake() const { return activeHandshake_; }
  // The device went away while open (pty closed, adapter unplugged).
  virtual bool DeviceLost() const;
  // True while a WM_V24_RECEIVED is outstanding.
  bool Aktiv() const;
  // How often the receive thread has taken bytes from the line since opening (its wake-ups), and
  // how many of these passes the window thread took in direct receive.
  uint64_t ReceivePasses() const;
  uint64_t DirectReceivePasses() const;

  // Published properties.
  TV24Parameter V24;
  TDlgParameter V24Dialog;
  bool StreamOn = false;
  bool AutoSearch = false;
  std::string Datei = "ComData.cfg";
  int Language = 0;

 protected:
  // Shows the error box with the caption of the port's error texts.
  void ShowError(const std::string& text);

 private:
  bool OpenDevice(int32_t port);
  // Read in direct receive: the window thread waits on the line itself, with Read's rules.
  size_t ReadDirect(uint8_t* bytes, size_t count, RxQueue::Clock::time_point deadline);
  bool ApplyLine(const LineConfig& config);

  ErrorBox errorBox_;
  PortErrorTexts errorTexts_;
  PortInventory inventory_;
  std::unique_ptr<os::SystemLine> line_;
  RxQueue rx_;
  std::unique_ptr<TV24Read_Thread> reader_;
  std::unique_ptr<TV24Write_Thread> writer_;
  core::WindowSystem* ownerWindow_ = nullptr;
  PortHandle handle_ = kInvalidHandle;
  bool opened_ = false;
  int comIndex_ = 0;
  bool noTerminator_ = false;
  HandshakeTag activeHandshake_ = NoHandshake;
  int32_t rxTimeOut_ = 0;
  int32_t txTimeOut_ = 0;
  LineConfig current_;
  LineConfig last_;
  bool lastSaved_ = false;
  std::atomic<bool> discardNull_{false};
  std::vector<uint8_t> frame_;
};

// Direct receive on a port for as long as the object lives (a loader's run). A null or closed port
// changes nothing.
class DirectReceiveScope {
 public:
  explicit DirectReceiveScope(TComPort* port) : port_(port) {
    if (port_ != nullptr) port_->BeginDirectReceive();
  }
  ~DirectReceiveScope() {
    if (port_ != nullptr) port_->EndDirectReceive();
  }
  DirectReceiveScope(const DirectReceiveScope&) = delete;
  DirectReceiveScope& operator=(const DirectReceiveScope&) = delete;

 private:
  TComPort* port_;
};

}  // namespace serial
