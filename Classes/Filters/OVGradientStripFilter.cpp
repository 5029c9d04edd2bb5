#include "Classes/Filters/OVGradientStripFilter.h"

#include "Classes/Filters/GradientStrip.h"

void OVGradientStripFilter::setValue(const QVariant& value, const QString& key)
{
    if (key != QLatin1String("inputGradient")) {
        OVFilter::setValue(value, key);
        return;
    }
    const GradientStrip::Input input = GradientStrip::input(value);
    OVFilter::setValue(input.stored, key);
    if (input.strip)
        setStrip(*input.strip);
}

void OVGradientStripFilter::copyStateTo(pf::Filter& other) const
{
    OVFilter::copyStateTo(other);
    if (auto* gradient = dynamic_cast<OVGradientStripFilter*>(&other))
        gradient->setStrip(m_strip);
}
