#include "Classes/Framework/Toolkit/OVToolBarView.h"

#include "Classes/Framework/Toolkit/OVToolBarShade.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Drawing.h"

#include <QPaintEngine>
#include <QPainter>
#include <cmath>

OVToolBarView::OVToolBarView(const pf::Rect& frame, QWidget* parent)
    : OVToolBarView(frame, pf::Bundle::main(), parent)
{}

OVToolBarView::OVToolBarView(const pf::Rect& frame, const pf::Bundle& bundle, QWidget* parent)
    : pf::View(frame, parent), m_bundle(bundle)
{
    const QString path = bundle.pathForResource(QStringLiteral("ToolBar"), QStringLiteral("plist"));
    if (!path.isEmpty())
        m_descriptions =
            pf::FileRead::dictionary(path, QStringLiteral("The tool bar description %1 cannot be read: %2"))
                .value_or(QVariantMap());
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    const QString key = QString::fromLatin1(currentBarKey);
    if (!m_descriptions.isEmpty()) {
        const QString fallback = m_descriptions.contains(QStringLiteral("Default"))
                                     ? QStringLiteral("Default")
                                     : m_descriptions.firstKey();
        defaults.registerDefaults({{key, fallback}});
    }
    setCurrentBar(defaults.stringForKey(key));
}

OVToolBarView::~OVToolBarView() = default;

void OVToolBarView::setCurrentBar(const QString& name)
{
    if (m_descriptions.isEmpty())
        return;
    m_currentBar = name;
    m_shades.clear();
    m_picture = QImage();
    const QVariantList entries = m_descriptions.value(name).toList();
    for (const QVariant& entry : entries) {
        const QVariantMap shade = entry.toMap();
        m_shades.push_back(
            std::make_unique<OVToolBarShade>(shade.value(QStringLiteral("Image")).toString(),
                                             shade.value(QStringLiteral("BlendMode")).toString(), m_bundle));
    }
}

void OVToolBarView::registerBarButton(pf::View* button)
{
    if (!button)
        return;
    m_buttons.append(button);
    m_segments.clear();
    setNeedsDisplay();
}

void OVToolBarView::removeBarButton(pf::View* button)
{
    m_buttons.removeAll(button);
    m_buttons.removeAll(nullptr);
    m_segments.clear();
    setNeedsDisplay();
}

QList<pf::View*> OVToolBarView::barButtons() const
{
    QList<pf::View*> buttons;
    for (const auto& button : m_buttons)
        if (button)
            buttons.append(button);
    return buttons;
}

void OVToolBarView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    pf::View::resizeSubviewsWithOldSize(oldSize);
    m_segments.clear();
}

void OVToolBarView::updateBarSegments()
{
    m_segments.clear();
    const pf::Rect b = bounds();
    double x = b.minX();
    for (pf::View* button : barButtons()) {
        const pf::Rect f = button->frame();
        if (f.minX() > x)
            m_segments.push_back(pf::Rect(x, b.minY(), f.minX() - x, b.height()));
        x = f.maxX();
    }
    if (b.width() > x)
        m_segments.push_back(pf::Rect(x, b.minY(), b.width() - x, b.height()));
}

void OVToolBarView::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_segments.empty())
        updateBarSegments();
    QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : painter.device();
    const double ratio = device ? device->devicePixelRatioF() : 1.0;
    const pf::Rect b = bounds();
    if (b.width() <= 0 || b.height() <= 0)
        return;
    // The bar is composed once into a picture (over a clear ground) and then only copied, until its
    // size, resolution, gaps or shades change: blending a stretched overlay shade costs far more.
    if (m_picture.isNull() || m_pictureSize != b.size || m_pictureRatio != ratio ||
        m_pictureSegments != m_segments || m_pictureRightAlign != m_rightAlign) {
        QImage picture(std::max(1, int(std::ceil(b.width() * ratio))),
                       std::max(1, int(std::ceil(b.height() * ratio))), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        {
            QPainter composer(&picture);
            composer.setRenderHints(painter.renderHints());
            composer.translate(0, b.height());
            composer.scale(1, -1);
            composer.translate(-b.minX(), -b.minY());
            composeBar(composer, ratio > 1.5);
        }
        m_picture = picture;
        m_pictureSize = b.size;
        m_pictureRatio = ratio;
        m_pictureSegments = m_segments;
        m_pictureRightAlign = m_rightAlign;
    }
    pf::drawImage(painter, m_picture, b);
}

void OVToolBarView::composeBar(QPainter& painter, bool highResolution)
{
    const double width = bounds().width();
    for (const pf::Rect& gap : m_segments) {
        const double x0 = gap.minX(), y0 = gap.minY(), gw = gap.width();
        for (const auto& shade : m_shades) {
            shade->setUseRetina(highResolution);
            painter.setCompositionMode(shade->blendMode() == OVToolBarShade::Overlay
                                           ? QPainter::CompositionMode_Overlay
                                           : QPainter::CompositionMode_SourceOver);
            const QImage l = shade->left(), m = shade->mid(), r = shade->right();
            auto pointHeight = [](const QImage& image) {
                return image.isNull() ? 0.0 : image.height() / image.devicePixelRatio();
            };
            const double h = std::max({pointHeight(l), pointHeight(m), pointHeight(r)});
            double lw = 0;
            if (!l.isNull() && x0 != 0 && shade->leftMargin() <= gw) {
                lw = shade->leftMargin();
                if (lw > 0)
                    pf::drawImage(painter, l, pf::Rect(x0, y0, lw, h), pf::Rect::null(),
                                  painter.compositionMode());
            }
            double x = x0 + lw;
            double rw = 0;
            if (!r.isNull() && std::lround(x0 + gw - width) != 0 && x + shade->rightMargin() <= x0 + gw)
                rw = shade->rightMargin();
            const double mw = x0 + gw - x - rw;
            if (!m.isNull() && mw > 0) {
                if (!shade->repeat()) {
                    pf::drawImage(painter, m, pf::Rect(x, y0, mw, h), pf::Rect::null(),
                                  painter.compositionMode());
                } else {
                    painter.save();
                    painter.setClipRect(pf::Rect(x, y0, mw, h).toQRectF(), Qt::IntersectClip);
                    const double tile = m.width() / m.devicePixelRatio();
                    const double t = m_rightAlign ? width : x0;
                    // Tiles run from t in both directions; one strip of them, started at the last tile
                    // edge at or before x, covers the clip.
                    const double start = t - std::ceil((t - x) / tile) * tile;
                    const QImage strip = shade->midStrip(mw);
                    pf::drawImage(painter, strip,
                                  pf::Rect(start, 0, strip.width() / strip.devicePixelRatio(), h),
                                  pf::Rect::null(), painter.compositionMode());
                    painter.restore();
                }
            }
            x += std::max(0.0, mw);
            if (rw > 0)
                pf::drawImage(painter, r, pf::Rect(x, y0, rw, h), pf::Rect::null(),
                              painter.compositionMode());
        }
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}
