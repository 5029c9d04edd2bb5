#include "Platform/Foundation/KeyValueCoding.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace {

class Settings : public pf::KeyValueCoding
{
public:
    QVariant valueForKey(const QString& key) const override { return values.value(key); }
    void setValueForKey(const QVariant& value, const QString& key) override
    {
        willChangeValueForKey(key);
        values.insert(key, value);
        didChangeValueForKey(key);
    }
    QVariantMap values;
};

TEST(KeyValueCoding, ObserversHearTheirKeyUntilTheirTokenGoes)
{
    Settings settings;
    QStringList heard;
    pf::ObserverToken radius = settings.observeValueForKey(
        "radius", [&] { heard << "will radius " + settings.valueForKey("radius").toString(); },
        [&] { heard << "did radius " + settings.valueForKey("radius").toString(); });
    pf::ObserverToken second;
    // An observer that removes another while they are being told: the removed one is not called.
    pf::ObserverToken remover = settings.observeValueForKey(
        "amount", [&] { second.reset(); }, nullptr);
    second = settings.observeValueForKey(
        "amount", [&] { heard << "second"; }, nullptr);

    settings.setValueForKey(4, "radius");
    settings.setValueForKey(1, "amount");
    EXPECT_EQ(heard, (QStringList{"will radius ", "did radius 4"}));
    radius.reset();
    settings.setValueForKey(5, "radius");
    EXPECT_EQ(heard.size(), 2);

    std::weak_ptr<const void> lifetime;
    {
        Settings gone;
        lifetime = gone.lifetime();
        EXPECT_FALSE(lifetime.expired());
        pf::ObserverToken outlives = gone.observeValueForKey("x", nullptr, nullptr);
        remover = std::move(outlives); // a token that outlives its object removes nothing, safely
    }
    EXPECT_TRUE(lifetime.expired());
    remover.reset();
}

} // namespace
