// The classic loader's link: frames and synchronisation characters out, acknowledgements,
// rejections and reply frames in, and the retry rule.
#include <cstdlib>

#include "core/text.h"
#include "msp430/bsl430.h"
#include "msp430/image_file.h"
#include "msp430/port_input.h"
#include "msp430/start_address.h"

namespace msp430 {
namespace {

constexpr int32_t kDefaultPassword = 0x0E5A;
constexpr int32_t kDefaultPasswordHigh = 0x0E5C;  // parts with memory above 0xFFFF
constexpr int32_t kProcessorF237 = 0xF237;
constexpr int32_t kBootLoaderRestartMs = 8000;

int32_t HexWord(const std::string& text) {
  return static_cast<int32_t>(std::strtoul(text.c_str(), nullptr, 16) & 0xFFFF);
}

}  // namespace

T_BSL430::T_BSL430(const LoaderHost& host)
    : Msp430Loader(host), Image(kImageBlocks), PatchImage(kPatchBlocks) {}

bool T_BSL430::LoadImage(const std::string& fileName) {
  BlockIndex = 0;
  return ReadImageFile(fileName) && EraseStartKnown();
}

bool T_BSL430::ReadImageFile(const std::string& fileName) {
  const ImageReadResult result = msp430::ReadImageFile(fileName, Image);
  if (!result.Ok()) {
    ShowBox(ImageErrorMessage(result.Error, LanguageIndex));
    return false;
  }
  const bool english = LanguageIndex == 1;
  const std::string file = (english ? "Firmware file \"" : "Firmware-Datei \"") + fileName + "\": ";
  // Data above 0xFFFF with no vector block behind them would have the vector segment erased and
  // never written again: the instrument would lose its reset vector and its password.
  if (result.FirstHigh > 0 && IsMarker(Image[static_cast<size_t>(result.LastBlock)])) {
    ShowBox(file + (english ? "data above 0xFFFF but no interrupt vector table."
                            : "Daten über 0xFFFF, aber keine Interrupt-Vektortabelle."));
    return false;
  }
  const std::optional<uint16_t> start =
      ClassicStartAddress(Image, result.LastBlock, result.FirstHigh);
  if (!start) {
    ShowBox(file +
            (english ? "no start address in the image (no word at 0xFFFC, no reset vector)."
                     : "keine Startadresse im Abbild (kein Wort bei 0xFFFC, kein Reset-Vektor)."));
    return false;
  }
  LastBlock = result.LastBlock;
  FirstHigh = result.FirstHigh;
  StartAddress = *start;
  SetProgressMax(4 * (LastBlock + 1) + 8);
  return true;
}

void T_BSL430::StartInBootLoader() {
  if (host_.context.BslPasswordKnown) {
    PasswordWord = host_.context.BslPasswordWord;
    PasswordWordKnown = true;
  } else {
    const bool high = FirstHigh > -1 || core::FindText(host_.context.PcbNumber, "23774") > 0 ||
                      host_.context.ProzTyp == kProcessorF237;
    PasswordWord = high ? kDefaultPasswordHigh : kDefaultPassword;
  }
  EnterBootLoader(SyncFirst);
}

void T_BSL430::SetDefaultPassword() {
  const bool high = FirstHigh > -1 || host_.context.ProzTyp == kProcessorF237;
  SetPasswordWord(high ? "0xE5C" : "0xE5A");
}

void T_BSL430::SetPasswordWord(const std::string& text) {
  PasswordWord = HexWord(text);
  PasswordWordKnown = true;
  host_.context.BslPasswordWord = PasswordWord;
  host_.context.BslPasswordKnown = true;
  SendText(EntryCommand());
}

void T_BSL430::EnterBootLoader(bool syncFirst) {
  SwitchToBootLoader(kBootLoaderRestartMs);
  if (syncFirst) {
    SendSync(&T_BSL430::RequestVersion);
  } else {
    RequestVersion();
  }
}

void T_BSL430::SendFrame(const std::optional<BslFrame>& frame) {
  TxFrame = frame;
  if (!TxFrame) {  // a block the frame cannot carry; the reader never produces one
    FailRun();
    return;
  }
  Write(TxFrame->View(), AnswerOf(*TxFrame));
}

void T_BSL430::WriteSync() {
  const uint8_t sync = BSL_SYNC;
  Write({&sync, 1}, BslAnswer::Byte);
}

// Nothing received before a write can answer it: what is left (a late or repeated answer) goes.
// The port is not emptied as well: its read waits when nothing has come. What it still holds
// comes in one read with the answer to this write, and only one answer counts.
void T_BSL430::Write(std::span<const uint8_t> bytes, BslAnswer answer) {
  Rx.Clear();
  Awaited = answer;
  host_.port.Write(bytes.data(), static_cast<int32_t>(bytes.size()), false);
}

void T_BSL430::SendSync(Step next) {
  OnAck = next;
  OnFrame = nullptr;
  OnFailure = &T_BSL430::ResendSync;
  StepCode = step::kSync;
  WriteSync();
}

void T_BSL430::ResendSync() {
  WriteSync();
}

void T_BSL430::Run(Step step) {
  if (step && !Done) (this->*step)();
}

// Each write is answered once. Bytes that answer nothing outstanding (a late or repeated
// acknowledgement, a reply frame after its time-out) are dropped without effect.
void T_BSL430::ProcessReceived() {
  if (!ReadArrived(host_.port, Rx)) return;
  while (Awaited && !Done) {
    const BslScan scan = Rx.Scan();
    if (scan == BslScan{}) return;  // the answer has not come, or not completely
    TakeAnswer(scan);
  }
  if (!Awaited) Rx.Clear();
}

// A reply frame answers a read, one byte every other write; a rejection answers either. With
// an acknowledgement and a rejection in one read, the acknowledgement counts.
void T_BSL430::TakeAnswer(const BslScan& scan) {
  const bool frame = *Awaited == BslAnswer::Frame;
  const bool taken = frame ? scan.Frame : scan.Ack;
  if (!taken && !scan.Nak) return;
  Awaited.reset();
  AdvanceProgress();
  if (taken && StepCode != step::kSync) History.Progress();
  if (taken && frame) {
    if (OnFrame) (this->*OnFrame)(Rx.RxFrame());
    ShowPercent();
    return;
  }
  ShowPercent();
  if (taken) {
    Run(OnAck);
  } else if (!Done) {
    HandleFailure();
  }
}

void T_BSL430::HandleTimeout() {
  Rx.Clear();
  HandleFailure();
}

void T_BSL430::HandleFailure() {
  const Step failed = OnFailure;
  if (!failed) return;
  if (!History.Record(failed)) {
    FailRun();  // the same step failed for the fourth time, or nothing moves on
    return;
  }
  // A synchronisation character and a skipped erase are retried as they are; every other step
  // gets a fresh synchronisation character first.
  if (failed == &T_BSL430::ResendSync || failed == &T_BSL430::EraseNext) {
    Run(failed);
  } else {
    SendSync(failed);
  }
}

}  // namespace msp430
