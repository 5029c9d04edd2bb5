#include "Platform/UI/ColorPanel.h"

#include <QColorDialog>

namespace pf {

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
        if (!self->m_settingColor && self->m_handler)
            self->m_handler(color);
    });
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
    m_handler = std::move(handler);
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
