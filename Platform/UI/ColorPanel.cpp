#include "Platform/UI/ColorPanel.h"

#include <QApplication>
#include <QColorDialog>
#include <QEvent>

namespace pf {

namespace {

// Watches the panel being hidden (closed by the user or the program) and, while a change waits for
// the mouse button in non-continuous mode, the button's release anywhere in the application.
class PanelWatcher : public QObject
{
public:
    PanelWatcher(QObject* parent, std::function<void()> hidden, std::function<void()> released)
        : QObject(parent), m_hidden(std::move(hidden)), m_released(std::move(released))
    {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched == parent())
            m_hidden();
        else if (event->type() == QEvent::MouseButtonRelease)
            m_released();
        return false;
    }

private:
    std::function<void()> m_hidden, m_released;
};

} // namespace

ColorPanel& ColorPanel::shared()
{
    static ColorPanel panel;
    return panel;
}

void ColorPanel::make() const
{
    if (m_dialog)
        return;
    m_dialog = new QColorDialog;
    m_dialog->setOption(QColorDialog::DontUseNativeDialog, true);
    m_dialog->setOption(QColorDialog::NoButtons, true);
    m_dialog->setWindowTitle(QStringLiteral("Colors"));
    auto* self = const_cast<ColorPanel*>(this);
    QObject::connect(m_dialog, &QColorDialog::currentColorChanged, m_dialog, [self](const QColor& color) {
        if (!self->m_settingColor)
            self->report(color);
    });
    auto* watcher = new PanelWatcher(
        m_dialog,
        [self] {
            // Only clients that asked to hear of it lose the panel when it closes.
            if (self->m_released)
                self->release();
        },
        [self] {
            if (!self->m_pending)
                return;
            self->m_pending = false;
            qApp->removeEventFilter(self->m_watcher);
            if (self->m_handler && self->m_dialog)
                self->m_handler(self->m_dialog->currentColor());
        });
    m_dialog->installEventFilter(watcher);
    m_watcher = watcher;
}

void ColorPanel::report(const QColor& color)
{
    if (!m_handler)
        return;
    if (m_continuous || QGuiApplication::mouseButtons() == Qt::NoButton) {
        m_handler(color);
        return;
    }
    // Not continuous and the user still drags: the colour goes out when the button comes up.
    if (!m_pending) {
        m_pending = true;
        qApp->installEventFilter(m_watcher);
    }
}

void ColorPanel::release()
{
    std::function<void()> released = std::move(m_released);
    m_released = nullptr;
    m_client = nullptr;
    m_handler = nullptr;
    if (released)
        released();
}

QColorDialog* ColorPanel::dialog() const
{
    make();
    return m_dialog;
}

QColor ColorPanel::color() const
{
    return dialog()->currentColor();
}

void ColorPanel::setColor(const QColor& color)
{
    m_settingColor = true;
    dialog()->setCurrentColor(color);
    m_settingColor = false;
}

void ColorPanel::setShowsAlpha(bool shows)
{
    dialog()->setOption(QColorDialog::ShowAlphaChannel, shows);
}

void ColorPanel::setChangeHandler(std::function<void(const QColor&)> handler)
{
    setClient(nullptr, std::move(handler), nullptr);
}

void ColorPanel::setClient(const void* client, std::function<void(const QColor&)> changed,
                           std::function<void()> released)
{
    if (!client || client != m_client)
        release();
    m_client = client;
    m_handler = std::move(changed);
    m_released = std::move(released);
}

void ColorPanel::removeClient(const void* client)
{
    if (!client || client != m_client)
        return;
    m_client = nullptr;
    m_handler = nullptr;
    m_released = nullptr;
}

void ColorPanel::orderFront()
{
    dialog()->show();
    dialog()->raise();
}

void ColorPanel::close()
{
    if (m_dialog)
        m_dialog->hide();
}

bool ColorPanel::isVisible() const
{
    return m_dialog && m_dialog->isVisible();
}

} // namespace pf
