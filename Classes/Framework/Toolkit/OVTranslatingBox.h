#pragma once

#include <QGroupBox>

// A titled box whose title and tooltip are translated through the "Controls" table when they are set,
// and once more when its interface has been built (awakeFromInterface).
class OVTranslatingBox : public QGroupBox
{
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

    void setTitle(const QString& title);
    void setToolTip(const QString& toolTip);
    void awakeFromInterface();
};
