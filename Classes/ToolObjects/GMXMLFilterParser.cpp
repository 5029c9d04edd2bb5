#include "Classes/ToolObjects/GMXMLFilterParser.h"

#include "Classes/ToolObjects/GMBundleImage.h"
#include "Classes/ToolObjects/GMConverter.h"
#include "Classes/ToolObjects/OVFilterGenerator.h"
#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NumberText.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Vector.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

const QString RootName = QStringLiteral("rootFilter");

// The number a text starts with ("0.02abc" -> 0.02); 0 when it does not start with one.
double leadingNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return 0.0;
    return parseDouble(match.captured(0).trimmed()).value_or(0.0);
}

Color colorFromComponents(const QVariantList& list, int first, bool opaque)
{
    auto component = [&](int i) { return i < list.size() ? double(float(list[i].toDouble())) : 0.0; };
    return Color(component(first), component(first + 1), component(first + 2),
                 opaque ? 1.0 : component(first + 3));
}

GMConverter factorConverter(double factor)
{
    return GMConverter([factor](double x) { return factor * x; });
}

// "linear;a;b" and its relatives; empty for an unknown name.
GMConverter conversionFromText(const QString& text, const QString& key, const QString& nodeName)
{
    const QStringList pieces = text.split(QLatin1Char(';'));
    const QString name = pieces.value(0);
    if (name.startsWith(QLatin1String("imageSizeWidthPercentage"))) {
        // "imageSizeWidthPercentage:f" or "imageSizeWidthPercentage;f": a factor f.
        const qsizetype colon = name.indexOf(QLatin1Char(':'));
        const QString factor = colon >= 0 ? name.mid(colon + 1) : pieces.value(1);
        return factorConverter(leadingNumber(factor));
    }
    static const QStringList family{QStringLiteral("linear"), QStringLiteral("linearInvert"),
                                    QStringLiteral("quadraticInvert"), QStringLiteral("sqrtInvert")};
    if (!family.contains(name))
        return GMConverter();
    const auto a = pieces.size() > 1 ? parseDouble(pieces[1].trimmed()) : std::nullopt;
    const auto b = pieces.size() > 2 ? parseDouble(pieces[2].trimmed()) : std::nullopt;
    if (!a || !b) {
        pf::warning(QStringLiteral("XML Parser conversion '%1' for key %2 in filter %3 needs two numbers; no "
                                   "conversion is made")
                        .arg(text, key, nodeName));
        return GMConverter();
    }
    const double lo = std::min(*a, *b), hi = std::max(*a, *b);
    if (name == QLatin1String("linear"))
        return GMConverter([lo, hi](double x) { return lo + (hi - lo) * x; });
    if (name == QLatin1String("linearInvert"))
        return GMConverter([lo, hi](double x) { return hi - (hi - lo) * x; });
    if (name == QLatin1String("quadraticInvert"))
        return GMConverter([lo, hi](double x) { return hi - x * x * (hi - lo); });
    return GMConverter([lo, hi](double x) { return hi - (hi - lo) * std::sqrt(x); });
}

} // namespace

const QStringList& GMXMLFilterParser::allowedInputKeys()
{
    static const QStringList keys{"mask",        "originalImage", "pattern",          "imageSizeCIVector",
                                  "targetFrame", "transferImage", "compositionLayer", "maskExtraImage"};
    return keys;
}

const QStringList& GMXMLFilterParser::allowedInputPrefixes()
{
    static const QStringList prefixes{"imageNamed",
                                      "imageNamedAutoResize",
                                      "imageSizeWidthPercentage",
                                      "imageSizeHeightPercentage",
                                      "faceWidthPercentage",
                                      "imageExtent",
                                      "singleMaskImage",
                                      "patternAverageStroke",
                                      "dirtyRectCIVector",
                                      "patternResizedToDirtyRect",
                                      "patternBrushSize",
                                      "imageSizeWidthPercentageOnlyMainChain",
                                      "inputDrawPhase",
                                      "connectedDirtyRects",
                                      "connectedDirtyRectInfo",
                                      "lastConnectedDirtyRect",
                                      "lastConnectedDirtyRectInfo",
                                      "inputCurrentStrokeImage",
                                      "inputCurrentStrokeDirtyRect",
                                      "inputDrawType"};
    return prefixes;
}

GMXMLFilterParser::GMXMLFilterParser(const QVariantMap& blueprint) : m_blueprint(blueprint)
{
    registerDefaults();

    clearTree();
    loadNode(m_blueprint.value(QStringLiteral("composition")).toMap(), RootName);
    m_compositionFilter = std::make_shared<GMCompositionWrapper>();
    m_compositionFilter->setGeneratedCIFilter(generateCIFilter());
    m_compositionFilter->setReferenceInput(m_referencedInput);
    m_compositionFilter->setConversionInfo(m_conversionInfo);
    m_compositionFilter->setExposedKeysDictionary(m_exposedKeys);

    clearTree();
    loadNode(m_blueprint.value(QStringLiteral("filter")).toMap(), RootName);
    const QVariantMap settings = m_blueprint.value(QStringLiteral("settings")).toMap();
    if (settings.contains(QStringLiteral("pattern")))
        m_conversionInfo.insert(QStringLiteral("pattern"), settings.value(QStringLiteral("pattern")));
    m_contentFilter = std::make_shared<GMContentFilterWrapper>();
    m_contentFilter->setGeneratedCIFilter(generateCIFilter());
    m_contentFilter->setReferenceInput(m_referencedInput);
    m_contentFilter->setConversionInfo(m_conversionInfo);
    m_contentFilter->setExposedKeysDictionary(m_exposedKeys);
}

void GMXMLFilterParser::registerDefaults()
{
    const QVariantMap settings = m_blueprint.value(QStringLiteral("settings")).toMap();
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        const QVariantMap record = it.value().toMap();
        const QString kind = record.value(QStringLiteral("CIAttributeClass")).toString();
        const QVariant value = record.value(QStringLiteral("CIAttributeDefault"));
        if (kind == QLatin1String("CIColor")) {
            const QVariantList list = value.toList();
            const bool opaque = list.value(0).toString() == QLatin1String("vectorTypeColorOpaque");
            m_defaultValues.insert(it.key(), QVariant::fromValue(colorFromComponents(list, 1, opaque)));
        } else if (kind == QLatin1String("NSNumber") || kind == QLatin1String("Brush") ||
                   kind == QLatin1String("Boolean") || kind == QLatin1String("GMPattern")) {
            m_defaultValues.insert(it.key(), value);
        } else {
            pf::warning(
                QStringLiteral("XML Parser Could not register default value for key %1").arg(it.key()));
        }
    }
}

void GMXMLFilterParser::clearTree()
{
    m_filterObjects.clear();
    m_connections.clear();
    m_referencedInput.clear();
    m_conversionInfo.clear();
    m_exposedKeys.clear();
    m_filterIDs.clear();
    m_filterID = 0;
}

void GMXMLFilterParser::loadNode(const QVariantMap& node, const QString& nodeName)
{
    ++m_filterID;
    const QString filterName = node.value(QStringLiteral("CIFilterName")).toString();
    FilterPtr filter = Filter::isRegistered(filterName) ? Filter::create(filterName) : nullptr;
    if (!filter)
        pf::warning(QStringLiteral("Cannot load %1").arg(filterName));
    else
        filter->setDefaults();
    m_filterObjects.insert(nodeName, filter);
    m_filterIDs[QString::asprintf("%02llu", m_filterID)].append(nodeName);
    m_referencedInput.insert(nodeName, {});
    m_connections.insert(nodeName, {});

    const QVariantMap inputs = node.value(QStringLiteral("inputValues")).toMap();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        parseValue(it.value(), nodeName, it.key());
}

void GMXMLFilterParser::parseValue(const QVariant& value, const QString& nodeName, const QString& key)
{
    const FilterPtr filter = filterOf(nodeName);
    auto set = [&](const QVariant& v) {
        if (filter)
            filter->setValue(v, key);
    };
    if (GMConverter::isNumber(value)) {
        set(value);
    } else if (value.metaType().id() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        const QString kind = list.value(0).toString();
        if (kind == QLatin1String("vectorTypeDefault")) {
            std::vector<double> numbers;
            for (int i = 1; i < list.size(); ++i)
                numbers.push_back(list[i].toDouble());
            set(QVariant::fromValue(Vector(numbers)));
        } else if (kind == QLatin1String("vectorTypeColorOpaque")) {
            set(QVariant::fromValue(colorFromComponents(list, 1, true)));
        } else if (kind == QLatin1String("vectorTypeColor")) {
            set(QVariant::fromValue(colorFromComponents(list, 1, false)));
        } else {
            set(QVariant());
        }
    } else if (value.metaType().id() == QMetaType::QVariantMap) {
        const QString child = nodeName + QLatin1Char('_') + key;
        m_connections[nodeName].insert(key, child);
        loadNode(value.toMap(), child);
    } else if (value.metaType().id() == QMetaType::QString) {
        parseText(value.toString(), nodeName, key);
    } else {
        pf::error(
            QStringLiteral("XML Parser unrecognized input type for key %1 in filter %2").arg(key, nodeName));
    }
}

void GMXMLFilterParser::parseText(QString text, const QString& nodeName, const QString& key)
{
    const FilterPtr filter = filterOf(nodeName);
    if (text.startsWith(QLatin1String("exposeAs:"))) {
        const QString exposed = text.split(QLatin1Char(':')).value(1);
        text.remove(QStringLiteral("exposeAs:") + exposed + QLatin1Char(':'));
        m_exposedKeys[nodeName].insert(key, exposed);
    }
    if (text.startsWith(QLatin1String("img@"))) {
        const Image image = GMBundleImage::imageNamed(text.mid(4));
        if (filter)
            filter->setValue(image.isNull() ? QVariant() : QVariant::fromValue(image), key);
    } else if (text.startsWith(QLatin1String("string@"))) {
        if (filter)
            filter->setValue(text.mid(7), key);
    } else if (text.startsWith(QLatin1String("transform@"))) {
        AffineTransform transform;
        for (const QString& step : text.mid(10).split(QLatin1Char(';'))) {
            if (step.size() < 2)
                continue;
            const QString letter = step.left(1).toUpper();
            const QStringList numbers = step.mid(1).split(QLatin1Char('/'));
            const double a = leadingNumber(numbers.value(0));
            const double b = numbers.size() > 1 ? leadingNumber(numbers.value(1)) : a;
            if (letter == QLatin1String("R"))
                transform = transform.rotated(a * M_PI / 180.0);
            else if (letter == QLatin1String("S"))
                transform = transform.scaled(a, b);
            else if (letter == QLatin1String("T"))
                transform = transform.translated(a, b);
            else
                pf::warning(QStringLiteral("unkown transform '%1' for '%2'").arg(letter, key));
        }
        if (filter)
            filter->setValue(QVariant::fromValue(transform), key);
    } else if (text.startsWith(QLatin1String("->"))) {
        parseLink(text.mid(2), nodeName, key);
    } else if (text.contains(QLatin1Char(':'))) {
        parseLink(text, nodeName, key);
        checkVocabulary(text, nodeName, key);
    } else {
        m_referencedInput[nodeName].insert(key, text);
        checkVocabulary(text, nodeName, key);
    }
}

void GMXMLFilterParser::parseLink(const QString& link, const QString& nodeName, const QString& key)
{
    const QString conversionKey = nodeName + QLatin1Char('.') + key;
    if (link.startsWith(QLatin1String("settings."))) {
        const QStringList pieces = link.split(QLatin1Char('|'));
        const QString setting = pieces.value(0).mid(9);
        if (!m_defaultValues.contains(setting)) {
            defaultValueForInputKey(setting); // logs its own warning
            pf::log(QStringLiteral(
                        "***xml parser warning*** added reference %1  for key %2 in filter %3 to setting "
                        "%4 missing a default value ")
                        .arg(link, key, nodeName, setting));
        }
        if (pieces.size() > 1) {
            const GMConverter converter = conversionFromText(pieces.value(1), key, nodeName);
            if (!converter.isNull())
                m_conversionInfo.insert(conversionKey, GMConverter::record(converter));
            m_referencedInput[nodeName].insert(key, pieces.value(0));
        } else {
            m_referencedInput[nodeName].insert(key, link);
        }
        return;
    }
    const QStringList pieces = link.split(QLatin1Char(':'));
    const double factor = leadingNumber(pieces.size() > 1 ? pieces.value(1) : link);
    m_conversionInfo.insert(conversionKey, GMConverter::record(factorConverter(factor)));
    m_referencedInput[nodeName].insert(key, pieces.value(0));
}

void GMXMLFilterParser::checkVocabulary(const QString& text, const QString& nodeName,
                                        const QString& key) const
{
    if (allowedInputKeys().contains(text))
        return;
    for (const QString& prefix : allowedInputPrefixes()) {
        if (text.startsWith(prefix))
            return;
    }
    pf::log(QStringLiteral("***xml parser warning*** added reference %1  for key %2 in filter %3")
                .arg(text, key, nodeName));
}

std::shared_ptr<OVGroupedFilter> GMXMLFilterParser::generateCIFilter() const
{
    OVFilterGenerator generator;
    generator.exportKey(OutputImageKey, filterOf(RootName).get());
    // Every node after all its descendants: creation numbers from the highest down.
    QStringList numbers = m_filterIDs.keys();
    std::sort(numbers.begin(), numbers.end(),
              [](const QString& a, const QString& b) { return a.toULongLong() > b.toULongLong(); });
    for (const QString& number : numbers) {
        for (const QString& node : m_filterIDs.value(number)) {
            const Filter* filter = filterOf(node).get();
            const QVariantMap references = m_referencedInput.value(node);
            for (auto it = references.begin(); it != references.end(); ++it) {
                const QString exposed = m_exposedKeys.value(node).value(it.key()).toString();
                generator.exportKey(it.key(), filter,
                                    exposed.isEmpty() ? node + QLatin1Char('_') + it.key() : exposed);
            }
            const QVariantMap children = m_connections.value(node);
            for (auto it = children.begin(); it != children.end(); ++it)
                generator.connectObject(filterOf(it.value().toString()).get(), OutputImageKey, filter,
                                        it.key());
        }
    }
    return generator.filter();
}

std::shared_ptr<GMCompositionWrapper> GMXMLFilterParser::newCompositionFilter() const
{
    return m_compositionFilter->copy();
}

std::shared_ptr<GMContentFilterWrapper> GMXMLFilterParser::newContentFilter() const
{
    return m_contentFilter->copy();
}

QVariant GMXMLFilterParser::defaultValueForInputKey(const QString& settingName) const
{
    auto it = m_defaultValues.find(settingName);
    if (it != m_defaultValues.end())
        return *it;
    if (settingName != QLatin1String("brushPathKey"))
        pf::warning(QStringLiteral("XML Parser Default value missing for key %1").arg(settingName));
    return {};
}

QVariant GMXMLFilterParser::getDefaultValueForInputKey(const QString& settingName,
                                                       const QString& conversionKey) const
{
    const QVariant value = defaultValueForInputKey(settingName);
    if (GMConverter::isNumber(value)) {
        const GMConverter converter = GMConverter::fromRecord(m_conversionInfo.value(conversionKey));
        return converter.isNull() ? value : QVariant(converter(value.toDouble()));
    }
    return value;
}

void GMXMLFilterParser::setDefaultValueForInputKey(const QString& settingName, const QString& conversionKey)
{
    const qsizetype dot = conversionKey.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return;
    if (FilterPtr filter = filterOf(conversionKey.left(dot)))
        filter->setValue(getDefaultValueForInputKey(settingName, conversionKey), conversionKey.mid(dot + 1));
}

void GMXMLFilterParser::connect(const FilterPtr& source, const FilterPtr& target, const QString& key)
{
    GMContentFilterWrapper::connect(source, target, key);
}
