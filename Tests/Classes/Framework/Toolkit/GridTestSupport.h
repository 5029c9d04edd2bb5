#pragma once

// Helpers shared by the grid, stack, tool bar and list tests.

#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridItemDelegate.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Event.h"

#include <QImage>
#include <QStringList>

inline QImage picture(int width, int height, QColor colour = QColor(90, 120, 160), bool alpha = false)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Every report of an item, in order, as text.
struct ItemRecorder : OVGridItemDelegate
{
    QStringList log;
    void gridItemWasExecuted(OVGridItem*) override { log << QStringLiteral("executed"); }
    void gridItemWasSelected(OVGridItem* item) override
    {
        log << (item->isSelected() ? QStringLiteral("selected") : QStringLiteral("deselected"));
    }
    void gridItemShouldRemove(OVGridItem*) override { log << QStringLiteral("remove"); }
    void gridItemChangedPinState(OVGridItem*, bool pinned) override
    {
        log << (pinned ? QStringLiteral("pinned") : QStringLiteral("unpinned"));
    }
    void gridItemChangedHoverState(OVGridItem*, bool hovered) override
    {
        log << (hovered ? QStringLiteral("hover in") : QStringLiteral("hover out"));
    }
};

// Modifier flags for the duration of a test.
struct HeldModifiers
{
    explicit HeldModifiers(unsigned flags)
    {
        pf::Event::setModifierFlagsProvider([flags] { return flags; });
    }
    ~HeldModifiers() { pf::Event::setModifierFlagsProvider(nullptr); }
};
