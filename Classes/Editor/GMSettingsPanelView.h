#pragma once

#include "Classes/Framework/Toolkit/OV3PartImageView.h"
#include "Platform/UI/InterfaceRegistry.h"

namespace pf {
class Bundle;
}

// The settings panel's own view: the three-part background piece along its bottom edge, continued
// upwards in the piece's colour to the window's top edge, so the panel hangs from there as one sheet.
class GMSettingsPanelView : public OV3PartImageView
{
    Q_OBJECT

public:
    using OV3PartImageView::OV3PartImageView;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

    // Builds the whole panel with its controls and returns them as outlets (see GMSettingsController).
    static pf::Interface makeInterface(QObject* owner, const pf::Bundle& bundle);
    // The image names the panel's interface shows.
    static QStringList imageNames();
};
