#include "update/display.h"

#include <cmath>

#include "core/number_text.h"
#include "package/messages.h"

namespace update {
namespace {

// " %3.1f %" without the locale's decimal separator, so the text is the same everywhere.
std::string FormatPercent(double value) {
  std::string number = core::FixedText(value, 1);
  if (number.size() < 3) number.insert(0, 3 - number.size(), ' ');
  return " " + number + " %";
}

bool Older(int32_t instrument, int32_t offered, bool forceSameVersion) {
  return instrument < offered || (instrument == offered && forceSameVersion);
}

}  // namespace

std::string ExpandMessage(std::string_view text, int32_t language, const DownloadContext& context,
                          int32_t activeComIndex) {
  const std::string_view name = context.DeviceNameText.empty()
                                    ? messages::Text(messages::DEFAULT_DEVICE_NAME, language)
                                    : std::string_view(context.DeviceNameText);
  std::string out;
  out.reserve(text.size() + 64);
  size_t i = 0;
  while (i < text.size()) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("DATEI")) {
      out += context.MainFile;
      i += 5;
    } else if (rest.starts_with("NAME")) {
      out += name;
      i += 4;
    } else if (rest.starts_with("COM X")) {
      out += "COM " + std::to_string(int64_t{activeComIndex} + 1);
      i += 5;
    } else if (rest.starts_with("\\r")) {
      out += "\r\n";
      i += 2;
    } else {
      out += text[i++];
    }
  }
  return out;
}

void LogLine(UpdateView& view, std::string_view text, int32_t debugMode, int32_t language,
             const DownloadContext& context, int32_t activeComIndex) {
  if (debugMode != 1) return;
  view.AppendLog(ExpandMessage(text, language, context, activeComIndex));
}

void ClearDeviceTexts(UpdateView& view) {
  for (DeviceField field :
       {DeviceField::Name, DeviceField::Serial, DeviceField::Pcb, DeviceField::Software}) {
    view.SetDeviceField(field, "");
  }
}

std::string ShowProgress(UpdateView& view, int32_t language, std::string_view prefix,
                         double value) {
  if (std::isnan(value)) value = 0;
  if (value > 100) value = 100;
  const std::string formatted = FormatPercent(value);
  if (value < -999) {
    const std::string_view done = messages::Text(messages::MSG_DONE_TITLE, language);
    view.SetStatusPanel(4, done);
    view.SetApplicationTitle(done);
  } else if (value > -2 && value < 0) {
    view.SetApplicationTitle("Update");
    view.SetStatusPanel(4, "");
  } else {
    view.SetStatusPanel(4, std::string(prefix) + formatted);
    view.RepaintStatusBar();
    view.SetApplicationTitle("Update [" + formatted + "]");
  }
  return formatted;
}

void TitleTimerTimer(UpdateView& view, int32_t language, int32_t& loaderTicks,
                     float expectedLoaderTicks) {
  ++loaderTicks;
  // A file too small for one expected tick is as good as done.
  const double value =
      expectedLoaderTicks > 0 ? loaderTicks / double{expectedLoaderTicks} * 100 : 100;
  ShowProgress(view, language, "", value);
}

std::string ReplaceFirstX(std::string_view text, std::string_view value) {
  std::string out(text);
  if (const size_t x = out.find('X'); x != std::string::npos) out.replace(x, 1, value);
  return out;
}

void ShowDurationEstimate(UpdateView& view, int32_t language, VersionCheckStage stage,
                          const DownloadContext& context, bool forceSameVersion) {
  int32_t minutes = 0;
  if (Older(context.CurVer, context.NewVer, forceSameVersion)) minutes = 2;
  if (stage == VersionCheckStage::kLongTransfer) minutes = 15;
  const bool secondaryOlder = Older(context.CurVer2, context.NewVer2, forceSameVersion);
  if (secondaryOlder) minutes += 1;
  if (ThirdFileNamed(context.ThirdFile)) minutes += 2;
  if (secondaryOlder && context.CurVer2 > 200) minutes += 35;

  view.ClearLog();
  view.AppendLog(
      ReplaceFirstX(messages::Text(messages::MSG_DURATION, language), std::to_string(minutes)));
}

}  // namespace update
