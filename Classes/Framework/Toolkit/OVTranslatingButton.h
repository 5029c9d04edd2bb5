#pragma once

#include <QPushButton>

// A push button whose title and tooltip are translated through the "Controls" table when they are set,
// and once more when its interface has been built (awakeFromInterface), for the texts given there.
class OVTranslatingButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    void setTitle(const QString& title);
    QString title() const { return text(); }
    void setToolTip(const QString& toolTip);
    void awakeFromInterface();
};
