#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"

#include "Classes/Framework/Toolkit/OV3PartImageView.h"
#include "Classes/Framework/Toolkit/OVGridContainerView.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVProgressSpinner.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Classes/Framework/Toolkit/OVViewDelegate.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Window.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {

// The rounded, dark and slightly translucent plate of tooltips and hover windows.
class Plate : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const pf::Rect&) override
    {
        QPainterPath path;
        path.addRoundedRect(bounds().insetBy(0.5, 0.5).toQRectF(), 5, 5);
        painter.fillPath(path, QColor(28, 30, 34, 238));
        painter.setPen(QPen(QColor(255, 255, 255, 46), 1));
        painter.drawPath(path);
    }
};

QLabel* makeLabel(QWidget* parent, double pointSize, const QColor& color)
{
    auto* label = new QLabel(parent);
    label->setFont(pf::systemFont(pointSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

pf::Interface activityPanel(QObject*, const pf::Bundle&)
{
    // 320 x 40, kept at the top of the content when the window resizes.
    auto* root = new pf::View(pf::Rect(0, 0, 320, 40));
    root->setAutoresizingMask(pf::View::MinYMargin | pf::View::MaxXMargin);
    root->setTransparentForMouse(true);
    auto* panel = new OV3PartImageView(root->bounds());
    panel->setAutoresizingMask(pf::View::WidthSizable);
    root->addSubview(panel);
    auto* spinner = new OVProgressSpinner(pf::Rect(16, 12, 16, 16));
    panel->addSubview(spinner);
    QLabel* message = makeLabel(panel, 12, QColor(236, 237, 240));
    message->setGeometry(42, 0, 264, 40);
    message->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return OVToolkitInterfaces::interfaceWithOutlets(
        root, {{"view", root}, {"panel", panel}, {"progressIndicator", spinner}, {"messageTF", message}});
}

pf::Interface toolTip(QObject*, const pf::Bundle&)
{
    // The margins around the label here are the tooltip's margins around its text.
    auto* window = new pf::Window(pf::Rect(0, 0, 116, 26), pf::Window::Borderless);
    window->setOpaque(false);
    window->setHasShadow(false);
    window->setBackgroundColor(Qt::transparent);
    window->setIgnoresMouseEvents(true);
    window->setContentView(new Plate(pf::Rect(0, 0, 116, 26)));
    QLabel* label = makeLabel(window->contentView(), 11, QColor(240, 241, 244));
    label->setTextFormat(Qt::RichText);
    label->setGeometry(8, 5, 100, 16);
    return OVToolkitInterfaces::interfaceWithOutlets(window, {{"window", window}, {"toolTipLabel", label}});
}

pf::Interface hoverWindow(QObject*, const pf::Bundle&)
{
    // Laid out by its controller as it fits the description; these are the starting places.
    auto* window = new pf::Window(pf::Rect(0, 0, 220, 80), pf::Window::Borderless);
    window->setHasShadow(false);
    auto* plate = new Plate(pf::Rect(0, 0, 220, 80));
    window->setContentView(plate);
    auto* picture = new OVImageView(pf::Rect(10, 46, 24, 24));
    picture->setGravity(OVImageView::Top | OVImageView::Left);
    picture->setAutoresizingMask(pf::View::MinYMargin);
    plate->addSubview(picture);
    QLabel* title = makeLabel(plate, 12, QColor(246, 247, 249));
    title->setFont(pf::boldSystemFont(12));
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    title->setGeometry(44, 10, 166, 24);
    QLabel* description = makeLabel(plate, 11, QColor(206, 209, 214));
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description->setGeometry(10, 44, 200, 22);
    return OVToolkitInterfaces::interfaceWithOutlets(window, {{"window", window},
                                                              {"imageView", picture},
                                                              {"trackView", plate},
                                                              {"titleTF", title},
                                                              {"descriptionTF", description}});
}

// The grid: an image view as the root whose clicks go to the controller, a scroll view with a light
// scroller over the container of the items, and two soft shadows over the top and bottom edges that
// the controller fades with the scroll position.
pf::Interface gridView(QObject* owner, const pf::Bundle&)
{
    pf::Interface interface = OVToolkitInterfaces::gridWithoutShadows(owner);
    auto* root = interface.outlet<OVImageView>(QStringLiteral("view"));
    const pf::Rect frame = root->frame();
    auto* top = new OVImageView(pf::Rect(0, frame.height() - 14, frame.width(), 14));
    top->setImageName(QStringLiteral("BentTopShadow"));
    top->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
    auto* bottom = new OVImageView(pf::Rect(0, 0, frame.width(), 14));
    bottom->setImageName(QStringLiteral("BentBottomShadow"));
    bottom->setAutoresizingMask(pf::View::WidthSizable | pf::View::MaxYMargin);
    for (OVImageView* shadow : {top, bottom}) {
        shadow->setTransparentForMouse(true);
        shadow->setAlphaValue(0);
        root->addSubview(shadow);
    }
    interface.outlets.insert(QStringLiteral("topShadow"), top);
    interface.outlets.insert(QStringLiteral("bottomShadow"), bottom);
    return interface;
}

} // namespace

pf::Interface OVToolkitInterfaces::gridWithoutShadows(QObject* owner)
{
    const pf::Rect frame(0, 0, 640, 480);
    auto* root = new OVImageView(frame);
    root->setViewDelegate(dynamic_cast<OVViewDelegate*>(owner));
    auto* scrollView = new pf::ScrollView(frame);
    scrollView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    auto* scroller = new OVScroller(Qt::Vertical);
    scroller->setKnobStyle(OVScroller::KnobStyle::Light);
    scrollView->setVerticalScroller(scroller);
    // The container paints the tiles' shadows, which lie outside the tiles.
    auto* container = new OVGridContainerView(frame);
    scrollView->setDocumentView(container);
    root->addSubview(scrollView);
    return OVToolkitInterfaces::interfaceWithOutlets(
        root, {{"view", root}, {"scrollView", scrollView}, {"container", container}});
}

pf::Interface
OVToolkitInterfaces::interfaceWithOutlets(QObject* top,
                                          std::initializer_list<std::pair<const char*, QObject*>> outlets)
{
    pf::Interface interface;
    for (const auto& [name, object] : outlets)
        interface.outlets.insert(QString::fromLatin1(name), object);
    interface.topLevelObjects = {top};
    return interface;
}

void OVToolkitInterfaces::registerIfMissing(const QString& name, pf::InterfaceRegistry::Builder builder)
{
    if (!pf::InterfaceRegistry::hasInterface(name))
        pf::InterfaceRegistry::registerInterface(name, std::move(builder));
}

void OVToolkitInterfaces::registerInterfaces()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    pf::InterfaceRegistry::registerInterface(QStringLiteral("OVActivityPanel"), activityPanel);
    pf::InterfaceRegistry::registerInterface(QStringLiteral("OVToolTipController"), toolTip);
    pf::InterfaceRegistry::registerInterface(QStringLiteral("OVHoverWindowController"), hoverWindow);
    pf::InterfaceRegistry::registerInterface(QStringLiteral("OVGridViewController"), gridView);
}
