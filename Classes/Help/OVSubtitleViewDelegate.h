#pragma once

class OVSubtitle;
class OVSubtitleView;

// Told when the cue a subtitle view shows changes (to none as well).
class OVSubtitleViewDelegate
{
public:
    virtual ~OVSubtitleViewDelegate() = default;
    virtual void subtitleViewDidChangeSubtitle(OVSubtitleView* view, const OVSubtitle* subtitle) = 0;
};
