#include <QColorSpace>
#include <QFile>
int main(int, char** argv)
{
    QFile f(argv[1]);
    f.open(QIODevice::WriteOnly);
    f.write(QColorSpace(QColorSpace::AdobeRgb).iccProfile());
}
