#pragma once

#include "Classes/Help/OVSubtitle.h"
#include "Platform/UI/View.h"

#include <QPointer>

class OVSubtitleViewDelegate;

// Shows the cue of the movie's current time as white text on a dark band along the bottom edge.
// The lookup walks from the cue found last, so times that advance a frame at a time cost a step or two.
// Main thread.
class OVSubtitleView : public pf::View
{
    Q_OBJECT
public:
    explicit OVSubtitleView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    void setSubtitles(const OVSubtitleList& subtitles);
    const OVSubtitleList& subtitles() const { return m_subtitles; }
    void setCurrentTime(double seconds);
    double currentTime() const { return m_currentTime; }
    // The cue shown at the current time, or null.
    const OVSubtitle* currentSubtitle();
    // Looks the cue up again from the remembered index.
    void updateCurrentSubtitle();
    qint64 currentSegment() const { return m_currentSegment; }
    // Index steps the last lookup took (for measuring the walk).
    int lastLookupSteps() const { return m_lastLookupSteps; }

    bool drawBackground() const { return m_drawBackground; }
    void setDrawBackground(bool flag) { m_drawBackground = flag; }
    // Not owned; the caller clears it before the delegate goes.
    OVSubtitleViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVSubtitleViewDelegate* delegate) { m_delegate = delegate; }

    // The font size for a view width: 12 points at 600 wide, never below 6.
    static double fontSizeForWidth(double width);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    OVSubtitleList m_subtitles;
    double m_currentTime = 0;
    qint64 m_currentSegment = 0;
    std::shared_ptr<const OVSubtitle> m_current;
    std::shared_ptr<const OVSubtitle> m_lastReported;
    int m_lastLookupSteps = 0;
    bool m_drawBackground = false;
    OVSubtitleViewDelegate* m_delegate = nullptr;
};
