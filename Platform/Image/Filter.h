#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Vector.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace pf {

// The attribute keys and values filters describe their inputs with. The strings are the ones effect
// descriptions and stored settings use, so they must stay as they are.
namespace FilterAttribute {
inline const QString Class = QStringLiteral("CIAttributeClass");
inline const QString Default = QStringLiteral("CIAttributeDefault");
inline const QString Min = QStringLiteral("CIAttributeMin");
inline const QString Max = QStringLiteral("CIAttributeMax");
inline const QString SliderMin = QStringLiteral("CIAttributeSliderMin");
inline const QString SliderMax = QStringLiteral("CIAttributeSliderMax");
inline const QString Identity = QStringLiteral("CIAttributeIdentity");
inline const QString Type = QStringLiteral("CIAttributeType");
inline const QString FilterName = QStringLiteral("CIAttributeFilterName");

inline const QString ClassImage = QStringLiteral("CIImage");
inline const QString ClassNumber = QStringLiteral("NSNumber");
inline const QString ClassVector = QStringLiteral("CIVector");
inline const QString ClassColor = QStringLiteral("CIColor");
inline const QString ClassValue = QStringLiteral("NSValue");
inline const QString ClassString = QStringLiteral("NSString");

inline const QString TypeDistance = QStringLiteral("CIAttributeTypeDistance");
inline const QString TypeScalar = QStringLiteral("CIAttributeTypeScalar");
inline const QString TypeAngle = QStringLiteral("CIAttributeTypeAngle");
inline const QString TypeBoolean = QStringLiteral("CIAttributeTypeBoolean");
inline const QString TypeCount = QStringLiteral("CIAttributeTypeCount");
inline const QString TypeInteger = QStringLiteral("CIAttributeTypeInteger");
inline const QString TypePosition = QStringLiteral("CIAttributeTypePosition");
inline const QString TypeOffset = QStringLiteral("CIAttributeTypeOffset");
inline const QString TypeRectangle = QStringLiteral("CIAttributeTypeRectangle");
inline const QString TypeOpaqueColor = QStringLiteral("CIAttributeTypeOpaqueColor");
inline const QString TypeColor = QStringLiteral("CIAttributeTypeColor");
inline const QString TypeImage = QStringLiteral("CIAttributeTypeImage");
inline const QString TypeTransform = QStringLiteral("CIAttributeTypeTransform");
} // namespace FilterAttribute

inline const QString OutputImageKey = QStringLiteral("outputImage");

// The base of every filter: named inputs set and read by key, attributes that describe them, defaults,
// an output image built anew at every request, copies, and creation by name from a registry.
// Filters are used by one thread at a time; the registry is thread-safe.
class Filter
{
public:
    using Factory = std::function<std::shared_ptr<Filter>()>;

    explicit Filter(QString name);
    virtual ~Filter();
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    // Registration is an explicit call at start-up (never a static initialiser). A later registration
    // of the same name replaces the earlier one.
    static void registerFilter(const QString& name, Factory factory);
    static bool isRegistered(const QString& name);
    static QStringList registeredNames();
    // A new filter of that name, or null (with a warning) when the name is unknown.
    static std::shared_ptr<Filter> create(const QString& name);
    // The factory registered under that name (empty when none is).
    static Factory factory(const QString& name);

    QString name() const { return m_name; }

    // Input keys in the order they were declared.
    virtual QStringList inputKeys() const;
    virtual QStringList outputKeys() const { return {OutputImageKey}; }
    // Per input key its attribute dictionary, plus FilterAttribute::FilterName.
    virtual QVariantMap attributes() const;
    QVariantMap attributesForKey(const QString& key) const;

    // Unknown keys are logged and ignored. "outputImage" reads the output image.
    virtual void setValue(const QVariant& value, const QString& key);
    virtual QVariant value(const QString& key) const;
    bool hasValue(const QString& key) const { return m_values.contains(key); }

    // Sets every input that has a default to it, through setValue.
    virtual void setDefaults();
    virtual Image outputImage() const;

    // A new filter of the same name with the same input values. Subclasses holding more than their
    // inputs override copyStateTo.
    virtual std::shared_ptr<Filter> copy() const;

    // Whole numbers from an input value: saturated to the int range, NaN gives 0.
    static int saturatingInt(double value);

protected:
    void declareInput(const QString& key, const QVariantMap& attributes = {});
    bool isDeclared(const QString& key) const;
    virtual void copyStateTo(Filter& other) const;

    // Typed reads of input values, lenient about the stored kind.
    Image imageValue(const QString& key) const;
    double numberValue(const QString& key, double fallback = 0.0) const;
    int intValue(const QString& key) const { return saturatingInt(numberValue(key)); }
    bool boolValue(const QString& key) const { return numberValue(key) != 0.0; }
    Vector vectorValue(const QString& key) const;
    Color colorValue(const QString& key) const;
    AffineTransform transformValue(const QString& key) const;
    QString stringValue(const QString& key) const;

private:
    QString m_name;
    QStringList m_declared;
    QVariantMap m_attributes;
    QVariantMap m_values;
};

using FilterPtr = std::shared_ptr<Filter>;

} // namespace pf

Q_DECLARE_METATYPE(pf::FilterPtr)
