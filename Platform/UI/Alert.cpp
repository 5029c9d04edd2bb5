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

// The answer of a box that ended without a button pressed (closed by the window manager or from
// elsewhere, or its loop ended under it): Cancel where the alert has one, for the first button may
// write over a file or throw work away; an alert without Cancel answers its first (a note, its only)
// button.
int answerOf(const Alert& alert, const QList<QAbstractButton*>& buttons, QAbstractButton* pressed)
{
    const qsizetype index = pressed ? buttons.indexOf(pressed) : -1;
    if (index >= 0)
        return Alert::firstButtonReturn + int(index);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (alert.role(i) == Alert::Role::Cancel) {
            warning(QStringLiteral("the alert “%1” closed without a button; taken as %2")
                        .arg(alert.messageText, buttons[i]->text()));
            return Alert::firstButtonReturn + int(i);
        }
    }
    return Alert::firstButtonReturn;
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
    const int answer = answerOf(*this, buttons, box->clickedButton());
    delete box;
    return answer;
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
    QObject::connect(box, &QMessageBox::finished, box, [alert = *this, box, buttons, completion](int) {
        const int answer = answerOf(alert, *buttons, box->clickedButton());
        delete buttons;
        if (completion)
            completion(answer);
    });
    box->open();
}

} // namespace pf
