#pragma once

#include "Platform/Image/PaintColor.h"

#include <QString>
#include <memory>

class OVTextPanel;

// The owner of the text being edited in the text panel: the text, its colour, font and alignment are
// its properties, which the panel reads when it is shown for it and writes on every change. When they
// change from elsewhere, the delegate calls textPanelValuesChanged() so a panel showing them follows.
// Alignment: 0 left, 1 right, 2 centre.
class OVTextPanelDelegate
{
public:
    OVTextPanelDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVTextPanelDelegate(const OVTextPanelDelegate&) {}
    OVTextPanelDelegate& operator=(const OVTextPanelDelegate&) { return *this; }
    virtual ~OVTextPanelDelegate() = default;

    virtual QString textPanelString() const = 0;
    virtual void setTextPanelString(const QString& text) = 0;
    virtual pf::PaintColor textPanelColor() const = 0;
    virtual void setTextPanelColor(const pf::PaintColor& color) = 0;
    virtual QString textPanelFontName() const = 0;
    virtual void setTextPanelFontName(const QString& name) = 0;
    virtual unsigned textPanelAlignment() const = 0;
    virtual void setTextPanelAlignment(unsigned alignment) = 0;

    virtual void textPanelDidEndEditing(OVTextPanel*) {}
    // False keeps the panel up when it loses key status.
    virtual bool textPanelShouldAutohide(OVTextPanel*) { return true; }

    // Brings a panel bound to this delegate up to date with its properties.
    void textPanelValuesChanged();

    std::weak_ptr<const void> textPanelDelegateLifetime() const { return m_lifetime; }

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
