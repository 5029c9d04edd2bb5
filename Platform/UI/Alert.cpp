#include "Platform/UI/Alert.h"

#include "Platform/Foundation/Log.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>

namespace pf {

namespace {

std::function<int(const Alert&)>& responder()
{
    static std::function<int(const Alert&)> instance;
    return instance;
}

// Lays an alert's buttons out in the desktop's order, whatever the platform theme says: the others, a
// destructive button, Cancel, then the default at the right.
class DesktopButtonOrder : public QProxyStyle
{
public:
    // Over a style of the application's own kind (the proxy owns it).
    DesktopButtonOrder() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::GnomeLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QMessageBox::ButtonRole roleOf(const Alert& alert, qsizetype index)
{
    switch (alert.role(index)) {
    case Alert::Role::Cancel:
        return QMessageBox::RejectRole;
    case Alert::Role::Destructive:
        return QMessageBox::DestructiveRole;
    case Alert::Role::Normal:
        break;
    }
    return index == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole;
}

QMessageBox* makeBox(const Alert& alert, QWidget* parent, QList<QAbstractButton*>* buttons)
{
    auto* box = new QMessageBox(parent);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    box->setIcon(alert.style == Alert::Style::Informational ? QMessageBox::Information
                 : alert.style == Alert::Style::Critical    ? QMessageBox::Critical
                                                            : QMessageBox::Warning);
    if (auto* row = box->findChild<QDialogButtonBox*>()) {
        auto* order = new DesktopButtonOrder;
        order->setParent(row);
        row->setStyle(order);
    }
    const QStringList titles = alert.buttons();
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QPushButton* button = box->addButton(titles[i], roleOf(alert, i));
        buttons->append(button);
        if (i == 0)
            box->setDefaultButton(button);
        if (alert.role(i) == Alert::Role::Cancel)
            box->setEscapeButton(button);
    }
    return box;
}

} // namespace

void Alert::setResponder(std::function<int(const Alert&)> function)
{
    responder() = std::move(function);
}

int Alert::runModal() const
{
    log(QStringLiteral("Alert: %1 %2").arg(messageText, informativeText));
    if (responder())
        return responder()(*this);
    QList<QAbstractButton*> buttons;
    QMessageBox* box = makeBox(*this, nullptr, &buttons);
    box->exec();
    const int index = int(buttons.indexOf(box->clickedButton()));
    delete box;
    return firstButtonReturn + std::max(index, 0);
}

void Alert::beginSheetModal(Window* window, std::function<void(int)> completion) const
{
    log(QStringLiteral("Alert: %1 %2").arg(messageText, informativeText));
    if (responder()) {
        const int answer = responder()(*this);
        if (completion)
            completion(answer);
        return;
    }
    auto* buttons = new QList<QAbstractButton*>;
    QMessageBox* box = makeBox(*this, window, buttons);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, completion](int) {
        const int index = int(buttons->indexOf(box->clickedButton()));
        delete buttons;
        if (completion)
            completion(firstButtonReturn + std::max(index, 0));
    });
    box->open();
}

} // namespace pf
