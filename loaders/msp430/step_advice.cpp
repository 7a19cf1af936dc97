#include "loaders/msp430/step_advice.h"

#include "loaders/msp430/loader_run.h"
#include "package/messages.h"

namespace msp430 {
namespace {

struct StepTexts {
  messages::MessageId name;
  messages::MessageId advice;
};

StepTexts TextsOf(int32_t code) {
  using namespace messages;
  switch (code) {
    case step::kSync:
      return {MSG_BSL_STEP_SYNC, MSG_BSL_ADVICE_LINE};
    case step::kVersion:
      return {MSG_BSL_STEP_VERSION, MSG_BSL_ADVICE_LINE};
    case step::kBaudRate:
      return {MSG_BSL_STEP_BAUD_RATE, MSG_BSL_ADVICE_LINE};
    case step::kPassword:
      return {MSG_BSL_STEP_PASSWORD, MSG_BSL_ADVICE_PASSWORD};
    case step::kErase:
    case step::kVectorErase:
      return {MSG_BSL_STEP_ERASE, MSG_BSL_ADVICE_MEMORY};
    case step::kWrite:
      return {MSG_BSL_STEP_WRITE, MSG_BSL_ADVICE_MEMORY};
    case step::kVerify:
      return {MSG_BSL_STEP_READ_BACK, MSG_BSL_ADVICE_MEMORY};
    case step::kStart:
      return {MSG_BSL_STEP_START, MSG_BSL_ADVICE_MEMORY};
    case step::kPatchRestart:
    case step::kPatchCall:
    case step::kPatchWrite:
    case step::kPatchVerify:
      return {MSG_BSL_STEP_PATCH, MSG_BSL_ADVICE_MEMORY};
    case step::kMemOffset:
      return {MSG_BSL_STEP_ADDRESS, MSG_BSL_ADVICE_MEMORY};
    case step::kRefused:
    case step::kEntryPrompts:
      return {MSG_BSL_STEP_ENTRY, MSG_BSL_ADVICE_LINE};
    case step::kNoise:
      return {MSG_BSL_STEP_ANSWER, MSG_BSL_ADVICE_LINE};
    default:
      return {MSG_BSL_STEP_OTHER, MSG_BSL_ADVICE_LINE};
  }
}

}  // namespace

std::string FailedStepText(int32_t stepCode, int32_t language) {
  const int32_t code = NormalStepCode(stepCode);
  const StepTexts texts = TextsOf(code);
  return messages::Filled(messages::MSG_BSL_FAILED_STEP, language,
                          messages::Text(texts.name, language), std::to_string(code)) +
         " " + std::string(messages::Text(texts.advice, language));
}

}  // namespace msp430
