#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVSimpleColorWell.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/NamedImage.h"

#include <gtest/gtest.h>

namespace {

// Every image the controls name is there at both scales, at the size their geometry relies on: the
// marker row ends where the strip begins (y 7), the icon fits above it.
TEST(ControlsArtwork, EveryNamedImageLoadsAtItsSize)
{
    QStringList names = OVSimpleColorWell::imageNames();
    names << OVGradientPicker::imageNames();
    const QMap<QString, pf::Size> sizes = {
        {QStringLiteral("SimpleColorWellGrid"), pf::Size(24, 24)},
        {QStringLiteral("SimpleColorWellOverlay"), pf::Size(24, 24)},
        {QStringLiteral("SimpleColorWellOverlayHover"), pf::Size(24, 24)},
        {QStringLiteral("SimpleColorWellOverlayDown"), pf::Size(24, 24)},
        {QStringLiteral("ColorStop"), pf::Size(11, 7)},
        {QStringLiteral("ColorStopSelected"), pf::Size(11, 7)},
        {QStringLiteral("ColorStopDelete"), pf::Size(9, 9)},
    };
    EXPECT_EQ(names.size(), sizes.size());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(sizes.contains(name));
        for (const double scale : {1.0, 2.0}) {
            const QImage image = pf::NamedImage::image(name, scale, pf::Bundle::main());
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(OVImageSize::pointSize(image), sizes[name]);
            EXPECT_EQ(image.width(), int(sizes[name].width * scale));
        }
    }
    OVGradientPicker picker(pf::Rect(0, 0, 210, 27));
    EXPECT_EQ(picker.triHeight(), picker.gradientRect().minY());
}

// The grid is the swatch's shape: clear at the corners, opaque inside.
TEST(ControlsArtwork, TheGridsAlphaIsTheWellsRoundedShape)
{
    const QImage grid = pf::NamedImage::image(QStringLiteral("SimpleColorWellGrid"), 1, pf::Bundle::main())
                            .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(grid.pixel(0, 0)), 0);
    EXPECT_LT(qAlpha(grid.pixel(2, 2)), 200) << "rounded corner";
    EXPECT_EQ(qAlpha(grid.pixel(12, 12)), 255);
    EXPECT_EQ(qAlpha(grid.pixel(3, 12)), 255);
}

} // namespace
