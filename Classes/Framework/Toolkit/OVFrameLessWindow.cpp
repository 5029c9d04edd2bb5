#include "Classes/Framework/Toolkit/OVFrameLessWindow.h"

OVFrameLessWindow::OVFrameLessWindow(const pf::Rect& contentRect) : pf::Window(contentRect, Borderless)
{
    setHasShadow(true);
    setBackgroundColor(Qt::transparent);
    setOpaque(false);
    setMovableByWindowBackground(true);
}
