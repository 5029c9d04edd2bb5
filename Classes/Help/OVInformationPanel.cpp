#include "Classes/Help/OVInformationPanel.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Help/OVHelpActions.h"
#include "Classes/Help/OVMovieController.h"
#include "Classes/Help/OVRichTextView.h"
#include "Classes/Help/OVSubtitle.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

const QString OVInformationPanel::infoDoneNotification = QStringLiteral("InfoDone");
const QString OVInformationPanel::dontShowAgainKey = QStringLiteral("DontShowAgain");

namespace {

constexpr double kContentWidth = 480, kContentHeight = 300;
constexpr double kMargin = 20, kHeadHeight = 56, kFootHeight = 48;

struct ProcessState
{
    std::unique_ptr<pf::Bundle> bundle;
    std::optional<QVariantMap> strings;
    QStringList shownTitles;
    std::vector<std::unique_ptr<OVInformationPanel>> openPanels;
};

ProcessState& state()
{
    static ProcessState s;
    return s;
}

std::unique_ptr<pf::Bundle> makeBundle(const QString& folder, const QString& language)
{
    QStringList built;
    for (const QString& root : pf::Bundle::main().resourcePaths().mid(1))
        built.append(QDir(root).filePath(QStringLiteral("Informations")));
    return std::make_unique<pf::Bundle>(folder, built, pf::Bundle::localizationFolders(language));
}

pf::Interface buildPanelInterface(QObject*, const pf::Bundle&)
{
    const double width = kContentWidth + 2 * kMargin;
    const double height = kContentHeight + kHeadHeight + kFootHeight;
    auto* window =
        new pf::Window(pf::Rect(200, 200, width, height), pf::Window::Titled | pf::Window::Resizable);
    pf::View* content = window->contentView();

    auto* head = new pf::View(pf::Rect(0, height - kHeadHeight, width, kHeadHeight));
    head->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
    content->addSubview(head);
    auto* title = new pf::TextField(pf::Rect(kMargin, 26, kContentWidth, 22));
    title->setFont(pf::boldSystemFont(15));
    auto* subtitle = new pf::TextField(pf::Rect(kMargin, 6, kContentWidth, 18));
    subtitle->setFont(pf::systemFont(12));
    for (pf::TextField* field : {title, subtitle}) {
        field->setEditable(false);
        field->setDrawsBackground(false);
        field->setAutoresizingMask(pf::View::WidthSizable);
        head->addSubview(field);
    }

    // The layout sizes the container and fits the window around it: it must not stretch with the window.
    auto* container = new pf::View(pf::Rect(kMargin, kFootHeight, kContentWidth, kContentHeight));
    container->setAutoresizingMask(pf::View::NotSizable);
    content->addSubview(container);

    auto* foot = new pf::View(pf::Rect(0, 0, width, kFootHeight));
    foot->setAutoresizingMask(pf::View::WidthSizable | pf::View::MaxYMargin);
    content->addSubview(foot);
    auto* checkbox = new QCheckBox(QStringLiteral("Don't show again"), foot);
    checkbox->setGeometry(int(kMargin), 12, 220, 24);
    auto* ok = new QPushButton(QStringLiteral("OK"), foot);
    ok->setGeometry(int(width - kMargin - 90), 10, 90, 28);
    ok->setDefault(true);

    // The elements join and leave the container; they keep their distance to its top.
    const unsigned keepTop = pf::View::MinYMargin;
    auto* text = new OVRichTextView(pf::Rect(0, 0, kContentWidth, 100));
    text->setAutoresizingMask(keepTop | pf::View::HeightSizable);
    auto* image = new OVImageView(pf::Rect(0, 0, 100, 100));
    image->setAutoresizingMask(keepTop);
    auto* action = new pf::View(pf::Rect(0, 0, kContentWidth, 40));
    action->setAutoresizingMask(keepTop);
    auto* actionButton = new OVButton(pf::Rect(0, 6, 160, 28));
    actionButton->setName(QStringLiteral("DefaultStyle"));
    action->addSubview(actionButton);
    auto* description = new pf::TextField(pf::Rect(172, 6, kContentWidth - 172, 28));
    description->setEditable(false);
    description->setDrawsBackground(false);
    description->setAutoresizingMask(pf::View::WidthSizable);
    action->addSubview(description);

    pf::Interface interface;
    const std::pair<const char*, QObject*> outlets[] = {
        {"window", window},
        {"container", container},
        {"title", title},
        {"subtitle", subtitle},
        {"textView", text},
        {"imageView", image},
        {"actionView", action},
        {"actionButton", actionButton},
        {"actionDescriptionTF", description},
        {"dontShowCheckbox", checkbox},
        {"okButton", ok},
    };
    for (const auto& [name, object] : outlets)
        interface.outlets.insert(QString::fromLatin1(name), object);
    interface.topLevelObjects = {window, text, image, action};
    return interface;
}

} // namespace

OVInformationPanel::OVInformationPanel(const QString& title) : m_tag(title)
{
    const QString name = QStringLiteral("OVInformationPanel");
    if (!pf::InterfaceRegistry::hasInterface(name))
        pf::InterfaceRegistry::registerInterface(name, buildPanelInterface);
    if (!window())
        return; // without its interface the panel stays empty
    loadContent();
}

OVInformationPanel::~OVInformationPanel()
{
    if (m_layoutTimer)
        m_layoutTimer->invalidate();
    if (m_movieController)
        m_movieController->setMovie(nullptr);
    // Views that are out of the container belong to nobody but the interface's objects, released by the base.
}

const pf::Bundle& OVInformationPanel::informationBundle()
{
    auto& bundle = state().bundle;
    if (!bundle)
        bundle = makeBundle(QDir(pf::Bundle::main().resourcePath()).filePath(QStringLiteral("Informations")),
                            pf::Localization::currentLanguage());
    return *bundle;
}

QString OVInformationPanel::localizedString(const QString& key)
{
    auto& strings = state().strings;
    if (!strings) {
        strings = QVariantMap();
        const QString path =
            informationBundle().pathForResource(QStringLiteral("Localizable"), QStringLiteral("plist"));
        if (!path.isEmpty())
            strings =
                pf::FileRead::dictionary(path, QStringLiteral("The help texts \"%1\" cannot be read: %2"),
                                         QStringLiteral("not a dictionary"))
                    .value_or(QVariantMap());
    }
    const QVariant text = strings->value(key);
    return text.metaType().id() == QMetaType::QString ? text.toString() : key;
}

void OVInformationPanel::setInformationFolderForTesting(const QString& folder, const QString& language)
{
    state().bundle.reset();
    state().strings.reset();
    if (!folder.isEmpty())
        state().bundle = std::make_unique<pf::Bundle>(
            folder, QStringList(),
            pf::Bundle::localizationFolders(language.isEmpty() ? QStringLiteral("en") : language));
}

QList<OVInformationPanel*> OVInformationPanel::openPanels()
{
    QList<OVInformationPanel*> panels;
    for (const auto& panel : state().openPanels)
        panels.append(panel.get());
    return panels;
}

void OVInformationPanel::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    pf::View* box = container();
    pf::Window* panelWindow = loadedWindow();
    if (!box || !panelWindow)
        return;
    const pf::Size windowSize = panelWindow->contentView()->bounds().size;
    m_diff =
        pf::Size(windowSize.width - box->frame().size.width, windowSize.height - box->frame().size.height);
}

pf::View* OVInformationPanel::container() const
{
    return outlet<pf::View>(QStringLiteral("container"));
}
OVRichTextView* OVInformationPanel::textView() const
{
    return outlet<OVRichTextView>(QStringLiteral("textView"));
}
OVImageView* OVInformationPanel::imageView() const
{
    return outlet<OVImageView>(QStringLiteral("imageView"));
}
pf::View* OVInformationPanel::actionView() const
{
    return outlet<pf::View>(QStringLiteral("actionView"));
}
OVButton* OVInformationPanel::actionButton() const
{
    return outlet<OVButton>(QStringLiteral("actionButton"));
}
pf::TextField* OVInformationPanel::actionDescriptionField() const
{
    return outlet<pf::TextField>(QStringLiteral("actionDescriptionTF"));
}
QCheckBox* OVInformationPanel::dontShowCheckbox() const
{
    return outlet<QCheckBox>(QStringLiteral("dontShowCheckbox"));
}
QPushButton* OVInformationPanel::okButton() const
{
    return outlet<QPushButton>(QStringLiteral("okButton"));
}
pf::TextField* OVInformationPanel::titleField() const
{
    return outlet<pf::TextField>(QStringLiteral("title"));
}
pf::TextField* OVInformationPanel::subtitleField() const
{
    return outlet<pf::TextField>(QStringLiteral("subtitle"));
}

void OVInformationPanel::loadContent()
{
    m_maxSize = pf::Size(1280 - m_diff.width, 680 - m_diff.height);
    if (auto* field = titleField())
        field->setStringValue(localizedString(m_tag));
    if (auto* field = subtitleField())
        field->setStringValue(localizedString(m_tag + QStringLiteral("Sub")));
    if (QPushButton* ok = okButton())
        connect(ok, &QPushButton::clicked, this, &OVInformationPanel::closeSheet);

    const pf::Bundle& bundle = informationBundle();
    const QString moviePath = bundle.pathForResource(m_tag, QStringLiteral("mov"));
    if (!moviePath.isEmpty()) {
        QString error;
        if (auto movie = pf::Movie::open(moviePath, &error)) {
            setMovie(std::move(movie));
            const QString subtitlePath = bundle.pathForResource(m_tag, QStringLiteral("srt"));
            if (!subtitlePath.isEmpty() && m_movieController) {
                if (auto cues = OVSubtitle::subtitlesFromFileAtURL(subtitlePath)) {
                    m_movieController->setSubtitles(*cues);
                    // English cues repeat what the movie shows in English: they start hidden.
                    m_movieController->setShowSubtitle(!subtitlePath.contains(QStringLiteral("en.lproj")));
                }
            }
        } else {
            pf::warning(QStringLiteral("Help movie \"%1\" cannot be played: %2").arg(moviePath, error));
        }
    }
    for (const QString& type : {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("tiff")}) {
        const QString imagePath = bundle.pathForResource(m_tag, type);
        if (!imagePath.isEmpty()) {
            setImage(QImage(imagePath));
            break;
        }
    }
    const QString rtf = bundle.pathForResource(m_tag, QStringLiteral("rtf"));
    if (!rtf.isEmpty())
        setTextURL(rtf);
    const QString rtfd = bundle.pathForResource(m_tag, QStringLiteral("rtfd"));
    if (!rtfd.isEmpty())
        setTextURL(rtfd);
    const QString actionPath = bundle.pathForResource(m_tag, QStringLiteral("ActionButton"));
    if (!actionPath.isEmpty())
        if (const auto action =
                pf::FileRead::dictionary(actionPath, QStringLiteral("Help action \"%1\" cannot be read: %2"),
                                         QStringLiteral("not a dictionary")))
            setActionDescription(*action);
    updateLayoutInstantly(true);
}

void OVInformationPanel::setInContainer(pf::View* view, bool present)
{
    pf::View* box = container();
    if (!view || !box)
        return;
    if (present && view->superview() != box)
        box->addSubview(view);
    else if (!present && view->superview() == box)
        view->removeFromSuperview();
}

void OVInformationPanel::setMovie(std::unique_ptr<pf::Movie> movie)
{
    if (movie) {
        if (!m_movieController) {
            m_movieController = std::make_unique<OVMovieController>();
            if (pf::View* movieView = m_movieController->view())
                movieView->setAutoresizingMask(pf::View::MinYMargin);
        }
        setInContainer(m_movieController->view(), true);
    } else if (m_movieController) {
        setInContainer(m_movieController->view(), false);
    }
    if (m_movieController)
        m_movieController->setMovie(movie.get());
    m_movie = std::move(movie);
    updateLayoutInstantly(false);
}

void OVInformationPanel::setImage(const QImage& image)
{
    m_image = image;
    if (OVImageView* view = imageView()) {
        view->setImage(image);
        setInContainer(view, !image.isNull());
    }
    updateLayoutInstantly(false);
}

void OVInformationPanel::setTextURL(const QString& path)
{
    m_textPath = path;
    if (OVRichTextView* view = textView()) {
        if (!path.isEmpty())
            view->readFile(path);
        setInContainer(view, !path.isEmpty());
    }
    updateLayoutInstantly(false);
}

void OVInformationPanel::setActionDescription(const QVariantMap& description)
{
    m_actionDescription = description;
    pf::View* view = actionView();
    if (description.isEmpty()) {
        setInContainer(view, false);
        return;
    }
    if (OVButton* button = actionButton()) {
        if (description.contains(QStringLiteral("style")))
            button->setName(description.value(QStringLiteral("style")).toString());
        if (description.contains(QStringLiteral("textStyle")))
            button->setTextShadowName(description.value(QStringLiteral("textStyle")).toString());
        if (description.contains(QStringLiteral("title")))
            button->setTitle(description.value(QStringLiteral("title")).toString());
        if (description.contains(QStringLiteral("tip")))
            button->setToolTip(description.value(QStringLiteral("tip")).toString());
        if (description.contains(QStringLiteral("description")))
            if (pf::TextField* field = actionDescriptionField())
                field->setStringValue(description.value(QStringLiteral("description")).toString());
        if (description.contains(QStringLiteral("action"))) {
            // Only names the registry knows are sent; any other is refused here, not called by its spelling.
            const QString name = description.value(QStringLiteral("action")).toString();
            if (OVHelpActions::action(name)) {
                button->setAction([name](OVButton*) {
                    if (auto action = OVHelpActions::action(name))
                        action();
                });
                button->setEnabled(true);
            } else {
                pf::warning(
                    QStringLiteral("Help topic \"%1\" names the unknown action \"%2\"").arg(m_tag, name));
                button->setAction(nullptr);
                button->setEnabled(false);
            }
        }
    }
    setInContainer(view, true);
}

void OVInformationPanel::updateLayoutInstantly(bool now)
{
    if (now) {
        updateLayoutTimed();
        return;
    }
    if (m_layoutTimer && m_layoutTimer->isValid())
        return;
    m_layoutTimer = pf::Timer::scheduled(
        0, false, [this](pf::Timer&) { updateLayoutTimed(); }, this);
}

void OVInformationPanel::updateLayoutTimed()
{
    if (m_layoutTimer)
        m_layoutTimer->invalidate();
    m_layoutTimer.reset();
    pf::View* box = container();
    if (!box)
        return;
    ++m_layoutCount;
    const double maxWidth = std::max(1.0, m_maxSize.width);
    double width = kContentWidth, height = 0;
    bool hasVisual = false;

    const pf::Size natural = m_movie ? m_movie->naturalSize() : pf::Size();
    pf::View* movieView = m_movieController && m_movie ? m_movieController->view() : nullptr;
    // A movie of no width has no picture to give room to.
    if (movieView && natural.width > 0 && natural.height > 0) {
        width = std::min(maxWidth, std::max(natural.width, kContentWidth));
        const double w = std::min(width, natural.width);
        const double h = w / natural.width * natural.height;
        height = kSpacing + h;
        box->setFrameSize(pf::Size(width, height));
        movieView->setFrame(pf::Rect(0, kSpacing, w, h));
        hasVisual = true;
    } else if (movieView) {
        movieView->setFrame(pf::Rect(0, 0, 0, 0));
    }
    if (!m_image.isNull() && m_image.width() > 0 && m_image.height() > 0) {
        const double iw = m_image.width() / m_image.devicePixelRatio();
        const double ih = m_image.height() / m_image.devicePixelRatio();
        width = std::min(maxWidth, std::max(iw, width));
        const double w = std::min(width, iw);
        const double h = w / iw * ih;
        height += kSpacing + h;
        box->setFrameSize(pf::Size(width, height));
        if (OVImageView* view = imageView())
            view->setFrame(pf::Rect(0, kSpacing, w, h));
        hasVisual = true;
    }
    if (!m_actionDescription.isEmpty()) {
        if (pf::View* view = actionView()) {
            const double a = view->frame().size.height;
            height += kSpacing + a;
            box->setFrameSize(pf::Size(width, height));
            view->setFrame(pf::Rect(0, kSpacing, width, a));
        }
    }
    OVRichTextView* text = textView();
    if (!m_textPath.isEmpty() && text) {
        if (!hasVisual)
            width = maxWidth;
        const pf::Size used = text->usedSizeForWidth(width);
        height += used.height;
        box->setFrameSize(pf::Size(width, height));
        text->setFrame(pf::Rect(0, 0, used.width, used.height));
    } else {
        height = std::max(0.0, height - kSpacing);
        box->setFrameSize(pf::Size(width, height));
    }
    pf::Window* panelWindow = loadedWindow();
    if (panelWindow && box->window() == panelWindow) {
        panelWindow->setContentSize(pf::Size(width + m_diff.width, height + m_diff.height));
        // The OK button stays at the right edge of the window.
        if (QPushButton* ok = okButton())
            ok->move(int(width + m_diff.width - kMargin) - ok->width(), ok->y());
        // A movie's size is known only once it has loaded, after the sheet went up: the grown sheet
        // must still fit below its parent's top edge and hang from it.
        if (m_sheetParent && !m_fitting) {
            m_fitting = true;
            fitOnScreen(m_sheetParent);
            placeUnderParent();
            m_fitting = false;
        }
    }
}

void OVInformationPanel::placeUnderParent()
{
    pf::Window* panelWindow = loadedWindow();
    if (!panelWindow || !m_sheetParent)
        return;
    // A sheet: attached below the parent's title, centred.
    const pf::Rect parentFrame = m_sheetParent->frame();
    const pf::Rect frame = panelWindow->frame();
    panelWindow->setFrameOrigin(
        pf::Point(parentFrame.origin.x + (parentFrame.size.width - frame.size.width) / 2,
                  parentFrame.origin.y + parentFrame.size.height - frame.size.height));
}

pf::Size OVInformationPanel::windowWillResize(pf::Size proposed)
{
    m_maxSize = pf::Size(proposed.width - m_diff.width, proposed.height - m_diff.height);
    updateLayoutInstantly(true);
    const pf::View* box = container();
    const pf::Size content = box ? box->frame().size : pf::Size();
    return pf::Size(content.width + m_diff.width, content.height + m_diff.height);
}

void OVInformationPanel::setIsVisible(bool visible)
{
    m_isVisible = visible;
    // Hiding always stops the movie, also one started before the panel was reported visible (a row
    // still opening).
    if (!visible && m_movieController && m_movieController->isPlaying())
        m_movieController->togglePlayPause();
}

void OVInformationPanel::showOverWindow(pf::Window* parent)
{
    pf::Window* panelWindow = window();
    pf::View* box = container();
    if (!panelWindow || !box)
        return;
    const pf::Size panelSize = panelWindow->frame().size;
    if (parent) {
        const pf::Rect parentFrame = parent->frame();
        const double screenHeight = parent->screen() ? parent->screen()->geometry().height() : 800;
        m_maxSize.width =
            std::max(640.0, 2.0 / 3.0 * parentFrame.size.width - (panelSize.width - box->frame().size.width));
        m_maxSize.height =
            std::max(680.0, (screenHeight - 40) - (panelSize.height - box->frame().size.height));
    }
    updateLayoutInstantly(true);
    if (parent)
        fitOnScreen(parent);
    setIsVisible(true);
    m_sheetParent = parent;
    m_parentClosing.reset();
    if (parent) {
        placeUnderParent();
        parent->addChildWindow(panelWindow);
        // Closed with its window (a document closed with its first-run sheet up), as if cancelled: no
        // sheet stays counted open, or owned, once nothing shows it. After the close has been told, so
        // that no observer of the window's closing loses its place.
        QPointer<OVInformationPanel> self(this);
        m_parentClosing = pf::NotificationCenter::defaultCenter().addObserver(
            pf::Window::willCloseNotification, parent, [self](const pf::Notification&) {
                QTimer::singleShot(0, qApp, [self] {
                    if (self && self->isVisible())
                        self->cancel();
                });
            });
    }
    panelWindow->makeKeyAndOrderFront();
    // The focus moves once the sheet is up; a panel closed by then is left alone.
    QPointer<OVInformationPanel> self(this);
    QTimer::singleShot(0, qApp, [self] {
        if (self)
            self->makeFirstResponder();
    });
}

void OVInformationPanel::fitOnScreen(pf::Window* parent)
{
    pf::Window* panelWindow = loadedWindow();
    QScreen* screen = parent->screen();
    if (!panelWindow || !screen)
        return;
    // A sheet taller than the screen would put its OK button out of reach. The picture gives way: it is
    // narrowed (down to the topic's least width) until the sheet fits; the text is never cut.
    double aspect = 0; // height over width of the widest picture
    if (m_movie && m_movie->naturalSize().width > 0)
        aspect = m_movie->naturalSize().height / m_movie->naturalSize().width;
    else if (!m_image.isNull() && m_image.width() > 0)
        aspect = double(m_image.height()) / m_image.width();
    // The sheet hangs from the parent's top edge, so what it may take is the room from there down to
    // the bottom of the screen's usable area, not the whole screen's height.
    const QRect usable = screen->availableGeometry();
    const pf::Rect parentFrame = parent->frame();
    const QScreen* primary = QGuiApplication::primaryScreen();
    const double parentTop = (primary ? primary->geometry().height() : usable.bottom() + 1) -
                             (parentFrame.origin.y + parentFrame.size.height);
    const double below = usable.y() + usable.height() - std::max<double>(parentTop, usable.y()) - 20;
    // It is also drawn within its parent, so it may not be taller than the parent either.
    const double available =
        std::min<double>({usable.height() - 40.0, below, parentFrame.size.height - 20.0});
    for (int pass = 0; pass < 6 && aspect > 0; ++pass) {
        const double over = panelWindow->frame().size.height - available;
        if (over <= 0 || m_maxSize.width <= kContentWidth)
            break;
        m_maxSize.width = std::max(kContentWidth, m_maxSize.width - std::ceil(over / aspect));
        updateLayoutInstantly(true);
    }
}

void OVInformationPanel::closeSheet()
{
    endSheet(true);
}

void OVInformationPanel::cancel()
{
    endSheet(false);
}

void OVInformationPanel::endSheet(bool recordCheckbox)
{
    if (recordCheckbox) {
        auto& defaults = pf::UserDefaults::standard();
        QVariantMap dontShow = defaults.dictionaryForKey(dontShowAgainKey);
        const QCheckBox* box = dontShowCheckbox();
        dontShow.insert(m_tag, box && box->isChecked() ? 1 : 0);
        defaults.setValue(dontShowAgainKey, dontShow);
    }
    if (pf::Window* panelWindow = loadedWindow()) {
        if (m_sheetParent)
            m_sheetParent->removeChildWindow(panelWindow);
        panelWindow->orderOut();
    }
    m_sheetParent = nullptr;
    m_parentClosing.reset();
    sheetDidEnd();
    // The open panels own a panel shown by showInformationForTitle(); it goes once this call is over.
    auto& panels = state().openPanels;
    for (auto it = panels.begin(); it != panels.end(); ++it)
        if (it->get() == this) {
            OVInformationPanel* released = it->release();
            panels.erase(it);
            released->deleteLater();
            break;
        }
}

void OVInformationPanel::sheetDidEnd()
{
    setIsVisible(false);
    pf::NotificationCenter::defaultCenter().post(infoDoneNotification, this);
}

void OVInformationPanel::makeFirstResponder()
{
    if (m_movieController && m_movieController->isViewLoaded() && m_movieController->view()->superview()) {
        m_movieController->makeFirstResponder();
        return;
    }
    if (QPushButton* ok = okButton())
        ok->setFocus();
}

bool OVInformationPanel::shouldShowMessageWithTitle(const QString& title)
{
    const QVariantMap dontShow = pf::UserDefaults::standard().dictionaryForKey(dontShowAgainKey);
    if (dontShow.value(title).toBool())
        return false;
    return !state().shownTitles.contains(title);
}

OVInformationPanel* OVInformationPanel::showInformationForTitle(const QString& title, pf::Window* window)
{
    if (!shouldShowMessageWithTitle(title))
        return nullptr;
    // Noted before it shows: a window that asks while this one is being put up must not get it too.
    state().shownTitles.append(title);
    auto panel = std::make_unique<OVInformationPanel>(title);
    OVInformationPanel* shown = panel.get();
    state().openPanels.push_back(std::move(panel));
    shown->showOverWindow(window);
    return shown;
}

void OVInformationPanel::resetAllDontShows()
{
    state().shownTitles.clear();
    pf::UserDefaults::standard().setValue(dontShowAgainKey, QVariantMap());
}
