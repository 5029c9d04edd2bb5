// Pixel-by-pixel difference of same-named PNG pages in two folders: how many pixels differ, the largest
// channel difference, and a histogram of differences.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <map>
int main(int argc, char** argv) {
    if (argc < 3) return 2;
    QDir a(argv[1]), b(argv[2]);
    for (const QString& f : a.entryList({"*.png"}, QDir::Files)) {
        if (!b.exists(f)) continue;
        QImage p = QImage(a.filePath(f)).convertToFormat(QImage::Format_RGB32), q = QImage(b.filePath(f)).convertToFormat(QImage::Format_RGB32);
        if (p.size() != q.size()) { std::printf("%s: sizes differ\n", qPrintable(f)); continue; }
        long n = 0; int worst = 0; std::map<int, long> hist;
        for (int y = 0; y < p.height(); ++y) {
            const QRgb* r = reinterpret_cast<const QRgb*>(p.constScanLine(y));
            const QRgb* s = reinterpret_cast<const QRgb*>(q.constScanLine(y));
            for (int x = 0; x < p.width(); ++x) if (r[x] != s[x]) {
                ++n;
                int d = std::max({std::abs(qRed(r[x]) - qRed(s[x])), std::abs(qGreen(r[x]) - qGreen(s[x])), std::abs(qBlue(r[x]) - qBlue(s[x]))});
                worst = std::max(worst, d); ++hist[d];
            }
        }
        std::printf("%-28s %dx%d: %ld pixels differ, worst %d;", qPrintable(f), p.width(), p.height(), n, worst);
        for (auto [d, c] : hist) std::printf(" %d:%ld", d, c);
        std::printf("\n");
    }
}
