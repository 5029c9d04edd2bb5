#include "Classes/Document/OVRateUsController.h"

#include "Classes/Document/GMLinks.h"
#include "Classes/Document/OVSystemInfo.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/RichText.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTextDocument>

namespace {

const QString neverAskKey = QStringLiteral("rate.neverAsk");
const QString timesStartedKey = QStringLiteral("rate.timesStarted");
const QString ratedVersionKey = QStringLiteral("rate.ratedVersion");
constexpr qint64 checksBeforeAsking = 5;
constexpr double retrySeconds = 2.0;
constexpr double anchor = 0.7;

std::unique_ptr<OVRateUsController>& sharedPrompt()
{
    static std::unique_ptr<OVRateUsController> prompt;
    return prompt;
}

std::function<Qt::KeyboardModifiers()>& modifierSource()
{
    static std::function<Qt::KeyboardModifiers()> source;
    return source;
}

// The version an answer is recorded under; never empty, which would read as "not answered".
QString answeredVersion()
{
    const QString version = OVSystemInfo::appVersion();
    return version.isEmpty() ? QStringLiteral("unknown") : version;
}

bool altHeld()
{
    const Qt::KeyboardModifiers modifiers =
        modifierSource() ? modifierSource()() : QGuiApplication::queryKeyboardModifiers();
    return modifiers & Qt::AltModifier;
}

} // namespace

OVRateUsController::OVRateUsController() = default;

OVRateUsController::~OVRateUsController()
{
    if (m_retry)
        m_retry->invalidate();
}

void OVRateUsController::registerDefaults()
{
    pf::UserDefaults::standard().registerDefaults({{neverAskKey, false}, {timesStartedKey, 0}});
}

void OVRateUsController::setModifiersForTesting(std::function<Qt::KeyboardModifiers()> source)
{
    modifierSource() = std::move(source);
}

OVRateUsController* OVRateUsController::shared()
{
    return sharedPrompt().get();
}

void OVRateUsController::resetShared()
{
    sharedPrompt().reset();
}

void OVRateUsController::verifyRateUs(const QUrl& url)
{
    registerDefaults();
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    QString version = defaults.stringForKey(ratedVersionKey);
    const bool alt = altHeld();
    if (alt) {
        // Alt asks again whatever was answered.
        defaults.setBool(neverAskKey, false);
        defaults.setString(ratedVersionKey, QString());
        version.clear();
    } else if (defaults.boolForKey(neverAskKey)) {
        return;
    }
    // Whoever rated any version is not asked again.
    if (!version.isEmpty())
        return;
    const qint64 times = defaults.integerForKey(timesStartedKey) + 1;
    defaults.setInteger(timesStartedKey, times);
    if (times < checksBeforeAsking && !alt)
        return;
    sharedPrompt() = std::make_unique<OVRateUsController>();
    sharedPrompt()->setAppURL(url);
    sharedPrompt()->showDelayed();
}

void OVRateUsController::userDidRate()
{
    pf::UserDefaults::standard().setString(ratedVersionKey, answeredVersion());
}

void OVRateUsController::windowDidLoad()
{
    OVNoteController::windowDidLoad();
    if (titleTF())
        titleTF()->setText(pf::localized(QStringLiteral("Spread the word!")));
    const QList<QPair<OVButton*, QString>> buttons{{cancelButton(), QStringLiteral("Ask Later")},
                                                   {otherButton(), QStringLiteral("Never Ask")},
                                                   {approveButton(), QStringLiteral("Rate Now")}};
    for (const auto& [button, title] : buttons)
        if (button)
            button->setTitle(title);
    if (closeButton())
        closeButton()->hide();
    const QString path = pf::Bundle::main().pathForResource(QStringLiteral("RateUs"), QStringLiteral("rtf"));
    QTextDocument text;
    QString error;
    if (path.isEmpty() || !pf::RichText::readFile(path, &text, &error))
        pf::warning(QStringLiteral("The rating prompt's text could not be read: %1")
                        .arg(path.isEmpty() ? QStringLiteral("RateUs.rtf is missing") : error));
    else
        setText(text);
    adjustWindowSize();
}

bool OVRateUsController::isWaitingForKeyWindow() const
{
    return m_retry && m_retry->isValid();
}

void OVRateUsController::showDelayed()
{
    if (m_retry)
        m_retry->invalidate();
    m_retry.reset();
    // Over the key window's own window, never inside one of its overlays (the loupe, a hover window).
    pf::Window* key = pf::Window::keyWindow();
    while (key && key->parentWindow())
        key = key->parentWindow();
    if (key && key->isVisible() && window()) {
        attachToWindow(key, anchor);
        return;
    }
    m_retry = pf::Timer::scheduled(
        retrySeconds, false, [this](pf::Timer&) { showDelayed(); }, this);
}

void OVRateUsController::buttonPressed(OVButton* button)
{
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    if (button == otherButton()) {
        defaults.setBool(neverAskKey, true);
        defaults.setString(ratedVersionKey, answeredVersion());
    } else if (button == approveButton()) {
        defaults.setString(ratedVersionKey, answeredVersion());
        GMLinks::openURL(m_appURL);
        defaults.setBool(neverAskKey, false);
    } else if (button == cancelButton()) {
        defaults.setInteger(timesStartedKey, 0);
        defaults.setBool(neverAskKey, false);
    }
    OVNoteController::buttonPressed(button);
}
