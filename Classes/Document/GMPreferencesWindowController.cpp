#include "Classes/Document/GMPreferencesWindowController.h"

#include "Classes/Document/DocumentHandler.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Window.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// The list entry at index 4 is the separator between the spans (or counts) and the last choice.
constexpr int separatorIndex = 4;
constexpr int lastChoice = 5;

QComboBox* choiceList(const QStringList& four, const QString& last)
{
    auto* list = new QComboBox;
    for (const QString& text : four)
        list->addItem(pf::localized(text));
    list->insertSeparator(separatorIndex);
    list->addItem(pf::localized(last));
    return list;
}

pf::Interface preferencesInterface(QObject*, const pf::Bundle&)
{
    auto* window = new pf::Window(pf::Rect(0, 0, 460, 200), pf::Window::Titled | pf::Window::Closable);
    window->setTitle(QStringLiteral("Preferences"));
    window->setReleasedWhenClosed(false);
    QWidget* content = window->contentView();
    content->setStyleSheet(QStringLiteral("QLabel { color: #d9dadd; }"));
    window->setBackgroundColor(QColor(0x26, 0x28, 0x2c));
    auto* root = new QVBoxLayout(content);
    root->setContentsMargins(22, 18, 22, 18);
    root->setSpacing(14);
    auto* intro = new QLabel(pf::localized(
        QStringLiteral("When you retouch a photo file, its untouched original and your layers are kept in "
                       "the application's working area, so that you can go on later.")));
    intro->setWordWrap(true);
    root->addWidget(intro);
    auto* form = new QFormLayout;
    form->setHorizontalSpacing(12);
    QComboBox* span = choiceList({QStringLiteral("3 days"), QStringLiteral("7 days"),
                                  QStringLiteral("31 days"), QStringLiteral("92 days")},
                                 QStringLiteral("Forever"));
    QComboBox* count = choiceList({QStringLiteral("5 pictures"), QStringLiteral("10 pictures"),
                                   QStringLiteral("50 pictures"), QStringLiteral("100 pictures")},
                                  QStringLiteral("Unlimited"));
    form->addRow(pf::localized(QStringLiteral("Keep edits for")), span);
    form->addRow(pf::localized(QStringLiteral("Keep at most")), count);
    root->addLayout(form);
    root->addStretch();
    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("window"), window);
    interface.outlets.insert(QStringLiteral("spanPopUp"), span);
    interface.outlets.insert(QStringLiteral("countPopUp"), count);
    interface.topLevelObjects = {window};
    return interface;
}

} // namespace

void GMPreferencesWindowController::registerInterface()
{
    if (!pf::InterfaceRegistry::hasInterface(QStringLiteral("GMPreferencesWindowController")))
        pf::InterfaceRegistry::registerInterface(QStringLiteral("GMPreferencesWindowController"),
                                                 preferencesInterface);
}

GMPreferencesWindowController::GMPreferencesWindowController(DocumentHandler* documents)
    : m_documents(documents)
{
    registerInterface();
}

QString GMPreferencesWindowController::spanText(int index)
{
    switch (index) {
    case 0:
        return pf::localized(QStringLiteral("for 3 days"));
    case 1:
        return pf::localized(QStringLiteral("for 7 days"));
    case 2:
        return pf::localized(QStringLiteral("for 31 days"));
    case 3:
        return pf::localized(QStringLiteral("for 92 days"));
    default:
        return pf::localized(QStringLiteral("until you remove them"));
    }
}

int GMPreferencesWindowController::popUpIndex(int retentionIndex)
{
    return retentionIndex >= separatorIndex ? lastChoice : std::max(0, retentionIndex);
}

void GMPreferencesWindowController::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    m_span = outlet<QComboBox>(QStringLiteral("spanPopUp"));
    m_count = outlet<QComboBox>(QStringLiteral("countPopUp"));
    if (pf::Window* window = loadedWindow()) {
        window->setContentSize(pf::Size(460, std::max(190, window->contentView()->sizeHint().height())));
        // Centred on the screen of the window in front, and closed by Escape as a dialog is.
        const pf::Window* front = pf::Window::keyWindow();
        QScreen* screen = front && front->screen() ? front->screen() : QGuiApplication::primaryScreen();
        if (screen)
            window->move(screen->availableGeometry().center() -
                         QPoint(window->width() / 2, window->height() / 2));
        auto* escape = new QAction(window);
        escape->setShortcut(QKeySequence(Qt::Key_Escape));
        escape->setShortcutContext(Qt::WindowShortcut);
        connect(escape, &QAction::triggered, this, [this] { close(); });
        window->addAction(escape);
    }
    refresh();
    connect(m_span, &QComboBox::activated, this, [this](int index) { chooseSpan(index); });
    connect(m_count, &QComboBox::activated, this, [this](int index) { chooseCount(index); });
}

void GMPreferencesWindowController::refresh()
{
    if (m_span)
        m_span->setCurrentIndex(popUpIndex(m_documents->shadowKeepSpan()));
    if (m_count)
        m_count->setCurrentIndex(popUpIndex(m_documents->shadowKeepCount()));
}

bool GMPreferencesWindowController::confirmPurge(const QStringList& paths)
{
    if (paths.isEmpty())
        return true;
    const int n = int(paths.size());
    pf::Alert alert;
    alert.messageText = n == 1 ? pf::localized(QStringLiteral("1 picture loses its kept edits."))
                               : pf::localized(QStringLiteral("%1 pictures lose their kept edits.")).arg(n);
    alert.informativeText = pf::localized(
        QStringLiteral("With this choice, the untouched originals and layers kept for them are deleted now "
                       "and cannot be brought back. The picture files themselves are not changed."));
    alert.addButton(pf::localized(QStringLiteral("Delete Edits")));
    alert.addButton(pf::localized(QStringLiteral("Cancel")), pf::Alert::Role::Cancel);
    return alert.runModal() == pf::Alert::firstButtonReturn;
}

void GMPreferencesWindowController::chooseSpan(int index)
{
    if (index == separatorIndex || index < 0)
        return refresh();
    if (confirmPurge(m_documents->shadowCopiesPurgedBySpan(index)))
        m_documents->setShadowKeepSpan(index);
    refresh();
}

void GMPreferencesWindowController::chooseCount(int index)
{
    if (index == separatorIndex || index < 0)
        return refresh();
    if (confirmPurge(m_documents->shadowCopiesPurgedByCount(index)))
        m_documents->setShadowKeepCount(index);
    refresh();
}
