#include "Classes/Help/OVSubtitleView.h"

#include "Classes/Help/OVSubtitleViewDelegate.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

OVSubtitleView::OVSubtitleView(const pf::Rect& frame, QWidget* parent) : pf::View(frame, parent) {}

void OVSubtitleView::setSubtitles(const OVSubtitleList& subtitles)
{
    m_subtitles = subtitles;
    m_currentSegment = std::min<qint64>(std::max<qint64>(m_currentSegment, 0), m_subtitles.size() - 1);
    m_current.reset();
    setCurrentTime(m_currentTime);
}

void OVSubtitleView::updateCurrentSubtitle()
{
    m_current.reset();
    setCurrentTime(m_currentTime);
}

void OVSubtitleView::setCurrentTime(double seconds)
{
    m_currentTime = seconds;
    const OVSubtitle* found = currentSubtitle();
    if (found == m_lastReported.get())
        return;
    setNeedsDisplay();
    m_lastReported = found ? m_current : nullptr;
    if (m_delegate)
        m_delegate->subtitleViewDidChangeSubtitle(this, found);
}

const OVSubtitle* OVSubtitleView::currentSubtitle()
{
    m_lastLookupSteps = 0;
    if (m_subtitles.isEmpty())
        return nullptr;
    const qint64 last = m_subtitles.size() - 1;
    m_currentSegment = std::clamp<qint64>(m_currentSegment, 0, last);
    if (!m_current)
        m_current = m_subtitles[m_currentSegment];
    while (m_currentSegment > 0 && m_current->start() > m_currentTime) {
        m_current = m_subtitles[--m_currentSegment];
        ++m_lastLookupSteps;
    }
    while (m_currentSegment < last && m_currentTime > m_current->end()) {
        m_current = m_subtitles[++m_currentSegment];
        ++m_lastLookupSteps;
    }
    if (m_current->start() <= m_currentTime && m_currentTime <= m_current->end())
        return m_current.get();
    return nullptr;
}

double OVSubtitleView::fontSizeForWidth(double width)
{
    return std::max(6.0, width / 600.0 * 12.0);
}

void OVSubtitleView::drawRect(QPainter& painter, const pf::Rect&)
{
    const OVSubtitle* cue = currentSubtitle();
    if (!cue)
        return;
    const double width = bounds().size.width;
    const double size = fontSizeForWidth(width);
    QString text = cue->string();
    text.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
    pf::AttributedString string(text, pf::TextAttributes{pf::systemFont(size), Qt::white});
    string.setAlignment(pf::AttributedString::Alignment::Center);
    const pf::Size measured = string.sizeForWidth(width);
    const double margin = std::round(size);
    painter.fillRect(QRectF(0, 0, width, 2 * margin + measured.height),
                     QColor(0, 0, 0, int(0.6 * 255 + 0.5)));
    string.drawInRect(painter,
                      pf::Rect((width - measured.width) * 0.5, margin, measured.width, measured.height));
}
