#include "Classes/Frames/OVEffect.h"

#include "Classes/Framework/GradientORVExtension.h"
#include "Classes/Framework/OVFilter.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Classes/Framework/Toolkit/PopUpButtonORVExtension.h"
#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/Gradient.h"
#include "Platform/Image/ImageAccumulator.h"
#include "Platform/Image/PaintColor.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"

#include <QCheckBox>
#include <QDial>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const QStringList colorKeys = {QStringLiteral("inputColor"), QStringLiteral("inputTargetColor"),
                               QStringLiteral("inputGradient")};
const QString gradientKey = QStringLiteral("inputGradient");
const QString tagProperty = QStringLiteral("effectTag");
// The circular slider works in whole steps; this many span its range, one turn of its knob.
constexpr int dialSteps = 3600;
// An arrow key turns the knob a degree, a wheel's notch five.
constexpr int dialKeyStep = dialSteps / 360;
constexpr int dialNotch = 5 * dialKeyStep;
// A pause this long (seconds) ends a run of notches or key presses, which is one change to undo.
constexpr double dialTurnPause = 0.6;

// The circular slider: its wheel and keys turn it by useful steps, and a run of notches or presses is
// one turn, reported when it ends (as a drag's release would be).
class EffectDial : public QDial
{
public:
    explicit EffectDial(std::function<void()> turnEnded) : m_turnEnded(std::move(turnEnded))
    {
        setSingleStep(dialKeyStep);
        setPageStep(3 * dialNotch);
    }
    ~EffectDial() override
    {
        if (m_pause)
            m_pause->invalidate();
    }
    bool isTurning() const { return m_turning; }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        m_eighths += event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        const int notches = m_eighths / 120;
        m_eighths -= notches * 120;
        event->accept();
        if (notches == 0)
            return;
        keepTurning();
        // Up turns the value up, as the arrow keys do.
        setValue(value() + notches * dialNotch);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        keepTurning();
        QDial::keyPressEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        endTurn();
        QDial::mousePressEvent(event);
    }

private:
    void keepTurning()
    {
        if (m_pause)
            m_pause->invalidate();
        m_turning = true;
        m_pause = pf::Timer::scheduled(
            dialTurnPause, false, [this](pf::Timer&) { endTurn(); }, this);
    }
    void endTurn()
    {
        if (m_pause)
            m_pause->invalidate();
        m_pause.reset();
        m_eighths = 0;
        if (!m_turning)
            return;
        m_turning = false;
        if (m_turnEnded)
            m_turnEnded();
    }

    std::function<void()> m_turnEnded;
    std::shared_ptr<pf::Timer> m_pause;
    bool m_turning = false;
    int m_eighths = 0;
};

// A settings view lies in a column that scrolls: the wheel over a slider scrolls the column (it would
// nudge the setting by a step too small to see and record a change to undo).
class EffectSlider : public OVSlider
{
protected:
    void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

// What a pop-up shows for a choice: a resource's ID name ("ORV-S#002#Floor") by its own name, unless
// the strings table has a text for it.
QString choiceTitle(const QString& choice)
{
    if (pf::localized(choice) != choice)
        return choice;
    const OVResourceInfo info = ORVExtension::resourceInfo(choice);
    return info.type() && info.index() != OVResourceInfo::NotFound && !info.name().isEmpty() ? info.name()
                                                                                             : choice;
}

QStringList choiceTitles(const QStringList& choices)
{
    QStringList titles;
    for (const QString& choice : choices)
        titles << choiceTitle(choice);
    return titles;
}

pf::Color colorFromText(const QString& text)
{
    return pf::Color::fromString(text);
}

QString textFromValue(const QString& key, const QVariant& value)
{
    if (key == gradientKey && value.canConvert<pf::Gradient>() &&
        value.metaType() == QMetaType::fromType<pf::Gradient>())
        return GradientORVExtension::stringRepresentation(value.value<pf::Gradient>());
    if (value.metaType() == QMetaType::fromType<pf::Color>())
        return value.value<pf::Color>().toString();
    return value.toString();
}

double number(const QVariant& value)
{
    return value.isValid() ? value.toDouble() : 0.0;
}

} // namespace

std::unique_ptr<OVEffect> OVEffect::effectWithName(const QString& name, const QVariantMap& settings)
{
    return create({{QStringLiteral("name"), name}}, settings);
}

std::unique_ptr<OVEffect> OVEffect::create(const QVariantMap& description, const QVariantMap& settings)
{
    std::unique_ptr<OVEffect> effect(new OVEffect);
    effect->m_name = description.value(QStringLiteral("name")).toString();
    effect->m_displayName = description.value(QStringLiteral("displayName"), effect->m_name).toString();
    effect->m_settingsUIDict = description.value(QStringLiteral("settingsUI")).toMap();
    effect->m_settingsKeys = description.contains(QStringLiteral("settingsUIOrder"))
                                 ? description.value(QStringLiteral("settingsUIOrder")).toStringList()
                                 : effect->m_settingsUIDict.keys();

    const QString filterName = description.value(QStringLiteral("ciName"), effect->m_name).toString();
    // Without any name there is nothing to look up: "Filter" alone is not a filter's name.
    if (filterName.isEmpty()) {
        pf::log(QStringLiteral("Warning: Neither Filter with name %1 nor %1Filter found").arg(filterName));
        return nullptr;
    }
    if (pf::Filter::isRegistered(filterName)) {
        effect->m_filter = pf::Filter::create(filterName);
    } else if (pf::Filter::isRegistered(filterName + QStringLiteral("Filter"))) {
        effect->m_filter = pf::Filter::create(filterName + QStringLiteral("Filter"));
        pf::log(
            QStringLiteral("Warning: Filter with name %1 not found, %1Filter used instead").arg(filterName));
    }
    if (!effect->m_filter) {
        pf::log(QStringLiteral("Warning: Neither Filter with name %1 nor %1Filter found").arg(filterName));
        return nullptr;
    }
    OVEffect* self = effect.get();
    effect->m_observers.push_back(pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("ovfilterupdate"), effect->m_filter.get(),
        [self](const pf::Notification&) { self->updateFilter(); }));
    effect->m_relative = description.value(QStringLiteral("relative")).toStringList();
    effect->m_globals = description.value(QStringLiteral("globals")).toMap();
    effect->m_baseSettings = description.value(QStringLiteral("defaultSettings")).toMap();
    effect->setSettings(settings);
    return effect;
}

OVEffect::~OVEffect()
{
    m_settingsObserver.reset();
    m_observers.clear();
    m_successor = nullptr;
    if (m_undoManager)
        m_undoManager->removeAllActionsWithTarget(this);
    m_undoManager = nullptr;
}

QVariantMap OVEffect::settings() const
{
    QVariantMap external = m_settings;
    for (const QString& key : colorKeys) {
        if (external.contains(key))
            external[key] = textFromValue(key, external.value(key));
    }
    external[QStringLiteral("isEnabled")] = m_enabled;
    external[QStringLiteral("resource")] = m_imageResources;
    external[QStringLiteral("name")] = m_name;
    return external;
}

void OVEffect::setSettings(const QVariantMap& given)
{
    m_settingsObserver.reset();
    m_settings = m_baseSettings;
    for (auto it = given.begin(); it != given.end(); ++it)
        m_settings[it.key()] = it.value();
    m_settings[QStringLiteral("name")] = m_name;
    m_imageResources = m_settings.take(QStringLiteral("resource")).toMap();
    if (m_settings.contains(QStringLiteral("isEnabled")))
        setEnabled(m_settings.take(QStringLiteral("isEnabled")).toBool());
    for (const QString& key : colorKeys) {
        const QVariant value = m_settings.value(key);
        if (value.typeId() != QMetaType::QString)
            continue;
        if (key == gradientKey) {
            if (auto gradient = GradientORVExtension::gradientWithString(value.toString()))
                m_settings[key] = QVariant::fromValue(*gradient);
        } else {
            m_settings[key] = QVariant::fromValue(colorFromText(value.toString()));
        }
    }
    m_filter->setDefaults();
    // Every entry the filter takes. The registered input keys go first, in their order: a frame or a
    // texture they choose brings its own colour, which a stored colour then replaces.
    const QStringList inputs = m_filter->inputKeys();
    for (const QString& key : inputs) {
        if (m_settings.contains(key))
            writeToFilter(key, m_settings.value(key));
    }
    const QVariantMap attributes = m_filter->attributes();
    for (auto it = m_settings.begin(); it != m_settings.end(); ++it) {
        if (!inputs.contains(it.key()) && attributes.contains(it.key()) &&
            it.key() != pf::FilterAttribute::FilterName)
            writeToFilter(it.key(), it.value());
    }
    if (m_successor && m_enabled)
        m_successor->setInputImage(outputImage());
    if (m_settingsView)
        updateSettings();
    m_settingsObserver = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("ovfilterSettings"), m_filter.get(),
        [this](const pf::Notification&) { updateSettings(); });
}

double OVEffect::proportionForWriting() const
{
    if (m_effectProportion > 0)
        return m_effectProportion;
    const pf::Image input = inputImage();
    if (input.isNull())
        return 1.0;
    const pf::Rect extent = input.extent();
    return std::max(1.0, std::min(extent.width(), extent.height()));
}

double OVEffect::proportionForReading() const
{
    return proportionForWriting();
}

void OVEffect::writeToFilter(const QString& key, const QVariant& value)
{
    if (m_relative.contains(key) && value.canConvert<double>())
        m_filter->setValue(value.toDouble() * proportionForWriting(), key);
    else
        m_filter->setValue(value, key);
}

void OVEffect::reapplyRelativeKeys()
{
    for (const QString& key : m_relative) {
        if (m_settings.contains(key))
            writeToFilter(key, m_settings.value(key));
    }
}

pf::Image OVEffect::inputImage() const
{
    return m_filter->value(QStringLiteral("inputImage")).value<pf::Image>();
}

void OVEffect::setInputImage(const pf::Image& image)
{
    if (image.isNull())
        return;
    m_inputCached = false;
    m_filter->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
    reapplyRelativeKeys();
    passOn();
}

void OVEffect::cacheInput()
{
    if (m_inputCached)
        return;
    const pf::Image input = inputImage();
    if (input.isNull())
        return;
    const pf::Rect extent = input.extent();
    if (extent.isNull() || extent.isInfinite() || extent.isEmpty() || !std::isfinite(extent.width()) ||
        !std::isfinite(extent.height()))
        return;
    // In float, so the pixels are the ones the recipe gives, beyond white and between 8-bit steps alike.
    pf::ImageAccumulator accumulator(extent, nullptr, pf::Bitmap::Format::RGBAf);
    if (!accumulator.setImage(input))
        return;
    pf::Image cached = accumulator.image();
    // The accumulator rounds out to whole pixels; the filter keeps seeing the extent it was given, so
    // sizes relative to the picture stay as they were.
    if (cached.extent() != extent)
        cached = cached.imageByCroppingToRect(extent);
    m_filter->setValue(QVariant::fromValue(cached), QStringLiteral("inputImage"));
    m_inputCached = true;
}

void OVEffect::passOn()
{
    if (!m_successor)
        return;
    if (m_enabled)
        m_successor->setInputImage(outputImage());
    else
        m_successor->setInputImage(inputImage());
}

void OVEffect::removeImageInput()
{
    m_inputCached = false;
    m_filter->setValue(QVariant::fromValue(pf::Image()), QStringLiteral("inputImage"));
    if (m_successor)
        m_successor->removeImageInput();
}

pf::Image OVEffect::outputImage()
{
    if (inputImage().isNull()) {
        if (!m_waitingForUpdate) {
            m_waitingForUpdate = true;
            pf::NotificationCenter::defaultCenter().post(QStringLiteral("EffectNeedsUpd"), this);
        }
        return pf::Image();
    }
    m_waitingForUpdate = false;
    reapplyRelativeKeys();
    // A recipe, not pixels: the chain's end renders the effects after the last cached input in one go,
    // in float throughout, so no stage rounds or clips what the next one reads.
    const pf::Image output = m_filter->outputImage();
    if (output.isNull())
        return output;
    const pf::Rect extent = output.extent();
    if (extent.isNull() || extent.isInfinite() || extent.isEmpty() || !std::isfinite(extent.width()) ||
        !std::isfinite(extent.height()))
        return output;
    // On whole pixels, as it would be once rendered: the next effect measures sizes relative to the
    // picture on the same extent whether or not this output was rendered first.
    const pf::Rect whole = extent.integral();
    if (whole == extent)
        return output;
    return output.imageByCompositingOverImage(
        pf::Image::constantColor(pf::Color(0, 0, 0, 0)).imageByCroppingToRect(whole));
}

void OVEffect::setGlobalSettings(const QVariantMap& settings)
{
    m_effectProportion = settings.value(QStringLiteral("portion"), 0.0).toDouble();
    for (auto it = m_globals.begin(); it != m_globals.end(); ++it) {
        if (settings.contains(it.key()))
            m_filter->setValue(settings.value(it.key()), it.value().toString());
    }
    reapplyRelativeKeys();
    if (m_successor)
        m_successor->setGlobalSettings(settings);
}

void OVEffect::addResourcesToArray(QStringList& resources)
{
    for (const QVariant& value : std::as_const(m_imageResources)) {
        if (!resources.contains(value.toString()))
            resources.append(value.toString());
    }
}

void OVEffect::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    if (registerUndo(QStringLiteral("enabled"), m_enabled)) {
        const QString verb = pf::localized(m_enabled ? QStringLiteral("Disable") : QStringLiteral("Enable"),
                                           QStringLiteral("EffectSettings"));
        m_undoManager->setActionName(QStringLiteral("%1 %2").arg(verb, pf::localized(m_name)));
    }
    m_enabled = enabled;
    if (m_successor)
        m_successor->setInputImage(enabled ? outputImage() : inputImage());
}

bool OVEffect::registerUndo(const QString& key, const QVariant& oldValue)
{
    if (!m_undoManager)
        return false;
    return UndoManagerORVExtension::registerMouseAwareUndoWithTarget(*m_undoManager, *this, oldValue, key,
                                                                     m_turning);
}

QVariant OVEffect::valueForKey(const QString& key) const
{
    if (key == QStringLiteral("settings"))
        return settings();
    if (key == QStringLiteral("enabled"))
        return m_enabled;
    return settingsValueForKey(key);
}

void OVEffect::setValueForKey(const QVariant& value, const QString& key)
{
    if (key == QStringLiteral("enabled"))
        setEnabled(value.toBool());
    else
        setValue(key, value);
}

void OVEffect::setValue(const QString& key, const QVariant& value)
{
    if (key == QStringLiteral("settings")) {
        // The external form, so an undo brings back colours, the enabled state and chosen images.
        registerUndo(key, settings());
        setSettings(value.toMap());
        return;
    }
    if (key == QStringLiteral("enabled")) {
        setEnabled(value.toBool());
        return;
    }
    if (!m_boundSettings.contains(key))
        return;
    // Choosing what a control already shows changes nothing: no render, no step to undo.
    if (m_settings.contains(key) && m_settings.value(key) == value)
        return;
    // A setting is usually changed many times in a row (a slider drag): what comes before this effect
    // is rendered once, and each change renders only this effect and the ones after it.
    cacheInput();
    if (registerUndo(key, settingsValueForKey(key))) {
        // Named as the row is labelled ("Textured Frame Width"), not by the filter's input key.
        m_undoManager->setActionName(QStringLiteral("%1 %2").arg(
            pf::localized(m_name),
            pf::localized(m_rowForInput.value(key, key), QStringLiteral("EffectSettings"))));
    }
    m_settings[key] = value;
    writeToFilter(key, value);
    if (m_enabled && m_successor) {
        const pf::Image output = outputImage();
        if (!output.isNull())
            m_successor->setInputImage(output);
    }
    updateSettings();
}

QVariant OVEffect::settingsValueForKey(const QString& key) const
{
    if (m_settings.contains(key))
        return m_settings.value(key);
    return m_filter->value(key);
}

QVariant OVEffect::valueFromDicts(const QList<QVariantMap>& dicts, const QStringList& keys)
{
    for (const QVariantMap& dict : dicts) {
        for (const QString& key : keys) {
            const QVariant value = dict.value(key);
            if (value.isValid() && !value.isNull())
                return value;
        }
    }
    return {};
}

QString OVEffect::description() const
{
    QStringList pairs;
    const QVariantMap external = settings();
    for (auto it = external.begin(); it != external.end(); ++it)
        pairs << it.key() + QStringLiteral(" = ") + it.value().toString();
    return QStringLiteral("Effect: %1 (%2)\nSettings: {%3}")
        .arg(m_displayName, m_name, pairs.join(QStringLiteral("; ")));
}

QList<QWidget*> OVEffect::settingsControls() const
{
    QList<QWidget*> controls;
    for (const auto& control : m_settingsControls)
        controls << control.data();
    return controls;
}

pf::View* OVEffect::settingsView()
{
    if (m_settingsView)
        return m_settingsView.get();
    const int rows = int(m_settingsKeys.size());
    // With no row the view keeps a single row's height and stays empty.
    const double height = rows == 0 ? firstRowHeight : firstRowHeight + rowHeight * (rows - 1);
    m_settingsView = std::make_unique<pf::View>(pf::Rect(0, 0, 300, height));
    m_settingsPopupNames.clear();
    m_boundSettings.clear();
    m_rowForInput.clear();
    m_settingsControls.clear();
    const QVariantMap attributes = m_filter->attributes();
    for (int row = 0; row < rows; ++row) {
        const QString key = m_settingsKeys.at(row);
        QVariantMap entry;
        if (!m_settingsUIDict.contains(key)) {
            pf::log(QStringLiteral("Warning: settingsUI Description for '%1' is missing in Effect '%2'")
                        .arg(key, m_name));
        } else {
            entry = m_settingsUIDict.value(key).toMap();
        }
        // Top-down: the row's 27-point band starts here; the frames below are the band's y-up offsets.
        const double bandTop = firstRowHeight + rowHeight * row;
        auto place = [&](QWidget* widget, double x, double y, double w, double h) {
            widget->setParent(m_settingsView.get());
            widget->setGeometry(QRect(int(x), int(bandTop - y - h), int(w), int(h)));
            widget->show();
        };
        auto* label = new OVLabel(pf::Rect(3, 2, 100, 22));
        label->setStringValue(pf::localized(key, QStringLiteral("EffectSettings")));
        label->setTextColor(QColor::fromRgbF(71 / 255.0, 71 / 255.0, 71 / 255.0, 1));
        label->setTextShadowName(QStringLiteral("TextWhite0px"));
        label->setAutoresizingMask(pf::View::MaxXMargin | pf::View::MinYMargin);
        place(label, 3, 2, 100, 22);
        const QString inputKey = entry.value(QStringLiteral("inputName")).toString();
        QWidget* control = makeControl(entry, attributes.value(inputKey).toMap(), inputKey);
        if (!control)
            continue;
        if (inputKey.isEmpty()) {
            delete control;
            continue;
        }
        control->setProperty(tagProperty.toUtf8().constData(), int(m_boundSettings.size()));
        m_boundSettings << inputKey;
        m_rowForInput.insert(inputKey, key);
        m_settingsControls << control;
        // Where each type of control sits beside its label (x, drop from the band's top, width, height);
        // the last row for any other type.
        static constexpr double places[][4] = {{110, 4, 190, 15}, {110, 0, 190, 23}, {110, 0, 45, 22},
                                               {110, 0, 190, 23}, {110, 2, 20, 20},  {99, 0, 210, 27}};
        constexpr int otherType = int(std::size(places)) - 1;
        const int type = entry.value(QStringLiteral("type")).toInt();
        const double* p = places[type >= 0 && type < otherType ? type : otherType];
        place(control, p[0], p[1], p[2], p[3]);
    }
    updateSettings();
    return m_settingsView.get();
}

QWidget* OVEffect::makeControl(const QVariantMap& entry, const QVariantMap& attributes,
                               const QString& inputKey)
{
    const QList<QVariantMap> dicts = {entry, attributes};
    const double minValue = number(valueFromDicts(
        dicts, {QStringLiteral("minValue"), pf::FilterAttribute::SliderMin, pf::FilterAttribute::Min}));
    const double maxValue = number(valueFromDicts(
        dicts, {QStringLiteral("maxValue"), pf::FilterAttribute::SliderMax, pf::FilterAttribute::Max}));
    const QVariant type = entry.value(QStringLiteral("type"));
    switch (type.isValid() ? type.toInt() : -1) {
    case 0: {
        auto* slider = new EffectSlider;
        slider->setMinValue(minValue);
        slider->setMaxValue(maxValue);
        const double exp = number(valueFromDicts(dicts, {QStringLiteral("expFactor")}));
        if (exp >= 1.0) {
            slider->setSliderCurve(3);
            slider->setExpFactor(exp);
        }
        slider->setAction([this](OVSlider* sender) { controlValueChanged(sender); });
        return slider;
    }
    case 1: {
        auto* popup = new OVPopupButton(pf::Rect(110, 0, 190, 23));
        // A skinned button draws white titles for dark panels; this column is light, so the title is
        // drawn dark as a standard pop-up's would be (and still dims when disabled).
        popup->setTextColor(pf::PaintColor::calibratedRGB(0.1, 0.1, 0.1));
        popup->setMenu(std::make_unique<pf::Menu>());
        const QStringList choices = valueFromDicts(dicts, {QStringLiteral("choices")}).toStringList();
        PopUpButtonORVExtension::addEntries(*popup->menu(), choiceTitles(choices));
        if (entry.value(QStringLiteral("customImage")).toBool()) {
            popup->menu()->addSeparator();
            popup->inserItemWithTitle(
                pf::localized(QStringLiteral("Custom Image"), QStringLiteral("Controls")), 1 << 20);
        }
        m_settingsPopupNames[inputKey] = choices;
        popup->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
        popup->setAction([this](OVButton* sender) { controlValueChanged(sender); });
        const QString notification = entry.value(QStringLiteral("notification")).toString();
        if (!notification.isEmpty()) {
            m_notificationDict[notification] = popup;
            m_observers.push_back(pf::NotificationCenter::defaultCenter().addObserver(
                notification, nullptr,
                [this, notification](const pf::Notification&) { updatePopupButton(notification); }));
        }
        return popup;
    }
    case 2: {
        auto* well = new OVColorWell(pf::Rect(110, 0, 45, 22));
        well->setSupportsAlpha(entry.value(QStringLiteral("hasAlpha")).toBool());
        well->setAutoresizingMask(pf::View::MaxXMargin | pf::View::MinYMargin);
        well->setAction([this](OVColorWell* sender) { controlValueChanged(sender); });
        return well;
    }
    case 3: {
        auto* box = new QCheckBox;
        box->setTristate(false);
        QObject::connect(box, &QCheckBox::clicked, box, [this, box] { controlValueChanged(box); });
        return box;
    }
    case 4: {
        // A run of notches or key presses ends: the next change is a step of its own.
        auto* dial = new EffectDial([this] { UndoManagerORVExtension::gestureEndedFor(*this); });
        dial->setRange(0, dialSteps);
        dial->setProperty("minValue", minValue);
        dial->setProperty("maxValue", maxValue);
        // Every way the dial moves (a drag, a click on its rim, the wheel, the arrow and page keys)
        // changes its value; showing a value from the filter does so with the signals blocked.
        QObject::connect(dial, &QDial::valueChanged, dial, [this, dial] { controlValueChanged(dial); });
        return dial;
    }
    case 5: {
        auto* picker = new OVGradientPicker(pf::Rect(99, 0, 210, 27));
        picker->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
        picker->setAction([this](OVColorWell* sender) { controlValueChanged(sender); });
        return picker;
    }
    default:
        return nullptr;
    }
}

void OVEffect::controlValueChanged(QWidget* sender)
{
    const QString key = m_boundSettings.value(sender->property(tagProperty.toUtf8().constData()).toInt());
    QVariant value;
    if (auto* popup = qobject_cast<OVPopupButton*>(sender)) {
        const QStringList choices = m_settingsPopupNames.value(key).toStringList();
        const int index = popup->selectedIndex();
        if (index >= choices.size()) {
            pf::FilePanel panel(pf::FilePanel::Kind::Open);
            panel.allowedFileTypes = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("tif"), QStringLiteral("tiff")};
            if (!panel.runModal() || panel.path().isEmpty()) {
                updateSettings();
                return;
            }
            // Taken only when it is a picture: anything else would leave the effect without its
            // texture and the person without a word.
            QString problem;
            if (pf::Image::fromFile(panel.path(), &problem).isNull()) {
                pf::Alert alert;
                alert.messageText = QStringLiteral("The picture “%1” could not be read.")
                                        .arg(QFileInfo(panel.path()).fileName());
                alert.informativeText = problem.isEmpty() ? panel.path() : problem;
                alert.runModal();
                updateSettings();
                return;
            }
            const QString copy = OVTempCleaner::tempCopyFor(panel.path(), QStringLiteral("EffectResource-") +
                                                                              pf::randomName(10));
            if (copy.isEmpty()) {
                pf::error(QStringLiteral("could not copy %1").arg(panel.path()));
                updateSettings();
                return;
            }
            value = copy;
            m_imageResources[key] = copy;
        } else {
            value = choices.value(index);
            m_imageResources.remove(key);
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(sender)) {
        value = box->isChecked();
    } else if (auto* picker = qobject_cast<OVGradientPicker*>(sender)) {
        value = QVariant::fromValue(picker->gradient());
    } else if (auto* well = qobject_cast<OVColorWell*>(sender)) {
        const pf::PaintColor color = well->color();
        // A grey keeps its white in all three components.
        value = QVariant::fromValue(
            color.isWhiteSpace() ? pf::Color(color.white(), color.white(), color.white(), color.alpha())
                                 : pf::Color(color.red(), color.green(), color.blue(), color.alpha()));
    } else if (auto* dial = qobject_cast<QDial*>(sender)) {
        const double lo = dial->property("minValue").toDouble(), hi = dial->property("maxValue").toDouble();
        value = lo + (hi - lo) * dial->value() / double(dialSteps);
    } else if (auto* slider = qobject_cast<OVSlider*>(sender)) {
        value = slider->doubleValue();
    }
    auto* dial = dynamic_cast<EffectDial*>(sender);
    m_turning = dial && dial->isTurning();
    setValue(key, value);
    m_turning = false;
}

void OVEffect::updateSettings()
{
    if (!m_settingsView)
        return;
    const double proportion = proportionForReading();
    for (const auto& control : std::as_const(m_settingsControls)) {
        if (!control)
            continue;
        const QString key =
            m_boundSettings.value(control->property(tagProperty.toUtf8().constData()).toInt());
        QVariant value = m_filter->value(key);
        if (m_relative.contains(key))
            value = value.toDouble() / proportion;
        m_settings[key] = value;
        showValue(control, value);
    }
}

void OVEffect::showValue(QWidget* control, const QVariant& value)
{
    const QSignalBlocker blocker(control);
    const QString key = m_boundSettings.value(control->property(tagProperty.toUtf8().constData()).toInt());
    if (auto* popup = qobject_cast<OVPopupButton*>(control)) {
        const QStringList choices = m_settingsPopupNames.value(key).toStringList();
        int index = choices.indexOf(value.toString());
        if (index < 0)
            index = choices.indexOf(pf::localized(value.toString()));
        const QList<QAction*> items = popup->menu()->actions();
        if (index < 0 && items.size() > choices.size())
            index = int(choices.size()) + 1;
        popup->setSelectedItem(index >= 0 && index < items.size() ? items.at(index) : nullptr);
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        box->setChecked(value.toBool());
    } else if (auto* picker = qobject_cast<OVGradientPicker*>(control)) {
        if (value.metaType() == QMetaType::fromType<pf::Gradient>())
            picker->setGradient(value.value<pf::Gradient>());
    } else if (auto* well = qobject_cast<OVColorWell*>(control)) {
        const pf::Color c = value.value<pf::Color>();
        well->setColor(pf::PaintColor::deviceRGB(c.red(), c.green(), c.blue(), c.alpha()));
    } else if (auto* dial = qobject_cast<QDial*>(control)) {
        const double lo = dial->property("minValue").toDouble(), hi = dial->property("maxValue").toDouble();
        dial->setValue(hi > lo ? int(std::lround((value.toDouble() - lo) / (hi - lo) * dialSteps)) : 0);
    } else if (auto* slider = qobject_cast<OVSlider*>(control)) {
        slider->setDoubleValue(value.toDouble());
    }
}

void OVEffect::updatePopupButton(const QString& notificationName)
{
    auto* popup = qobject_cast<OVPopupButton*>(m_notificationDict.value(notificationName).data());
    if (!popup)
        return;
    const QString key = m_boundSettings.value(popup->property(tagProperty.toUtf8().constData()).toInt());
    popup->menu()->clear();
    auto* ovFilter = dynamic_cast<OVFilter*>(m_filter.get());
    if (!ovFilter)
        return;
    const QStringList choices = ovFilter->settingsForKey(key).value(QStringLiteral("choices")).toStringList();
    PopUpButtonORVExtension::addEntries(*popup->menu(), choiceTitles(choices));
    m_settingsPopupNames[key] = choices;
    const int index = choices.indexOf(m_filter->value(key).toString());
    const QList<QAction*> items = popup->menu()->actions();
    if (index >= 0) {
        popup->setSelectedItem(items.value(index));
    } else if (!items.isEmpty()) {
        popup->setSelectedItem(items.first());
        controlValueChanged(popup);
    }
}

void OVEffect::updateFilter()
{
    if (m_successor && m_enabled)
        m_successor->setInputImage(outputImage());
}
