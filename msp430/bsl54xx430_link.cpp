// The F5xx loader's link: frames out; acknowledgements, UART error bytes and response frames in;
// the retry rule. Also the run-specific parts of the entry: image, password words, line switch.
#include <algorithm>
#include <cstdlib>

#include "msp430/bsl54xx430.h"
#include "msp430/image_file.h"
#include "msp430/port_input.h"
#include "msp430/start_address.h"

namespace msp430 {
namespace {

constexpr int32_t kBenchResetVector = 0x1E08;
constexpr int32_t kBootLoaderRestartMs = 4000;
constexpr size_t kGroupSize = 6;

int32_t HexWord(const std::string& text) {
  return static_cast<int32_t>(std::strtoul(text.c_str(), nullptr, 16) & 0xFFFF);
}

bool IsErrorStatus(uint8_t status) {
  return status == 1 || status == 2 || status == 3 || status == 5;
}

}  // namespace

T_BSL_54XX_430::T_BSL_54XX_430(const LoaderHost& host)
    : Msp430Loader(host), Image54(kImageBlocks) {}

bool T_BSL_54XX_430::LoadImage(const std::string& fileName) {
  BlockIndex = 0;
  const Image54ReadResult result = ReadImage54File(fileName, Image54);
  if (!result.Ok()) {
    ShowBox(ImageErrorMessage(result.Error, LanguageIndex));
    return false;
  }
  const std::optional<uint32_t> start = StartAddress54(Image54, result.LastBlock);
  if (!start || *start == 0) {
    const bool english = LanguageIndex == 1;
    ShowBox((english ? "Firmware file \"" : "Firmware-Datei \"") + fileName + "\": " +
            (english ? "no start address in the image (no word at 0xFFFC, no reset vector)."
                     : "keine Startadresse im Abbild (kein Wort bei 0xFFFC, kein Reset-Vektor)."));
    return false;
  }
  LastBlock = result.LastBlock;
  if (!EraseStartKnown()) return false;
  VectorFirst = result.VectorFirst;
  VectorCount = result.VectorCount;
  StartAddress = *start;
  SetProgressMax(4 * (LastBlock + 1) + 8);
  return true;
}

void T_BSL_54XX_430::PlacePasswordWord(int32_t resetVector) {
  PasswordWords.fill(0xFFFF);
  PasswordWords[15] = resetVector & 0xFFFF;
}

void T_BSL_54XX_430::StartInBootLoader() {
  if (host_.context.BslPasswordKnown) {
    // The remembered word is the reset vector; the rest of the table reads erased.
    PlacePasswordWord(host_.context.BslPasswordWord);
    PasswordKnown = true;
  } else {
    PlacePasswordWord(kBenchResetVector);
  }
  EnterBootLoader54();
}

void T_BSL_54XX_430::SetPasswordWords(const std::string& text) {
  PasswordWords.fill(0xFFFF);
  const size_t groups = std::clamp<size_t>(text.size() / kGroupSize, 1, PasswordWords.size());
  for (size_t i = 0; i < groups; ++i) {
    PasswordWords[PasswordWords.size() - 1 - i] = HexWord(text.substr(i * kGroupSize, kGroupSize));
  }
  PasswordKnown = true;
  host_.context.BslPasswordWord = PasswordWords[15];
  host_.context.BslPasswordKnown = true;
  SendText(EntryCommand());
}

void T_BSL_54XX_430::EnterBootLoader54() {
  SwitchToBootLoader(kBootLoaderRestartMs);
  SendPassword54();
}

void T_BSL_54XX_430::SendFrame(const std::optional<BslFrame54>& frame) {
  TxFrame = frame;
  if (!TxFrame) {  // an address the frame cannot carry; the reader never produces one
    FailRun();
    return;
  }
  Rx.Clear();  // nothing received before the frame can answer it (see the classic link)
  Awaited = AnswerOf(*TxFrame);
  host_.port.Write(TxFrame->Bytes.data(), TxFrame->Length, false);
}

void T_BSL_54XX_430::Run(Step step) {
  if (step && !Done) (this->*step)();
}

// Each frame is answered once. Bytes that answer nothing outstanding (a late response after its
// time-out, a repeated status) are dropped without effect; so is whatever follows the answer.
void T_BSL_54XX_430::ProcessReceived() {
  if (!ReadArrived(host_.port, Rx)) return;
  while (Awaited && !Done) {
    const std::vector<Reply54> replies = Rx.Scan();
    if (replies.empty()) return;  // the answer has not come, or not completely
    for (const Reply54& reply : replies) {
      if (TakeAnswer(reply)) break;
    }
  }
  if (!Awaited) Rx.Clear();
}

// True when reply was the answer: the acknowledgement of a frame answered by it alone, the
// response of the kind the frame asks for, or a UART error byte.
bool T_BSL_54XX_430::TakeAnswer(const Reply54& reply) {
  const Answer54 awaited = *Awaited;
  switch (reply.Kind) {
    case Reply54Kind::Ack:
      AdvanceProgress();
      ShowPercent();
      if (awaited != Answer54::Ack) return false;  // the response follows
      Awaited.reset();
      History.Progress();
      Run(OnAck);
      return true;
    case Reply54Kind::Failure:
      AdvanceProgress();
      ShowPercent();
      Awaited.reset();
      HandleFailure54();
      return true;
    case Reply54Kind::Data:
      if (awaited != Answer54::Data) return false;
      Awaited.reset();
      AdvanceProgress();
      History.Progress();
      if (OnFrame) (this->*OnFrame)(Rx.FrameData());
      ShowPercent();
      return true;
    case Reply54Kind::Message:
      if (awaited != Answer54::Status) return false;
      Awaited.reset();
      AdvanceProgress();
      if (reply.Value == 0) {
        History.Progress();
        Run(OnMessageOk);
      } else if (IsErrorStatus(reply.Value)) {
        ShowError();  // at once; the step is retried when the response timer expires
      }
      ShowPercent();
      return true;
    case Reply54Kind::OtherFrame:
    case Reply54Kind::BadCrc:  // dropped, so it cannot block what follows
      return false;
  }
  return false;
}

void T_BSL_54XX_430::HandleFailure54() {
  const Step failed = OnFailure;
  if (!failed) return;
  if (!History.Record(failed)) {
    FailRun();  // the same step failed for the third time
    return;
  }
  Run(failed);  // each step resends its own frame
}

}  // namespace msp430
