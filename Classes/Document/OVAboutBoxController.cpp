#include "Classes/Document/OVAboutBoxController.h"

#include "Classes/Document/GMLinks.h"
#include "Classes/Document/OVSystemInfo.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVFadeoutMaskLayer.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/RichText.h"
#include "Platform/UI/Window.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QTextCursor>
#include <memory>

namespace {

// The fade at the text's top and bottom edges, in points.
constexpr double fadeout = 30;
// The version's prefix before the number (none).
const QString versionPrefix;

std::unique_ptr<OVAboutBoxController>& shared()
{
    static std::unique_ptr<OVAboutBoxController> instance;
    return instance;
}

class AboutPlate : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const pf::Rect&) override
    {
        QPainterPath path;
        path.addRoundedRect(bounds().insetBy(0.5, 0.5).toQRectF(), 10, 10);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, bounds().height(), 0, 0);
        fill.setColorAt(0, QColor(46, 49, 55));
        fill.setColorAt(1, QColor(30, 32, 36));
        painter.fillPath(path, fill);
        painter.setPen(QPen(QColor(255, 255, 255, 36), 1));
        painter.drawPath(path);
    }
};

QLabel* label(QWidget* parent, const QFont& font, const QColor& color)
{
    auto* l = new QLabel(parent);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return l;
}

pf::Interface aboutInterface(QObject*, const pf::Bundle&)
{
    auto* window = new pf::Window(pf::Rect(0, 0, 420, 400), pf::Window::Titled | pf::Window::Closable);
    window->setTitle(QStringLiteral("About"));
    auto* plate = new AboutPlate(pf::Rect(0, 0, 420, 400));
    window->setContentView(plate);
    QLabel* name = label(plate, pf::systemFont(22), QColor(242, 242, 244));
    name->setObjectName(QStringLiteral("appName"));
    name->setGeometry(20, 22, 380, 32);
    auto* text = new QTextEdit(plate);
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The fading edges say there is more; the wheel scrolls.
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    text->viewport()->setAutoFillBackground(false);
    text->setGeometry(34, 70, 352, 220);
    QLabel* version = label(plate, pf::systemFont(11), QColor(150, 156, 166));
    version->setGeometry(20, 300, 380, 18);
    const auto linkButton = [plate](const QString& title, double x) {
        auto* button = new OVButton(pf::Rect(x, 24, 150, 24));
        button->setName(QStringLiteral("DefaultStyle"));
        button->setTitle(title);
        plate->addSubview(button);
        return button;
    };
    OVButton* home = linkButton(QStringLiteral("Home Page"), 50);
    OVButton* product = linkButton(QStringLiteral("Product Page"), 220);
    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("window"), window);
    interface.outlets.insert(QStringLiteral("textView"), text);
    interface.outlets.insert(QStringLiteral("versionTF"), version);
    interface.outlets.insert(QStringLiteral("appNameTF"), name);
    interface.outlets.insert(QStringLiteral("homePageButton"), home);
    interface.outlets.insert(QStringLiteral("appPageButton"), product);
    interface.topLevelObjects = {window};
    return interface;
}

// The fade-out as an opacity mask: the layer's ramp drawn into a picture of the text's size.
QBrush fadeoutMask(const QSize& size)
{
    auto layer = OVFadeoutMaskLayer::create();
    layer->setFrame(pf::Rect(0, 0, size.width(), size.height()));
    layer->setTopFadeout(fadeout);
    layer->setBottomFadeout(fadeout);
    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    layer->drawInContext(painter);
    painter.end();
    return QBrush(mask);
}

} // namespace

void OVAboutBoxController::registerInterface()
{
    if (!pf::InterfaceRegistry::hasInterface(QStringLiteral("OVAboutBoxController")))
        pf::InterfaceRegistry::registerInterface(QStringLiteral("OVAboutBoxController"), aboutInterface);
}

OVAboutBoxController::OVAboutBoxController()
{
    registerInterface();
}

OVAboutBoxController::~OVAboutBoxController() = default;

OVAboutBoxController* OVAboutBoxController::sharedAboutBox()
{
    if (!shared())
        shared() = std::make_unique<OVAboutBoxController>();
    return shared().get();
}

void OVAboutBoxController::releaseShared()
{
    shared().reset();
}

OVButton* OVAboutBoxController::homePageButton() const
{
    return isWindowLoaded() ? outlet<OVButton>(QStringLiteral("homePageButton")) : nullptr;
}

OVButton* OVAboutBoxController::appPageButton() const
{
    return isWindowLoaded() ? outlet<OVButton>(QStringLiteral("appPageButton")) : nullptr;
}

QString OVAboutBoxController::appName() const
{
    return m_appName.isEmpty() ? OVSystemInfo::appName() : m_appName;
}

QString OVAboutBoxController::appLink() const
{
    return m_appLink.isEmpty() ? GMLinks::address(QStringLiteral("ProductPage")) : m_appLink;
}

bool OVAboutBoxController::openORVWebsite()
{
    return GMLinks::open(QStringLiteral("HomePage"));
}

bool OVAboutBoxController::openAppWebsite()
{
    const QString link = appLink();
    return !link.isEmpty() && GMLinks::openURL(QUrl(link));
}

void OVAboutBoxController::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    pf::Window* window = loadedWindow();
    window->setBackgroundColor(Qt::transparent);
    window->setOpaque(false);
    m_textView = outlet<QTextEdit>(QStringLiteral("textView"));
    m_versionTF = outlet<QLabel>(QStringLiteral("versionTF"));
    if (QLabel* name = outlet<QLabel>(QStringLiteral("appNameTF")))
        name->setText(appName());
    if (m_textView) {
        auto* effect = new QGraphicsOpacityEffect(m_textView);
        effect->setOpacityMask(fadeoutMask(m_textView->size()));
        m_textView->setGraphicsEffect(effect);
        const QString path =
            pf::Bundle::main().pathForResource(QStringLiteral("AboutBoxText"), QStringLiteral("rtf"));
        QString error;
        if (path.isEmpty() || !pf::RichText::readFile(path, m_textView->document(), &error))
            pf::warning(QStringLiteral("The about text could not be read: %1")
                            .arg(path.isEmpty() ? QStringLiteral("AboutBoxText.rtf is missing") : error));
        m_textView->moveCursor(QTextCursor::Start);
    }
    if (m_versionTF)
        m_versionTF->setText(versionPrefix + OVSystemInfo::appVersion());
    if (OVButton* home = homePageButton()) {
        home->setHidden(!GMLinks::hasAddress(QStringLiteral("HomePage")));
        home->setAction([this](OVButton*) { openORVWebsite(); });
    }
    if (OVButton* product = appPageButton()) {
        product->setHidden(appLink().isEmpty());
        product->setAction([this](OVButton*) { openAppWebsite(); });
    }
}

void OVAboutBoxController::windowDidClose()
{
    OVWindowController::windowDidClose();
    // Built again for the next showing.
    setWindow(nullptr);
    m_textView = nullptr;
    m_versionTF = nullptr;
}
