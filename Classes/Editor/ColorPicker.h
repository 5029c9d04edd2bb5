#pragma once

#include "Platform/UI/View.h"

#include <QColor>
#include <memory>

class ColorPickerDelegate;
namespace pf {
class Timer;
}

// A framed colour swatch of the settings panel. A click opens the shared colour panel on the swatch's
// colour; from then on every colour the user picks there reaches the swatch, which reports it at once
// as a preview and, 0.1 s after the last change, once more as final. Setting the colour from the owner
// moves the panel to it without any report. A picker faded out (see OVViewState) ignores the mouse.
class ColorPicker : public pf::View
{
    Q_OBJECT

public:
    // Red at first.
    explicit ColorPicker(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~ColorPicker() override;

    QColor color() const { return m_color; }
    // From the owner: stores it, shows it in the colour panel and takes the panel's changes; no report.
    void setColor(const QColor& color);
    // Stores and redraws only.
    void setColorIntern(const QColor& color);
    // Stores and reports the colour as a preview.
    void updateColor(const QColor& color);
    // What the colour panel sends: the preview report, then the final one 0.1 s after the last change.
    void changeColor(const QColor& color);
    // The final report now.
    void colorTimerFired();
    // Whether a final report is still to come.
    bool hasPendingReport() const;
    // Gives a pending final report at once (when the owner is about to show another colour).
    void deliverPendingReport();

    // Not owned; clear it before the delegate goes.
    ColorPickerDelegate* delegate() const { return m_delegate; }
    void setDelegate(ColorPickerDelegate* delegate) { m_delegate = delegate; }

    // The frame both pickers share, and the rectangle left inside it for the content.
    static void drawFrame(QPainter& painter, const pf::Rect& bounds);
    static pf::Rect contentRect(const pf::Rect& bounds);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseDown(const pf::Event& event) override;

    static QStringList imageNames();

private:
    void takeColorPanel();

    QColor m_color = Qt::red;
    std::shared_ptr<pf::Timer> m_updateTimer;
    ColorPickerDelegate* m_delegate = nullptr;
};
