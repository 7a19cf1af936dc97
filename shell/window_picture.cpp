#include "shell/window_picture.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <charconv>

namespace shell {

bool SaveWindowPicture(QWidget& window, const std::filesystem::path& file) {
  // Device pixels throughout: the picture is as large as the window on the screen.
  QImage contents = window.grab().toImage();
  contents.setDevicePixelRatio(1);
  const QFontMetrics metrics(window.font());
  const int bar = metrics.height() + 10;
  QImage picture(contents.width(), contents.height() + bar, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.fillRect(0, 0, contents.width(), bar, QColor(0x3c, 0x3f, 0x44));
  painter.setPen(Qt::white);
  painter.setFont(window.font());
  painter.drawText(QRect(0, 0, contents.width(), bar), Qt::AlignCenter, window.windowTitle());
  painter.drawImage(0, bar, contents);
  painter.end();
  return picture.save(QString::fromStdString(file.string()), "PNG");
}

std::optional<double> TitlePercent(std::string_view title) {
  constexpr std::string_view kStart = "Update [";
  if (title.substr(0, kStart.size()) != kStart || title.empty() || title.back() != ']') {
    return std::nullopt;
  }
  std::string_view number = title.substr(kStart.size());
  while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || std::string_view(end, number.data() + number.size()) != " %]") {
    return std::nullopt;
  }
  return value;
}

}  // namespace shell
