// T_BSL_54XX_430: the flash boot loader of the MSP430F5xx family. Frames carry a CRC-16; every
// frame is answered by one byte (acknowledgement or UART error) and most by a response frame
// with data or a status. The sequence: password, version, device identifier, optional speed
// change, erase sweep, blocks (vector segment erased before its first block), read-back, start.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "msp430/bsl54_frame.h"
#include "msp430/failure_history.h"
#include "msp430/image_reader.h"
#include "msp430/loader_run.h"

namespace msp430 {

class T_BSL_54XX_430 : public Msp430Loader {
 public:
  explicit T_BSL_54XX_430(const LoaderHost& host);

  // Answer 80/81: groups of six characters, reset vector first, fill the vector table from its
  // top; the rest stays 0xFFFF. The reset vector is remembered; the entry command follows.
  void SetPasswordWords(const std::string& text);
  void EnterBootLoader54();

 protected:
  bool LoadImage(const std::string& fileName) override;
  void StartInBootLoader() override;
  void SetDefaultPassword() override { SetPasswordWords("0xE5A"); }
  void SetPasswordText(const std::string& text) override { SetPasswordWords(text); }
  bool PasswordIsKnown() const override { return PasswordKnown; }
  void EnterBootLoader() override { EnterBootLoader54(); }
  void ProcessReceived() override;
  void HandleTimeout() override { HandleFailure54(); }

 private:
  using Step = void (T_BSL_54XX_430::*)();
  using FrameStep = void (T_BSL_54XX_430::*)(std::span<const uint8_t> data);

  // Link.
  void SendFrame(const std::optional<BslFrame54>& frame);
  bool TakeAnswer(const Reply54& reply);
  void HandleFailure54();
  void Run(Step step);

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
  void StartProgram54();
  void Finish54();

  void PlacePasswordWord(int32_t resetVector);
  // Address of block 1; for an image of one block, where a second block would begin.
  int32_t BlockOneAddress() const;
  bool EraseStartKnown();
  std::vector<uint32_t> PlanEraseSweep() const;

  Bsl54Receiver Rx;
  std::optional<BslFrame54> TxFrame;
  // The answer the last frame waits for; empty once it has come.
  std::optional<Answer54> Awaited;
  FrameStep OnFrame = nullptr;
  Step OnMessageOk = nullptr;
  Step OnAck = nullptr;
  Step OnFailure = nullptr;
  FailureHistory<Step, 2> History;

  bool PasswordKnown = false;
  bool VectorPhase = false;
  std::array<int32_t, 16> PasswordWords{};
  int32_t EraseAddress = 0;  // where the sweep starts
  std::vector<uint32_t> EraseSegments;
  size_t EraseIndex = 0;
  int32_t BlockIndex = 0;
  int32_t LastBlock = -1;
  int32_t VectorFirst = -1;
  int32_t VectorCount = 0;
  uint32_t StartAddress = 0;
  std::vector<ImageBlock54> Image54;
};

}  // namespace msp430
