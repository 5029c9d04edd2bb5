#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVFrameShadowLayer.h"
#include "Classes/Editor/OVFrameView.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVSwitch.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/NamedImage.h"

#include <gtest/gtest.h>

// Every picture the editor's classes draw by name is in the built resources, at both scales.
TEST(EditorArtwork, EveryImageNameTheClassesUseExists)
{
    QStringList names = OVFrameView::imageNames() + OVFrameLayer::imageNames() +
                        OVFrameShadowLayer::imageNames() + GMSlider::imageNames() + OVSwitch::imageNames() +
                        EffectIntensity::imageNames() + ColorPicker::imageNames() +
                        OVMultiSwitch::imageNames() + GMSettingsController::imageNames() +
                        QStringList{GMEventView::backgroundImageName, GMEventView::grainImageName};
    names.removeDuplicates();
    QStringList missing;
    for (const QString& name : names) {
        for (double scale : {1.0, 2.0}) {
            if (pf::NamedImage::image(name, scale, pf::Bundle::main()).isNull())
                missing << QStringLiteral("%1 at %2x").arg(name).arg(scale);
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << qPrintable(missing.join(QStringLiteral(", ")));
}
