#include "Classes/Document/OVNoteController.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Window.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextEdit>
#include <cmath>

namespace {

// The window's transparent rims (its shadow's room) and the card's paddings, in points. Their sums are
// the fixed parts of the note's width and height: width = cancel + 32 + 8 + other + 8 + approve + 39;
// height = buttons + 53 + 28 + text + title + 77 + 8 (the paddings in the card add up to 130).
constexpr double topRim = 8, bottomRim = 28, sideRim = 16;
constexpr double titleTop = 24, titleToText = 14, textToButtons = 44, buttonsToBottom = 48;
constexpr double textLeft = 49, textRight = 32;
constexpr double buttonsLeft = 32, buttonGap = 8, buttonsRight = 39;
constexpr double minimumWidth = 350, minimumTextHeight = 50, maximumTextHeight = 300;
// The note's anchor stands this far right of the parent's point at the stored fraction.
constexpr double anchorOffset = 66;

// The card: rounded, dark, a faint rim.
class NotePlate : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const pf::Rect&) override
    {
        const pf::Rect card(sideRim, bottomRim, bounds().width() - 2 * sideRim,
                            bounds().height() - topRim - bottomRim);
        QPainterPath path;
        path.addRoundedRect(card.insetBy(0.5, 0.5).toQRectF(), 7, 7);
        painter.setRenderHint(QPainter::Antialiasing);
        for (int k = 6; k >= 1; --k) {
            // A soft shadow falling a little downwards.
            QPainterPath shade;
            shade.addRoundedRect(card.offsetBy(0, -3).insetBy(-k, -k).toQRectF(), 7 + k, 7 + k);
            painter.fillPath(shade, QColor(0, 0, 0, 10));
        }
        painter.fillPath(path, QColor(38, 40, 45, 250));
        painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
        painter.drawPath(path);
    }
};

pf::Interface noteInterface(QObject*, const pf::Bundle&)
{
    auto* window = new pf::Window(pf::Rect(0, 0, minimumWidth, 260), pf::Window::Borderless);
    window->setHasShadow(false);
    auto* plate = new NotePlate(pf::Rect(0, 0, minimumWidth, 260));
    window->setContentView(plate);

    auto* title = new QLabel(plate);
    title->setFont(pf::boldSystemFont(13));
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, QColor(240, 241, 244));
    title->setPalette(palette);

    auto* text = new QTextEdit(plate);
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->viewport()->setAutoFillBackground(false);
    text->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; color: #d9dadd; }"));
    text->document()->setDocumentMargin(0);

    const auto button = [plate](const QString& skin) {
        auto* b = new OVButton(pf::Rect(0, 0, 90, 24));
        b->setName(skin);
        plate->addSubview(b);
        return b;
    };
    OVButton* cancel = button(QStringLiteral("DefaultStyle"));
    OVButton* other = button(QStringLiteral("DefaultStyle"));
    OVButton* approve = button(QStringLiteral("DefaultStyleActive"));
    auto* close = new OVButton(pf::Rect(0, 0, 16, 16));
    close->setName(QStringLiteral("Remove"));
    plate->addSubview(close);

    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("window"), window);
    interface.outlets.insert(QStringLiteral("titleTF"), title);
    interface.outlets.insert(QStringLiteral("textView"), text);
    interface.outlets.insert(QStringLiteral("closeButton"), close);
    interface.outlets.insert(QStringLiteral("cancelButton"), cancel);
    interface.outlets.insert(QStringLiteral("otherButton"), other);
    interface.outlets.insert(QStringLiteral("approveButton"), approve);
    interface.topLevelObjects = {window};
    return interface;
}

pf::Size buttonSize(const OVButton* button)
{
    if (!button || button->isHidden())
        return pf::Size(0, 0);
    const pf::Size size = button->intrinsicContentSize();
    return pf::Size(std::ceil(std::max(size.width, 60.0)), std::ceil(std::max(size.height, 22.0)));
}

} // namespace

void OVNoteController::registerInterface()
{
    if (!pf::InterfaceRegistry::hasInterface(QStringLiteral("OVNoteController")))
        pf::InterfaceRegistry::registerInterface(QStringLiteral("OVNoteController"), noteInterface);
}

OVNoteController::OVNoteController()
{
    registerInterface();
}

OVNoteController::~OVNoteController()
{
    m_parentResized.reset();
    m_parentClosing.reset();
}

void OVNoteController::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    pf::Window* window = loadedWindow();
    window->setBackgroundColor(Qt::transparent);
    window->setOpaque(false);
    m_titleTF = outlet<QLabel>(QStringLiteral("titleTF"));
    m_textView = outlet<QTextEdit>(QStringLiteral("textView"));
    m_closeButton = outlet<OVButton>(QStringLiteral("closeButton"));
    m_cancelButton = outlet<OVButton>(QStringLiteral("cancelButton"));
    m_otherButton = outlet<OVButton>(QStringLiteral("otherButton"));
    m_approveButton = outlet<OVButton>(QStringLiteral("approveButton"));
    for (OVButton* button :
         {m_closeButton.data(), m_cancelButton.data(), m_otherButton.data(), m_approveButton.data()})
        if (button)
            button->setAction([this](OVButton* sender) { buttonPressed(sender); });
}

void OVNoteController::setText(const QTextDocument& text)
{
    if (!window() || !m_textView)
        return;
    QTextDocument* document = text.clone(m_textView);
    document->setDocumentMargin(0);
    m_textView->setDocument(document);
}

double OVNoteController::textHeightForWidth(double width) const
{
    if (!m_textView)
        return 0;
    std::unique_ptr<QTextDocument> measured(m_textView->document()->clone());
    measured->setDocumentMargin(0);
    measured->setTextWidth(std::max(1.0, width));
    return std::ceil(measured->documentLayout()->documentSize().height());
}

void OVNoteController::adjustWindowSize()
{
    pf::Window* note = window();
    if (!note)
        return;
    const pf::Size cancel = buttonSize(m_cancelButton), other = buttonSize(m_otherButton),
                   approve = buttonSize(m_approveButton);
    const double width = std::max(minimumWidth, cancel.width + buttonsLeft + buttonGap + other.width +
                                                    buttonGap + approve.width + buttonsRight);
    const double textHeight = std::clamp(textHeightForWidth(width - textLeft - textRight) + 5,
                                         minimumTextHeight, maximumTextHeight);
    const double titleHeight = m_titleTF ? std::ceil(m_titleTF->sizeHint().height()) : 0;
    const double height = approve.height + buttonsToBottom + bottomRim + textHeight + titleHeight + titleTop +
                          titleToText + textToButtons + topRim;
    const pf::Rect frame = note->frame();
    note->setFrame(pf::Rect(frame.origin.x, frame.origin.y, width, height));
    if (note->contentView())
        note->contentView()->setFrame(pf::Rect(0, 0, width, height));
    layOut();
}

void OVNoteController::layOut()
{
    pf::Window* note = loadedWindow();
    if (!note || !note->contentView())
        return;
    const double width = note->contentView()->bounds().width();
    const double height = note->contentView()->bounds().height();
    const double titleHeight = m_titleTF ? std::ceil(m_titleTF->sizeHint().height()) : 0;
    // Widgets are placed from the top (y-down), pf views from the bottom (y-up).
    double top = topRim + titleTop;
    if (m_titleTF)
        m_titleTF->setGeometry(int(textLeft), int(top), int(width - textLeft - textRight), int(titleHeight));
    top += titleHeight + titleToText;
    const pf::Size approve = buttonSize(m_approveButton);
    const double buttonsY = bottomRim + buttonsToBottom; // the buttons' bottom edge, y-up
    const double textBottom = buttonsY + approve.height + textToButtons;
    if (m_textView)
        m_textView->setGeometry(int(textLeft), int(top), int(width - textLeft - textRight),
                                int(std::max(0.0, height - top - textBottom)));
    double x = buttonsLeft;
    for (OVButton* button : {m_cancelButton.data(), m_otherButton.data()}) {
        if (!button || button->isHidden())
            continue;
        const pf::Size size = buttonSize(button);
        button->setFrame(pf::Rect(x, buttonsY, size.width, size.height));
        x += size.width + buttonGap;
    }
    if (m_approveButton)
        m_approveButton->setFrame(
            pf::Rect(width - buttonsRight - approve.width, buttonsY, approve.width, approve.height));
    if (m_closeButton)
        m_closeButton->setFrame(pf::Rect(width - sideRim - 22, height - topRim - 22, 16, 16));
}

void OVNoteController::attachToWindow(pf::Window* parent, double location)
{
    pf::Window* note = loadedWindow();
    if (!note || !parent)
        return;
    detach();
    m_parent = parent;
    m_locationFix = location;
    pf::NotificationCenter& center = pf::NotificationCenter::defaultCenter();
    m_parentResized =
        center.addObserver(pf::Window::didResizeNotification, parent, [this](const pf::Notification&) {
            if (m_parent)
                positionOnWindow(m_parent);
        });
    m_parentClosing =
        center.addObserver(pf::Window::willCloseNotification, parent, [this](const pf::Notification&) {
            // The parent closes: the note goes with it.
            if (pf::Window* window = loadedWindow())
                window->orderOut();
            detach();
            if (pf::Window* window = loadedWindow())
                window->close();
        });
    parent->addChildWindow(note);
    positionOnWindow(parent);
    note->makeKeyAndOrderFront();
}

void OVNoteController::positionOnWindow(pf::Window* parent)
{
    pf::Window* note = loadedWindow();
    if (!note || !parent)
        return;
    const pf::Rect p = parent->frame();
    const pf::Rect n = note->frame();
    // An overlay lives inside its parent: its top meets the parent's content top (under a menu bar) and
    // it keeps within the parent's sides.
    const double contentTop = p.origin.y + parent->contentHeight();
    double x = p.origin.x + m_locationFix * p.size.width - n.size.width + anchorOffset;
    x = std::max(p.origin.x, std::min(x, p.origin.x + p.size.width - n.size.width));
    note->setFrame(pf::Rect(x, contentTop - n.size.height, n.size.width, n.size.height));
}

void OVNoteController::detach()
{
    m_parentResized.reset();
    m_parentClosing.reset();
    if (m_parent && loadedWindow())
        m_parent->removeChildWindow(loadedWindow());
    m_parent = nullptr;
}

void OVNoteController::buttonPressed(OVButton* button)
{
    if (m_delegate)
        m_delegate->noteWasClosedByButton(this, button);
    // Hidden first, so that it does not show on its own for a moment once detached.
    QPointer<pf::Window> parent = m_parent;
    pf::Window* note = loadedWindow();
    const bool wasKey = note && note->isKeyWindow();
    if (note)
        note->orderOut();
    detach();
    if (pf::Window* closing = loadedWindow())
        closing->close();
    // The keyboard goes back to the window the note lay on.
    if (wasKey && parent && parent->isVisible() && !pf::Window::keyWindow())
        parent->makeKeyWindow();
}
