// Outside probes: the canvas shows every photo in its proportions and centred, whatever the sizes.
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVZoomView.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/SteppedClock.h"

#include <gtest/gtest.h>
#include <cmath>

using pf::Rect;

TEST(CanvasProbe, EveryPhotoKeepsItsProportionsAndIsCentred)
{
    const pf::Size canvases[] = {{300, 200}, {800, 500}, {1000, 800}, {1400, 900}, {2200, 1500}, {3500, 1900}};
    const pf::Size photos[] = {{1, 1}, {2, 3000}, {3000, 2}, {50, 50}, {150, 50}, {120, 90},
                               {512, 512}, {6000, 4000}, {12000, 9000}, {400, 100}};
    const double zooms[] = {1, 0.75, 0.5, 0.25, 0};
    int stretched = 0, offCentre = 0, total = 0;
    for (const pf::Size& c : canvases)
        for (const pf::Size& p : photos)
            for (double z : zooms) {
                pf::SteppedClock clock;
                GMEventView content{Rect(0, 0, c.width, c.height)};
                auto* zoom = new OVZoomView(Rect(0, 0, c.width, c.height),
                                            [] { return std::make_shared<OVFrameLayer>(); });
                content.addSubview(zoom);
                zoom->setMargin(pf::Size(9, 9));
                zoom->setImageSize(p);
                zoom->setZoomFactor(z);
                const Rect f = zoom->zoomLayer()->frame();
                const Rect e = zoom->editRect();
                ++total;
                const double sx = f.width() / (e.width() * p.width), sy = f.height() / (e.height() * p.height);
                if (std::abs(sx / sy - 1) > 0.01) {
                    ++stretched;
                    ADD_FAILURE() << "stretched: canvas " << c.width << "x" << c.height << " photo " << p.width
                                  << "x" << p.height << " zoom " << z << " sx " << sx << " sy " << sy;
                }
                // Where the whole photo shows along an axis, it lies in the canvas's middle along it.
                if ((e.width() >= 1 - 1e-9 && std::abs(f.midX() - c.width / 2) > 1) ||
                    (e.height() >= 1 - 1e-9 && std::abs(f.midY() - c.height / 2) > 1)) {
                    ++offCentre;
                    ADD_FAILURE() << "off centre: canvas " << c.width << "x" << c.height << " photo "
                                  << p.width << "x" << p.height << " zoom " << z << " frame " << f.minX() << ","
                                  << f.minY() << " " << f.width() << "x" << f.height();
                }
            }
    std::printf("%d of %d stretched, %d off centre\n", stretched, total, offCentre);
}
