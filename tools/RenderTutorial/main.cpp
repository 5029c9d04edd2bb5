// Renders the tutorial, written as HTML, to the PDF the welcome window shows:
//   render-tutorial <input.html> <output.pdf>
// Pictures the HTML names are found relative to its folder. The PDF is written whole or not at all.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: render-tutorial <input.html> <output.pdf>\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile html(input);
    if (!html.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "render-tutorial: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(input).absolutePath() + u'/'));
    document.setHtml(QString::fromUtf8(html.readAll()));

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "render-tutorial: cannot write %s\n", argv[2]);
        return 1;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("Quick Tutorial"));
        writer.setCreator(QStringLiteral("Glimora"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter));
        writer.setResolution(300);
        // Laid out in points on the page's printable area, then drawn page by page scaled to the writer.
        const QRectF page = writer.pageLayout().paintRect(QPageLayout::Point);
        document.setPageSize(page.size());
        const double scale = writer.resolution() / 72.0;
        QPainter painter(&writer);
        painter.scale(scale, scale);
        for (int index = 0; index < document.pageCount(); ++index) {
            if (index > 0)
                writer.newPage();
            painter.save();
            painter.translate(0, -index * page.height());
            document.drawContents(&painter, QRectF(0, index * page.height(), page.width(), page.height()));
            painter.restore();
        }
    }
    if (!file.commit()) {
        std::fprintf(stderr, "render-tutorial: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
