#include "Platform/Foundation/RandomName.h"

#include <QRandomGenerator>

namespace pf {

QString randomName(int length)
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr quint32 alphabetSize = sizeof(alphabet) - 1;
    if (length <= 0)
        return {};
    QString name(length, Qt::Uninitialized);
    // system() is documented as safe to use from any thread.
    QRandomGenerator* generator = QRandomGenerator::system();
    for (QChar& character : name)
        character = QLatin1Char(alphabet[generator->bounded(alphabetSize)]);
    return name;
}

} // namespace pf
