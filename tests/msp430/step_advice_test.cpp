// The failed boot-loader step and the advice, as the log shows them after a failed run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "loaders/msp430/loader_run.h"
#include "loaders/msp430/step_advice.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(StepAdvice, NamesTheStepAndWhatToTryInBothLanguages) {
  const struct {
    int32_t code;
    const char* german;
    const char* english;
    const char* germanAdvice;
    const char* englishAdvice;
  } cases[] = {
      {msp430::step::kSync, "Verbindungsaufbau (Code 1)", "connection (code 1)", "Kabel", "cable"},
      {msp430::step::kPassword, "Passwort (Code 4)", "password (code 4)", "Firmware zu diesem",
       "firmware belongs"},
      {msp430::step::kErase, "Löschen (Code 5)", "erase (code 5)", "Service", "service"},
      {msp430::step::kVectorErase, "Löschen (Code 6)", "erase (code 6)", "Service", "service"},
      {msp430::step::kWrite, "Schreiben (Code 8)", "write (code 8)", "aus und wieder ein",
       "off and on"},
      {msp430::step::kVerify, "Rücklesen (Code 9)", "read-back (code 9)", "Ok erneut", "with Ok"},
      {msp430::step::kStart, "Start der Firmware (Code 10)", "start of the firmware (code 10)",
       "Service", "service"},
      {msp430::step::kPatchWrite, "Bootloader-Ergänzung (Code 13)", "patch (code 13)", "Service",
       "service"},
      {msp430::step::kRefused, "Start des Bootloaders (Code 17)", "boot-loader entry (code 17)",
       "Kabel", "cable"},
      {msp430::step::kNoise, "Warten auf eine Antwort (Code 19)", "waiting for an answer (code 19)",
       "Kabel", "cable"},
      // Codes without a step of their own, also ones from a damaged state.
      {7, "Vorbereitung (Code 7)", "preparation (code 7)", "Kabel", "cable"},
      {0, "Vorbereitung (Code 16)", "preparation (code 16)", "Kabel", "cable"},
      {-5, "Vorbereitung (Code 16)", "preparation (code 16)", "Kabel", "cable"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_THAT(msp430::FailedStepText(c.code, 0),
                AllOf(HasSubstr("Fehlgeschlagener Schritt im Bootloader: "), HasSubstr(c.german),
                      HasSubstr("Abhilfe: "), HasSubstr(c.germanAdvice)));
    EXPECT_THAT(msp430::FailedStepText(c.code, 1),
                AllOf(HasSubstr("Failed boot-loader step: "), HasSubstr(c.english),
                      HasSubstr("What to do: "), HasSubstr(c.englishAdvice)));
  }
}

}  // namespace
