#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Glimora"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Glimora"));
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
