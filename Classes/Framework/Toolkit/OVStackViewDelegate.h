#pragma once

class OVStackView;

// Told when the pile of a stack view is clicked.
class OVStackViewDelegate
{
public:
    virtual ~OVStackViewDelegate() = default;
    virtual void didSelectStackView(OVStackView* stackView) = 0;
};
