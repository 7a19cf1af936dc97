// The classic loader's link: the image and password of the run, the line switch, synchronisation
// characters, the answer scan and how a failed step is tried again.
#include "core/text.h"
#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/chip_table.h"
#include "loaders/msp430/image_file.h"
#include "loaders/msp430/start_address.h"

namespace msp430 {
namespace {

constexpr int32_t kBootLoaderRestartMs = 8000;

}  // namespace

T_BSL430::T_BSL430(const LoaderHost& host)
    : StepChain(host), Image(kImageBlocks), PatchImage(kPatchBlocks) {}

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
  if (HighDataWithoutVectors(Image, result)) {
    ShowBox(ImageFileLead(fileName, LanguageIndex) +
            std::string(messages::Text(messages::MSG_IMAGE_NO_VECTOR_TABLE, LanguageIndex)));
    return false;
  }
  const std::optional<uint16_t> start =
      ClassicStartAddress(Image, result.LastBlock, result.FirstHigh);
  if (!start) {
    ShowBox(NoStartAddressMessage(fileName, LanguageIndex));
    return false;
  }
  if (SetsVectorsBesideReset(Image, result.LastBlock, result.FirstHigh))
    AppendLog(messages::Filled(messages::MSG_IMAGE_SETS_VECTORS, LanguageIndex, fileName));
  LastBlock = result.LastBlock;
  FirstHigh = result.FirstHigh;
  StartAddress = *start;
  SetProgressMax(4 * (LastBlock + 1) + 8);
  return true;
}

// Parts with memory above 0xFFFF take the high password word.
bool T_BSL430::HighPasswordPart() const {
  return FirstHigh > -1 || InTable(kHighPasswordProcessors, host_.context.ProzTyp);
}

void T_BSL430::StartInBootLoader() {
  if (host_.context.BslPasswordKnown) {
    PasswordWord = host_.context.BslPasswordWord;
    PasswordWordKnown = true;
  } else {
    const bool high =
        HighPasswordPart() || NamesOneOf(host_.context.PcbNumber, kHighPasswordBoards);
    PasswordWord = high ? kHighPasswordWord : kDefaultPasswordWord;
  }
  EnterBootLoader(SyncFirst);
}

void T_BSL430::SetDefaultPassword() {
  AcceptPasswordWord(HighPasswordPart() ? kHighPasswordWord : kDefaultPasswordWord);
}

void T_BSL430::SetPasswordWord(const std::string& text) {
  AcceptPasswordWord(HexWord(text));
}

void T_BSL430::AcceptPasswordWord(int32_t word) {
  PasswordWord = word;
  PasswordWordKnown = true;
  host_.RememberPasswordWord(PasswordWord);
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

// The usual way from one command to the next; a failed synchronisation character is normally
// sent again as it is.
void T_BSL430::SendSync(Step next, Step onFailure) {
  Declare({step::kSync, next, nullptr, onFailure}, BslAnswer::Byte);
  WriteSync();
}

void T_BSL430::ResendSync() {
  WriteSync();
}

void T_BSL430::WriteSync() {
  const uint8_t sync = BSL_SYNC;
  Write({&sync, 1}, BslAnswer::Byte);
}

bool T_BSL430::TakeAnswers() {
  const BslScan scan = Rx.Scan();
  if (scan == BslScan{}) return false;
  TakeAnswer(scan);
  return true;
}

// A reply frame answers a read, one byte every other write; a rejection answers either. Of an
// acknowledgement and a rejection in one read, the one that came first counts. Only an answer to
// a command, not to a synchronisation character, counts as progress for the retry rule.
void T_BSL430::TakeAnswer(const BslScan& scan) {
  const bool frame = *Awaited == BslAnswer::Frame;
  const bool taken = frame ? scan.Frame : scan.Ack;
  if (!taken && !scan.Nak) return;
  Awaited.reset();
  AdvanceProgress();
  if (taken && StepCode != step::kSync) History.Progress();
  if (taken && frame) {
    RunFrame(Rx.RxFrame());
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

// A synchronisation character and a skipped erase are retried as they are; every other step
// gets a fresh synchronisation character first. With the 1.10 patch loaded, a block command is
// refused unless the frame just before it called the patch, so its retry calls the patch again.
void T_BSL430::Retry(Step failed) {
  if (failed == &T_BSL430::ResendSync || failed == &T_BSL430::EraseNext) {
    Run(failed);
  } else if (failed == &T_BSL430::ProgramBlock || failed == &T_BSL430::VerifyBlock) {
    SyncOrPatchCall(failed);
  } else {
    SendSync(failed);
  }
}

}  // namespace msp430
