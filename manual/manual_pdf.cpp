// Turns a user's guide written in Markdown into a PDF file (A4). Used by the build; the text
// "{{INSTRUMENTS}}" in the guide is replaced by the instrument text given.
//   manual-pdf GUIDE.md OUTPUT.pdf "INSTRUMENTS"
#include <QFile>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fputs("Usage: manual-pdf GUIDE.md OUTPUT.pdf INSTRUMENTS\n", stderr);
    return 2;
  }
  QGuiApplication app(argc, argv);
  QFile guide(QString::fromLocal8Bit(argv[1]));
  if (!guide.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "manual-pdf: cannot read %s\n", argv[1]);
    return 1;
  }
  QString markdown = QString::fromUtf8(guide.readAll());
  markdown.replace(QStringLiteral("{{INSTRUMENTS}}"), QString::fromUtf8(argv[3]));

  QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
  pdf.setPageSize(QPageSize(QPageSize::A4));
  // QTextDocument::print keeps a margin of its own (2 cm).
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  pdf.setResolution(300);
  pdf.setTitle(markdown.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('#')).trimmed());
  pdf.setCreator(QStringLiteral("manual-pdf"));

  QTextDocument document;
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(10.5);
  document.setDefaultFont(font);
  document.setMarkdown(markdown);
  // print() breaks the text into the writer's pages.
  document.print(&pdf);
  if (!QFile::exists(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "manual-pdf: %s was not written\n", argv[2]);
    return 1;
  }
  return 0;
}
