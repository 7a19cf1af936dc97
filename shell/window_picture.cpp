#include "shell/window_picture.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QWidget>

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

}  // namespace shell
