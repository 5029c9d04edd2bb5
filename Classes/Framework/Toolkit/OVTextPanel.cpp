#include "Classes/Framework/Toolkit/OVTextPanel.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVColorView.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVPointingView.h"
#include "Classes/Framework/Toolkit/OVTextPanelDelegate.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Classes/Framework/Toolkit/WindowORVExtension.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSet>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace {

constexpr double cornerWidth = 30;
constexpr double fontListHeight = 190;
const QColor textColor(236, 238, 242);

// The panel's views; the panel lays them out itself from its size (layOutControls()).
pf::Interface textPanelInterface(QObject*, const pf::Bundle&)
{
    auto* root = new OVPointingView(pf::Rect(0, 0, 240, 240));
    pf::View* container = root->containerView();
    auto* fontContainer = new pf::View(pf::Rect(0, 0, 230, fontListHeight));
    auto* textContainer = new pf::View(pf::Rect(0, fontListHeight, 230, 40));
    auto* corner = new OVColorView(pf::Rect(0, 0, cornerWidth, 40));
    auto* inputBox = new pf::View(pf::Rect(0, 0, 180, 30));
    auto* input = new QPlainTextEdit(inputBox);
    auto* well = new OVColorWell(pf::Rect(5, 0, 20, 16));
    auto* openButton = new OVButton(pf::Rect(5, 0, 20, 16));
    auto* fontTable = new QListWidget(fontContainer);
    auto* alignment = new pf::View(pf::Rect(0, 0, 96, 24));
    container->addSubview(fontContainer);
    container->addSubview(textContainer);
    textContainer->addSubview(inputBox);
    textContainer->addSubview(corner);
    corner->addSubview(well);
    corner->addSubview(openButton);
    fontContainer->addSubview(alignment);

    input->setFrameShape(QFrame::NoFrame);
    input->document()->setDocumentMargin(0);
    input->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    input->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    input->setLineWrapMode(QPlainTextEdit::NoWrap);
    input->setFont(pf::systemFont(13));
    QPalette palette = input->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, textColor);
    input->setPalette(palette);
    input->viewport()->setAutoFillBackground(false);

    fontTable->setFrameShape(QFrame::NoFrame);
    fontTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fontTable->setTextElideMode(Qt::ElideRight);
    // A slim light knob on the dark list, no arrows.
    fontTable->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 0; }"
        "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 90); border-radius: 3px;"
        " min-height: 20px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    fontTable->setSelectionMode(QAbstractItemView::SingleSelection);
    QPalette listPalette = fontTable->palette();
    listPalette.setColor(QPalette::Base, QColor(26, 27, 30));
    listPalette.setColor(QPalette::Text, textColor);
    listPalette.setColor(QPalette::Highlight, QColor(70, 110, 170));
    fontTable->setPalette(listPalette);

    openButton->setName(QStringLiteral("TextPanelShowFonts"));
    pf::Interface interface =
        OVToolkitInterfaces::interfaceWithOutlets(root, {{"view", root},
                                                         {"fontContainer", fontContainer},
                                                         {"textContainer", textContainer},
                                                         {"cornerContainer", corner},
                                                         {"inputField", input},
                                                         {"inputBox", inputBox},
                                                         {"colorWell", well},
                                                         {"fontTable", fontTable},
                                                         {"openButton", openButton},
                                                         {"alignmentContainer", alignment}});
    const char* names[] = {"TextPanelAlignLeft", "TextPanelAlignCenter", "TextPanelAlignRight"};
    const char* outlets[] = {"left", "center", "right"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new OVButton(pf::Rect(i * 32, 0, 30, 24));
        button->setName(QString::fromLatin1(names[i]));
        alignment->addSubview(button);
        interface.outlets.insert(QString::fromLatin1(outlets[i]), button);
    }
    return interface;
}

} // namespace

void OVTextPanelDelegate::textPanelValuesChanged()
{
    OVTextPanel::sharedTextPanel().delegateValuesChanged(this);
}

OVTextPanel::OVTextPanel()
{
    OVToolkitInterfaces::registerIfMissing(QStringLiteral("OVTextPanel"), textPanelInterface);
}

OVTextPanel::~OVTextPanel()
{
    WindowORVExtension::deleteWithoutDelegate(m_window);
}

OVTextPanel& OVTextPanel::sharedTextPanel()
{
    static OVTextPanel* shared = new OVTextPanel();
    return *shared;
}

OVPointingView* OVTextPanel::pointingView() const
{
    return isViewLoaded() ? qobject_cast<OVPointingView*>(const_cast<OVTextPanel*>(this)->view()) : nullptr;
}

void OVTextPanel::loadView()
{
    m_alignment = noAlignment;
    OVViewController::loadView();
    pf::View* root = isViewLoaded() ? view() : nullptr;
    if (!root)
        return;
    if (auto* pointing = qobject_cast<OVPointingView*>(root))
        pointing->setPointingSide(OVPointingView::Top);
    else
        pf::warning(QStringLiteral("TextPanel should always use pointing view."));
    m_fontContainer = outlet<pf::View>(QStringLiteral("fontContainer"));
    m_textContainer = outlet<pf::View>(QStringLiteral("textContainer"));
    m_cornerContainer = outlet<pf::View>(QStringLiteral("cornerContainer"));
    m_inputBox = outlet<pf::View>(QStringLiteral("inputBox"));
    m_inputField = outlet<QPlainTextEdit>(QStringLiteral("inputField"));
    m_colorWell = outlet<OVColorWell>(QStringLiteral("colorWell"));
    m_fontTable = outlet<QListWidget>(QStringLiteral("fontTable"));
    m_openButton = outlet<OVButton>(QStringLiteral("openButton"));
    m_alignmentContainer = outlet<pf::View>(QStringLiteral("alignmentContainer"));
    m_allButton = {outlet<OVButton>(QStringLiteral("left")), outlet<OVButton>(QStringLiteral("center")),
                   outlet<OVButton>(QStringLiteral("right"))};
    if (!m_fontContainer || !m_textContainer || !m_cornerContainer || !m_inputBox || !m_inputField ||
        !m_colorWell || !m_fontTable || !m_openButton || !m_alignmentContainer || !m_allButton[0] ||
        !m_allButton[1] || !m_allButton[2]) {
        pf::warning(QStringLiteral("The text panel's interface lacks a control."));
        setView(nullptr);
        return;
    }
    m_showsFontList = true;
    m_showsAlignment = true;
    if (auto* corner = qobject_cast<OVColorView*>(m_cornerContainer.data())) {
        corner->setBorderColor(pf::PaintColor::genericRGB(71 / 255.0, 71 / 255.0, 71 / 255.0, 1.0));
        corner->setBorderWidth(1.0);
        corner->setCornerRadius(4.0);
    }
    m_alignmentContainer->setAlphaValue(0);

    connect(m_inputField, &QPlainTextEdit::textChanged, this, [this] { inputChanged(); });
    connect(m_fontTable, &QListWidget::currentRowChanged, this, [this](int row) { fontRowChanged(row); });
    m_colorWell->setAction([this](OVColorWell*) { updateColorFromWell(); });
    m_openButton->setAction([this](OVButton*) { openCloseFontList(); });
    for (const QPointer<OVButton>& button : m_allButton)
        button->setAction([this](OVButton* b) { updateAlignment(b); });

    auto* window = new OVChildSupportWindow(root->frame(), pf::Window::Borderless);
    window->setReleasedWhenClosed(false);
    window->setOpaque(false);
    window->setHasShadow(false);
    window->setIsChildWindow(true);
    window->setBackgroundColor(Qt::transparent);
    window->contentView()->addSubview(root);
    window->setDelegate(this);
    m_window = window;
    // Starts with the font list and the alignment buttons put away.
    openCloseFontList();
    setIsHidden(true);
}

OVTextPanelDelegate* OVTextPanel::delegate() const
{
    return m_delegateLifetime.expired() ? nullptr : m_delegate;
}

bool OVTextPanel::isVisible() const
{
    return m_window && m_window->isVisible();
}

void OVTextPanel::showAtPoint(pf::Point point, pf::Window* window, OVTextPanelDelegate* delegate)
{
    if (!window || !view() || !m_window) {
        pf::warning(QStringLiteral("Text Panel could not load view!"));
        return;
    }
    m_showing = true;
    m_focusPointBelow = point;
    // The panel belongs to one window at a time: shown for another, it leaves the earlier one, which is
    // no longer observed.
    const bool otherWindow = m_focusWindow != window || m_window->parentWindow() != window;
    if (otherWindow)
        attachTo(window);
    updateWindowFrame();
    setIsHidden(false);
    const bool otherDelegate = delegate != this->delegate();
    if (otherDelegate) {
        m_delegate = delegate;
        m_delegateLifetime = delegate ? delegate->textPanelDelegateLifetime() : std::weak_ptr<const void>();
        updateDelegate();
    }
    if (otherDelegate || otherWindow) {
        m_window->makeKeyAndOrderFront();
        m_window->makeFirstResponder(nullptr);
        m_inputField->setFocus(Qt::OtherFocusReason);
        m_inputField->moveCursor(QTextCursor::End);
    }
    m_showing = false;
}

void OVTextPanel::attachTo(pf::Window* window)
{
    detach();
    m_focusWindow = window;
    window->addChildWindow(m_window);
    pf::NotificationCenter& center = pf::NotificationCenter::defaultCenter();
    m_closeObserver = center.addObserver(pf::Window::willCloseNotification, window,
                                         [this](const pf::Notification&) { close(); });
    m_moveObserver = center.addObserver(pf::Window::didMoveNotification, window,
                                        [this](const pf::Notification&) { updateWindowFrame(); });
}

void OVTextPanel::detach()
{
    m_closeObserver.reset();
    m_moveObserver.reset();
    if (m_window)
        if (pf::Window* parent = m_window->parentWindow())
            parent->removeChildWindow(m_window);
    m_focusWindow = nullptr;
}

void OVTextPanel::updateDelegate()
{
    OVTextPanelDelegate* owner = delegate();
    if (owner && m_inputField) {
        m_updatingFromDelegate = true;
        if (m_inputField->toPlainText() != owner->textPanelString())
            m_inputField->setPlainText(owner->textPanelString());
        m_colorWell->setColor(owner->textPanelColor());
        setFontName(owner->textPanelFontName());
        setAlignment(owner->textPanelAlignment());
        m_updatingFromDelegate = false;
    }
    updateWindowFrame();
}

void OVTextPanel::delegateValuesChanged(const OVTextPanelDelegate* delegate)
{
    if (delegate && delegate == this->delegate() && !m_updatingFromDelegate)
        updateDelegate();
}

void OVTextPanel::updateWindowFrame()
{
    pf::Window* focus = m_focusWindow;
    if (!focus || !m_window || !m_inputField || !isViewLoaded())
        return;
    // The text's own size, at least 150 by 24.
    const QFontMetricsF metrics(m_inputField->font());
    const QString text = m_inputField->toPlainText();
    const QSizeF size = text.isEmpty() ? QSizeF() : metrics.size(0, text);
    const double tw = std::max(size.width(), 150.0), th = std::max(size.height(), 24.0);
    const double width = std::round(tw + 8.0 + 1.0 + 20.0 + 20.0 + m_cornerContainer->frame().width() - 2.0);
    const double height = std::round(th + 12.0 + 10.0 + 1.0 + (m_showsAlignment ? 4.0 : 0.0) +
                                     (m_showsFontList ? fontListHeight : 0.0));
    // S: the focus window's content on screen, the panel's bounds.
    const pf::Rect screen = focus->convertRectToScreen(focus->contentView()->bounds());
    const pf::Point anchor = focus->convertPointToScreen(m_focusPointBelow);
    const double x0 = std::round(anchor.x - width / 2);
    const double x = std::min(screen.maxX() - width, std::max(screen.minX(), x0));
    const double y = std::max(screen.minY(), std::round(anchor.y - height));
    const pf::Point inBase = focus->convertPointFromScreen(pf::Point(x, y));
    m_lastWindowFrame = pf::Rect(inBase.x, inBase.y, width, height);
    m_window->setFrame(pf::Rect(x, y, width, height));
    view()->setFrame(pf::Rect(0, 0, width, height));
    if (OVPointingView* pointing = pointingView()) {
        pointing->setDistance(x0 - x + width / 2);
        pointing->updateContainerFrame();
    }
    layOutControls();
}

void OVTextPanel::layOutControls()
{
    OVPointingView* pointing = pointingView();
    if (!pointing)
        return;
    const pf::Rect c = pointing->containerView()->bounds();
    const double fontHeight = m_showsFontList ? fontListHeight : 0.0;
    m_fontContainer->setHidden(!m_showsFontList);
    m_fontContainer->setFrame(pf::Rect(0, 0, c.width(), fontHeight));
    m_fontTable->setGeometry(6, 32, std::max(0, int(c.width()) - 12), std::max(0, int(fontHeight) - 38));
    if (QListWidgetItem* current = m_fontTable->currentItem())
        m_fontTable->scrollToItem(current);
    m_alignmentContainer->setFrame(pf::Rect(6, fontHeight - 28, 96, 24));
    const pf::Rect text(0, fontHeight, c.width(), std::max(0.0, c.height() - fontHeight));
    m_textContainer->setFrame(text);
    const double corner = m_cornerContainer->frame().width();
    m_cornerContainer->setFrame(
        pf::Rect(text.width() - corner - 4, 4, corner, std::max(0.0, text.height() - 8)));
    const pf::Rect cornerBounds = m_cornerContainer->bounds();
    // The well at the top, the list's button at the bottom: both fit the smallest text area.
    m_colorWell->setFrame(pf::Rect(5, cornerBounds.height() - 15, corner - 10, 13));
    m_openButton->setFrame(pf::Rect(5, 2, corner - 10, 13));
    m_inputBox->setFrame(
        pf::Rect(8, 4, std::max(0.0, text.width() - corner - 20), std::max(0.0, text.height() - 8)));
    m_inputField->setGeometry(0, 0, int(m_inputBox->frame().width()), int(m_inputBox->frame().height()));
}

void OVTextPanel::setShowsAlignment(bool shows)
{
    if (shows == m_showsAlignment)
        return;
    m_showsAlignment = shows;
    updateWindowFrame();
    if (m_alignmentContainer)
        m_alignmentContainer->setAlphaValue(shows ? 1.0 : 0.0);
}

void OVTextPanel::setShowsFontList(bool shows)
{
    if (shows == m_showsFontList)
        return;
    // The alignment buttons show exactly with the font list.
    setShowsAlignment(shows);
    m_showsFontList = shows;
    if (shows && m_fontTable && m_fontTable->count() == 0) {
        for (const Sample& sample : samples()) {
            auto* item = new QListWidgetItem(sample.text, m_fontTable);
            item->setFont(sample.font);
        }
        if (!m_fontName.isEmpty()) {
            const QString name = m_fontName;
            m_fontName.clear();
            setFontName(name);
        }
    }
    updateWindowFrame();
    if (m_openButton)
        m_openButton->setName(shows ? QStringLiteral("TextPanelHideFonts")
                                    : QStringLiteral("TextPanelShowFonts"));
}

void OVTextPanel::setIsHidden(bool hidden)
{
    if (hidden == m_isHidden)
        return;
    m_isHidden = hidden;
    if (!m_window)
        return;
    // A hidden panel stays in its window, drawing nothing.
    m_window->contentView()->setHidden(hidden);
    if (!hidden)
        m_window->makeKeyAndOrderFront();
}

QStringList OVTextPanel::availableFonts()
{
    if (!m_fontsPrepared) {
        m_availableFonts = QFontDatabase::families();
        m_fontsPrepared = true;
    }
    return m_availableFonts;
}

void OVTextPanel::setAvailableFonts(const QStringList& names)
{
    m_availableFonts = names;
    m_fontsPrepared = true;
    m_samples.clear();
    m_samplesPrepared = false;
    if (m_fontTable) {
        const QSignalBlocker block(m_fontTable);
        m_fontTable->clear();
        if (m_showsFontList)
            for (const Sample& sample : samples()) {
                auto* item = new QListWidgetItem(sample.text, m_fontTable);
                item->setFont(sample.font);
            }
    }
}

const std::vector<OVTextPanel::Sample>& OVTextPanel::samples()
{
    if (m_samplesPrepared)
        return m_samples;
    m_samplesPrepared = true;
    // A family the font database does not list would draw in a substitute passing itself off as that
    // family.
    const QStringList installed = QFontDatabase::families();
    const QSet<QString> known(installed.begin(), installed.end());
    for (const QString& name : availableFonts()) {
        if (name.isEmpty() || (!known.contains(name) && !QFontDatabase::hasFamily(name))) {
            pf::warning(QStringLiteral("Font with name %1 could not be loaded!").arg(name));
            m_samples.push_back({QStringLiteral("Broken Font"), pf::systemFont(18.0)});
            continue;
        }
        QFont font(name);
        font.setPointSizeF(18.0);
        m_samples.push_back({name, font});
    }
    return m_samples;
}

void OVTextPanel::setFontName(const QString& name)
{
    if (name == m_fontName)
        return;
    m_fontName = name;
    const int row = int(availableFonts().indexOf(name));
    if (!m_fontTable || row < 0 || row >= m_fontTable->count())
        return;
    const QSignalBlocker block(m_fontTable);
    m_fontTable->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    m_fontTable->scrollToItem(m_fontTable->item(row));
}

void OVTextPanel::setAlignment(unsigned alignment)
{
    if (m_allButton.size() == 3 && m_allButton[0] && m_allButton[1] && m_allButton[2]) {
        for (const QPointer<OVButton>& button : m_allButton)
            button->setState(false);
        (alignment == 2 ? m_allButton[1] : alignment == 1 ? m_allButton[2] : m_allButton[0])->setState(true);
    }
    if (m_inputField) {
        QTextOption option = m_inputField->document()->defaultTextOption();
        option.setAlignment(alignment == 2   ? Qt::AlignHCenter
                            : alignment == 1 ? Qt::AlignRight
                                             : Qt::AlignLeft);
        m_inputField->document()->setDefaultTextOption(option);
    }
    m_alignment = alignment;
}

void OVTextPanel::inputChanged()
{
    if (m_updatingFromDelegate)
        return;
    if (OVTextPanelDelegate* owner = delegate()) {
        m_updatingFromDelegate = true;
        owner->setTextPanelString(m_inputField->toPlainText());
        m_updatingFromDelegate = false;
    }
    updateWindowFrame();
}

void OVTextPanel::fontRowChanged(int row)
{
    const QStringList fonts = availableFonts();
    if (row < 0 || row >= fonts.size())
        return;
    m_fontName = fonts[row];
    if (OVTextPanelDelegate* owner = delegate())
        owner->setTextPanelFontName(fonts[row]);
}

void OVTextPanel::selectFont(int index)
{
    const QStringList fonts = availableFonts();
    if (index < 0 || index >= fonts.size())
        return;
    if (m_fontTable && index < m_fontTable->count()) {
        const QSignalBlocker block(m_fontTable);
        m_fontTable->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
    m_fontName = fonts[index];
    if (OVTextPanelDelegate* owner = delegate())
        owner->setTextPanelFontName(fonts[index]);
}

void OVTextPanel::selectAlignment(int index)
{
    if (index >= 0 && index < int(m_allButton.size()))
        updateAlignment(m_allButton[size_t(index)]);
}

void OVTextPanel::updateAlignment(OVButton* button)
{
    const unsigned alignment = button && m_allButton.size() == 3 ? (button == m_allButton[2]   ? 1u
                                                                    : button == m_allButton[1] ? 2u
                                                                                               : 0u)
                                                                 : 0u;
    if (OVTextPanelDelegate* owner = delegate())
        owner->setTextPanelAlignment(alignment);
    setAlignment(alignment);
}

void OVTextPanel::showColorPicker()
{
    if (m_colorWell)
        m_colorWell->activate(true);
}

void OVTextPanel::updateColorFromWell()
{
    if (OVTextPanelDelegate* owner = delegate(); owner && m_colorWell)
        owner->setTextPanelColor(m_colorWell->color());
}

void OVTextPanel::integrateIntoMenu(pf::Menu* menu)
{
    if (!menu)
        return;
    const auto title = [](const char* english) {
        return pf::localized(QString::fromUtf8(english), QStringLiteral("Menu"));
    };
    const auto remember = [this](QAction* item) {
        m_menuItems.emplace_back(item);
        return item;
    };
    const auto validate = [this](QAction* item) { return validateMenuItem(item); };

    QAction* alignmentItem = remember(menu->addItem(title("Alignment")));
    auto* alignmentMenu = new pf::Menu(title("Alignment"), menu);
    const char* alignments[] = {"Left", "Center", "Right"};
    for (int tag = 0; tag < 3; ++tag)
        remember(alignmentMenu->addItem(
            title(alignments[tag]), [this](QAction* item) { selectAlignment(pf::Menu::tag(item)); }, tag));
    alignmentMenu->setValidator(validate);
    alignmentItem->setMenu(alignmentMenu);

    QAction* fontItem = remember(menu->addItem(title("Font")));
    auto* fontMenu = new pf::Menu(title("Font"), menu);
    const QStringList fonts = availableFonts();
    for (int tag = 0; tag < fonts.size(); ++tag)
        remember(fontMenu->addItem(
            fonts[tag], [this](QAction* item) { selectFont(pf::Menu::tag(item)); }, tag));
    fontMenu->setValidator(validate);
    fontItem->setMenu(fontMenu);

    remember(menu->addItem(title("Pick Text Color"), [this](QAction*) { showColorPicker(); }));
    QAction* open =
        remember(menu->addItem(title("Show Text Settings"), [this](QAction*) { openCloseFontList(); }));
    open->setProperty("ovTextPanelOpenClose", true);
    menu->setValidator(validate);
}

bool OVTextPanel::validateMenuItem(QAction* item) const
{
    if (item && item->property("ovTextPanelOpenClose").toBool())
        pf::Menu::setTitle(item, pf::localized(m_showsFontList ? QStringLiteral("Hide Text Settings")
                                                               : QStringLiteral("Show Text Settings"),
                                               QStringLiteral("Menu")));
    const bool ours = std::any_of(m_menuItems.begin(), m_menuItems.end(),
                                  [item](const QPointer<QAction>& mine) { return mine == item; });
    return !ours || isVisible();
}

std::shared_ptr<pf::UndoManager> OVTextPanel::undoManager() const
{
    pf::DocumentController* controller = pf::DocumentController::shared();
    if (!controller || !m_focusWindow)
        return nullptr;
    for (const std::shared_ptr<pf::Document>& document : controller->documents())
        if (document && document->window() == m_focusWindow)
            return document->undoManager();
    return nullptr;
}

bool OVTextPanel::closeForDelegate(const OVTextPanelDelegate* delegate)
{
    if (!delegate || delegate != this->delegate())
        return false;
    close();
    return true;
}

void OVTextPanel::close()
{
    if (m_closing)
        return;
    m_closing = true;
    OVTextPanelDelegate* owner = delegate();
    m_delegate = nullptr;
    m_delegateLifetime.reset();
    if (owner)
        owner->textPanelDidEndEditing(this);
    if (m_window) {
        // The window's observers hear the close and may delete it.
        m_window->close();
        detach();
        if (m_window)
            m_window->hide();
    }
    m_closing = false;
}

void OVTextPanel::windowDidResignKey(pf::Window*)
{
    if (m_closing || m_showing || !m_focusWindow)
        return;
    OVTextPanelDelegate* owner = delegate();
    if (owner && !owner->textPanelShouldAutohide(this))
        return;
    close();
}
