// T_BSL_54XX_430: the flash boot loader of the MSP430F5xx family on the shared step chain. Frames
// carry a CRC-16; every frame is answered by one byte (acknowledgement or UART error) and most by
// a response frame with data or a status. The sequence: password, version, device identifier,
// optional speed change, erase sweep, blocks (vector segment erased before its first block),
// read-back, start.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "loaders/msp430/bsl54_frame.h"
#include "loaders/msp430/erase_sweep.h"
#include "loaders/msp430/image_reader.h"
#include "loaders/msp430/step_chain.h"

namespace msp430 {

// The F5xx link as the step chain uses it.
struct F5xxLink {
  using Frame = BslFrame54;
  using Answer = Answer54;
  using Receiver = Bsl54Receiver;
  // One step fails the run on its third failure.
  static constexpr size_t kHistorySlots = 2;
  // A time-out keeps what has come: a response may still complete.
  static constexpr bool kTimeoutDropsReceived = false;
  static constexpr int32_t kStartDelayMs = 3000;
  static constexpr FlashLayout kFlash = kF5xxFlash;
};

class T_BSL_54XX_430 : public StepChain<T_BSL_54XX_430, F5xxLink> {
 public:
  explicit T_BSL_54XX_430(const LoaderHost& host);

  // The instrument named its password words (ev::kAnswerPassword, ev::kAnswerPasswordB): groups of
  // six characters, reset vector first, fill the vector table from its top; the rest stays
  // 0xFFFF. The reset vector is remembered and the entry command follows.
  void SetPasswordWords(const std::string& text);
  void EnterBootLoader54();

 protected:
  bool LoadImage(const std::string& fileName) override;
  void StartInBootLoader() override;
  void SetDefaultPassword() override;
  void SetPasswordText(const std::string& text) override { SetPasswordWords(text); }
  bool PasswordIsKnown() const override { return PasswordKnown; }
  void EnterBootLoader() override { EnterBootLoader54(); }
  void SetConfirmation(Answer54 answer, Step next) override;
  bool TakeAnswers() override;
  std::vector<uint32_t> PlanEraseSweep() const override;
  std::optional<BslFrame54> StartFrame() const override { return LoadPcFrame54(StartAddress); }

 private:
  // Link.
  bool TakeAnswer(const Reply54& reply);
  void AcceptPasswordWords();

  // Sequence.
  void SendPassword54();
  void RequestVersion54();
  void OnVersion54(std::span<const uint8_t> data);
  void ReadDeviceId();
  void OnDeviceId(std::span<const uint8_t> data);
  void ChangeBaudRate54();
  void OnBaudChanged54();
  void EraseSegment54();
  void EraseNext54();
  void EraseVectorSegment54();
  void ProgramBlock54();
  void OnVectorErased54();
  void OnBlockWritten54();
  void VerifyBlock54();
  void CompareBlock54(std::span<const uint8_t> data);

  void PlacePasswordWord(int32_t resetVector);

  // A status response 0 confirms the command; the step that follows it.
  Step OnMessageOk = nullptr;

  bool PasswordKnown = false;
  std::array<int32_t, 16> PasswordWords{};
  int32_t VectorFirst = -1;
  int32_t VectorCount = 0;
  uint32_t StartAddress = 0;
  std::vector<ImageBlock54> Image54;
};

}  // namespace msp430
