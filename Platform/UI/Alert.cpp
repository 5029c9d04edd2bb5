#include "Platform/UI/Alert.h"

#include "Platform/Foundation/Log.h"
#include "Platform/UI/Window.h"

#include <QMessageBox>
#include <QPushButton>

namespace pf {

namespace {

std::function<int(const Alert&)>& responder()
{
    static std::function<int(const Alert&)> instance;
    return instance;
}

QMessageBox* makeBox(const Alert& alert, QWidget* parent, QList<QAbstractButton*>* buttons)
{
    auto* box = new QMessageBox(parent);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    box->setIcon(alert.style == Alert::Style::Informational ? QMessageBox::Information
                 : alert.style == Alert::Style::Critical    ? QMessageBox::Critical
                                                            : QMessageBox::Warning);
    const QStringList titles = alert.buttons();
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QPushButton* button =
            box->addButton(titles[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        buttons->append(button);
        if (i == 0)
            box->setDefaultButton(button);
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
