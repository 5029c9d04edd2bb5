#include "Classes/Document/GMAboutBoxController.h"

#include "Classes/Document/OVSystemInfo.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVFrameLessWindow.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/RichText.h"
#include "Platform/UI/Window.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTextDocument>
#include <cmath>
#include <functional>

namespace {

// Where the texts go on the picture's card (window coordinates, y-up). The version is one line under
// the credits, not a second view over them.
const pf::Rect creditsRect(505, 100, 200, 340);
const pf::Rect versionRect(505, 82, 200, 18);
// Room around a text for its turned corners.
constexpr double tiltMargin = 12;

// A text drawn turned about its frame's lower left corner, as a turned view would show it. It takes no
// clicks: dragging anywhere on the picture moves the window.
class TiltedTextView : public pf::View
{
public:
    TiltedTextView(const pf::Rect& textFrame, double degrees)
        : View(textFrame.insetBy(-tiltMargin, -tiltMargin)), m_textFrame(textFrame), m_degrees(degrees)
    {
        m_document.setDocumentMargin(0);
        m_document.setTextWidth(textFrame.width());
        setTransparentForMouse(true);
    }
    QTextDocument& document() { return m_document; }
    const pf::Rect& textFrame() const { return m_textFrame; }

    void drawRect(QPainter& painter, const pf::Rect&) override
    {
        painter.save();
        // The document lays out from the top down.
        painter.translate(0, bounds().height());
        painter.scale(1, -1);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QPointF corner(tiltMargin, tiltMargin + m_textFrame.height());
        painter.translate(corner);
        painter.rotate(-m_degrees); // y-down: positive turns clockwise
        painter.translate(-corner);
        painter.translate(tiltMargin, tiltMargin);
        painter.setClipRect(QRectF(0, 0, m_textFrame.width(), m_textFrame.height()));
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, 0, m_textFrame.width(), m_textFrame.height());
        m_document.documentLayout()->draw(&painter, context);
        painter.restore();
    }

private:
    QTextDocument m_document;
    pf::Rect m_textFrame;
    double m_degrees;
};

// The about window closes with Escape, as a window without a title bar is expected to.
class AboutWindow : public OVFrameLessWindow
{
public:
    AboutWindow(const pf::Rect& contentRect, std::function<void()> close)
        : OVFrameLessWindow(contentRect), m_close(std::move(close))
    {}
    void keyDown(const pf::Event& event) override
    {
        if (event.keyCode() == pf::KeyCode::Escape && m_close)
            m_close();
        else
            OVFrameLessWindow::keyDown(event);
    }

private:
    std::function<void()> m_close;
};

} // namespace

GMAboutBoxController::GMAboutBoxController() = default;

GMAboutBoxController::~GMAboutBoxController()
{
    m_resignKey.reset();
    if (m_aboutBox) {
        m_aboutBox->setDelegate(nullptr);
        delete m_aboutBox.data();
    }
}

pf::Window* GMAboutBoxController::aboutBox()
{
    if (m_aboutBox)
        return m_aboutBox;
    QImage picture = pf::NamedImage::image(QStringLiteral("AboutBackground"));
    if (picture.isNull())
        pf::warning(QStringLiteral("The about window's picture AboutBackground.png is missing"));
    const double ratio = picture.isNull() ? 1.0 : picture.devicePixelRatio();
    const pf::Size size =
        picture.isNull() ? pf::Size(760, 480) : pf::Size(picture.width() / ratio, picture.height() / ratio);

    auto* window = new AboutWindow(pf::Rect(0, 0, size.width, size.height), [this] { closeAboutBox(); });
    auto* background = new OVImageView(pf::Rect(0, 0, size.width, size.height));
    background->setImage(picture);
    background->setDragsWindow(true);
    window->setContentView(background);

    auto* credits = new TiltedTextView(creditsRect, textRotation);
    const QString path = pf::Bundle::main().pathForResource(QStringLiteral("Credits"), QStringLiteral("rtf"));
    QString error;
    if (path.isEmpty() || !pf::RichText::readFile(path, &credits->document(), &error))
        pf::warning(QStringLiteral("The credits could not be read: %1")
                        .arg(path.isEmpty() ? QStringLiteral("Credits.rtf is missing") : error));
    credits->document().setTextWidth(creditsRect.width());
    background->addSubview(credits);

    auto* version = new TiltedTextView(versionRect, textRotation);
    QFont font = pf::systemFont(10);
    version->document().setDefaultFont(font);
    version->document().setDefaultStyleSheet(QStringLiteral("body { color: #6b6254; }"));
    version->document().setHtml(
        QStringLiteral("<body>%1</body>")
            .arg(
                pf::localized(QStringLiteral("Version %1")).arg(OVSystemInfo::appVersion()).toHtmlEscaped()));
    background->addSubview(version);

    // A close button in the upper right corner, on the backdrop beside the card.
    auto* close = new OVButton(pf::Rect(size.width - 26, size.height - 24, 16, 16));
    close->setName(QStringLiteral("Remove"));
    close->setToolTip(pf::localized(QStringLiteral("Close")));
    close->setAction([this](OVButton*) { closeAboutBox(); });
    background->addSubview(close);
    m_closeButton = close;

    m_aboutBox = window;
    m_credits = credits;
    m_version = version;
    m_resignKey = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::didResignKeyNotification, window,
        [this](const pf::Notification&) { windowDidResignKey(); });
    return window;
}

void GMAboutBoxController::showAboutBox()
{
    pf::Window* window = aboutBox();
    window->makeKeyAndOrderFront();
    if (QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

void GMAboutBoxController::windowDidResignKey()
{
    closeAboutBox();
}

void GMAboutBoxController::closeAboutBox()
{
    if (m_aboutBox)
        m_aboutBox->orderOut();
}

OVButton* GMAboutBoxController::closeButton() const
{
    return m_closeButton;
}

QTextDocument* GMAboutBoxController::credits() const
{
    return m_credits ? &static_cast<TiltedTextView*>(m_credits.data())->document() : nullptr;
}

QTextDocument* GMAboutBoxController::version() const
{
    return m_version ? &static_cast<TiltedTextView*>(m_version.data())->document() : nullptr;
}

pf::Rect GMAboutBoxController::creditsFrame() const
{
    return creditsRect;
}

pf::Rect GMAboutBoxController::versionFrame() const
{
    return versionRect;
}
