// Update.ini as the program reads it at start-up and rewrites it when the language changes: the
// values read stay in their ranges, and a rewrite followed by a read gives the same settings.
#include <cstdint>

#include "fuzz/support.h"
#include "package/settings.h"

namespace {

bool SameSettings(const package::Settings& a, const package::Settings& b) {
  return a.LanguageIndex == b.LanguageIndex && a.Version == b.Version &&
         a.BaudCount == b.BaudCount && a.BaudSearchList == b.BaudSearchList &&
         a.ComGiven == b.ComGiven && (!a.ComGiven || a.ComIndex == b.ComIndex);
}

void CheckRanges(const package::Settings& s) {
  if (s.LanguageIndex != 0 && s.LanguageIndex != 1) fuzz::Fail();
  if (s.BaudCount < 1 || s.BaudCount > package::Settings::kMaxBaudEntries) fuzz::Fail();
  for (int32_t i = 0; i < s.BaudCount; ++i) {
    if (s.BaudSearchList[static_cast<size_t>(i)] < 0 ||
        s.BaudSearchList[static_cast<size_t>(i)] > 7)
      fuzz::Fail();
  }
  if (s.ComGiven && (s.ComIndex < 0 || s.ComIndex >= package::Settings::kHighestComNumber))
    fuzz::Fail();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::ScratchFolder& folder = fuzz::Scratch();
  folder.Write("Update.ini", {reinterpret_cast<const char*>(data), size});
  fuzz::NullReport report;
  package::Settings read;
  if (package::ReadSettings(folder.Path(), read, report) != 0) fuzz::Fail();
  CheckRanges(read);

  // The language switch rewrites the file; what it did not change reads back as before.
  package::Settings switched = read;
  switched.LanguageIndex = 1 - read.LanguageIndex;
  if (package::WriteSettings(folder.Path(), switched, report) != 0) fuzz::Fail();
  package::Settings again;
  if (package::ReadSettings(folder.Path(), again, report) != 0) fuzz::Fail();
  if (!SameSettings(switched, again)) fuzz::Fail();
  return 0;
}
