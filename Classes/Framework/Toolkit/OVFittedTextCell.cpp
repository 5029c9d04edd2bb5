#include "Classes/Framework/Toolkit/OVFittedTextCell.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/TextField.h"

#include <cmath>

pf::AttributedString OVFittedTextCell::stringWithFieldAttributes() const
{
    return attributedStringValue();
}

bool OVFittedTextCell::adaptToFont(const QFont& font)
{
    pf::View* view = controlView();
    if (stringValue().isEmpty() || !view || m_isAdapting)
        return false;
    const pf::Size size = view->bounds().size;
    if (!m_textChange && !m_fontChange && size == m_lastSize)
        return false;

    pf::AttributedString text = stringWithFieldAttributes();
    QFont probe = font;
    probe.setPointSizeF(100.0);
    text.setFont(probe, 0, text.length());
    const pf::Size measured = text.size();
    // A text that measures nothing one way, or a field without area, has no size that fits.
    if (!(measured.width > 0) || !(measured.height > 0) || !(size.width > 0) || !(size.height > 0))
        return false;

    // The clearing block runs once the current work is done, so every font set during this re-fit
    // passes straight through.
    std::weak_ptr<bool> alive = m_alive;
    pf::runOnMain([this, alive] {
        if (const auto flag = alive.lock(); flag && *flag)
            m_isAdapting = false;
    });
    m_textChange = false;
    m_fontChange = false;
    m_isAdapting = true;
    m_lastSize = size;

    const double pointSize =
        std::min(100.0 / measured.width * m_lastSize.width, 100.0 / measured.height * m_lastSize.height);
    QFont fitted = font;
    fitted.setPointSizeF(pointSize);
    if (auto* field = dynamic_cast<pf::TextField*>(view)) {
        field->setFont(fitted);
    } else {
        pf::warning(QStringLiteral("unknown controlView"));
        TextFieldCell::setFont(fitted);
    }
    return true;
}

void OVFittedTextCell::drawWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* view)
{
    setControlView(view);
    if (!m_isAdapting)
        adaptToFont(font());
    TextFieldCell::drawWithFrame(painter, frame, controlView());
}

void OVFittedTextCell::setFont(const QFont& font)
{
    // The font a re-fit sets is its result, not a change from outside.
    if (m_isAdapting) {
        TextFieldCell::setFont(font);
        return;
    }
    m_fontChange = true;
    if (!adaptToFont(font))
        TextFieldCell::setFont(font);
}

void OVFittedTextCell::textDidChange()
{
    m_textChange = true;
    adaptToFont(font());
}
