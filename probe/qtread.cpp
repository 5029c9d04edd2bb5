// Reads a picture with Qt's own reader (not turned) and writes it as a PNG.
#include <QGuiApplication>
#include <QImageReader>
#include <cstdio>
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QImageReader r(argv[1]);
    r.setAutoTransform(false);
    QImage i = r.read();
    printf("%s: %dx%d format %d transformation %d %s\n", argv[1], i.width(), i.height(), int(i.format()),
           int(r.transformation()), qPrintable(r.errorString()));
    if (argc > 2)
        i.save(argv[2]);
}
