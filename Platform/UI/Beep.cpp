#include "Platform/UI/Beep.h"

#include <QApplication>
#include <atomic>

namespace pf {

namespace {
std::atomic<int> beeps{0};
}

void beep()
{
    ++beeps;
    QApplication::beep();
}

int beepCount()
{
    return beeps;
}

} // namespace pf
