// The F5xx loader's link: the image and password words of the run, the line switch, the answer
// scan (acknowledgements, UART error bytes and response frames).
#include <algorithm>

#include "loaders/msp430/bsl54xx430.h"
#include "loaders/msp430/chip_table.h"
#include "loaders/msp430/image_file.h"
#include "loaders/msp430/start_address.h"

namespace msp430 {
namespace {

// The reset vector a bench start enters with when no password word is remembered.
constexpr int32_t kBenchResetVector = 0x1E08;
constexpr int32_t kBootLoaderRestartMs = 4000;
// Characters of one password word in the instrument's answer.
constexpr size_t kGroupSize = 6;

}  // namespace

T_BSL_54XX_430::T_BSL_54XX_430(const LoaderHost& host) : StepChain(host), Image54(kImageBlocks) {}

bool T_BSL_54XX_430::LoadImage(const std::string& fileName) {
  BlockIndex = 0;
  const Image54ReadResult result = ReadImage54File(fileName, Image54);
  if (!result.Ok()) {
    ShowBox(ImageErrorMessage(result.Error, LanguageIndex));
    return false;
  }
  const std::optional<uint32_t> start = StartAddress54(Image54, result.LastBlock);
  if (!start || *start == 0) {
    ShowBox(NoStartAddressMessage(fileName, LanguageIndex));
    return false;
  }
  LastBlock = result.LastBlock;
  if (!EraseStartKnown()) return false;
  if (SetsVectorsBesideReset(Image54, LastBlock))
    AppendLog(messages::Filled(messages::MSG_IMAGE_SETS_VECTORS, LanguageIndex, fileName));
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

void T_BSL_54XX_430::SetDefaultPassword() {
  PlacePasswordWord(kDefaultPasswordWord);
  AcceptPasswordWords();
}

void T_BSL_54XX_430::SetPasswordWords(const std::string& text) {
  PasswordWords.fill(0xFFFF);
  const size_t groups = std::clamp<size_t>(text.size() / kGroupSize, 1, PasswordWords.size());
  for (size_t i = 0; i < groups; ++i) {
    PasswordWords[PasswordWords.size() - 1 - i] = HexWord(text.substr(i * kGroupSize, kGroupSize));
  }
  AcceptPasswordWords();
}

void T_BSL_54XX_430::AcceptPasswordWords() {
  PasswordKnown = true;
  host_.RememberPasswordWord(PasswordWords[15]);
  SendText(EntryCommand());
}

void T_BSL_54XX_430::EnterBootLoader54() {
  SwitchToBootLoader(kBootLoaderRestartMs);
  SendPassword54();
}

// The speed change and the jump to the program are confirmed by the acknowledgement alone, most
// other commands by a status response 0 behind it; reads by their data response.
void T_BSL_54XX_430::SetConfirmation(Answer54 answer, Step next) {
  OnAck = answer == Answer54::Ack ? next : nullptr;
  OnMessageOk = answer == Answer54::Status ? next : nullptr;
}

// Whatever follows the answer in the same scan is dropped with the rest of the buffer.
bool T_BSL_54XX_430::TakeAnswers() {
  const std::vector<Reply54> replies = Rx.Scan();
  if (replies.empty()) return false;
  for (const Reply54& reply : replies) {
    if (TakeAnswer(reply)) break;
  }
  return true;
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
      HandleFailure();
      return true;
    case Reply54Kind::Data:
      if (awaited != Answer54::Data) return false;
      Awaited.reset();
      AdvanceProgress();
      History.Progress();
      RunFrame(Rx.FrameData());
      ShowPercent();
      return true;
    case Reply54Kind::Message:
      if (awaited != Answer54::Status) return false;
      Awaited.reset();
      AdvanceProgress();
      if (reply.Value == 0) {
        History.Progress();
        Run(OnMessageOk);
      } else if (InTable(kBsl54FailedStatuses, reply.Value)) {
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

}  // namespace msp430
