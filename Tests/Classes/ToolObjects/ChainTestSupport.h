#pragma once

#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/Color.h"

#include <QStringList>
#include <functional>

namespace chaintest {

// The test effects of Tests/Data/Blueprints: "TestTint" (a masked orange wash) and "TestGrey".
inline GMBlueprintCatalog& catalog()
{
    static GMBlueprintCatalog* catalog = [] {
        auto* c = new GMBlueprintCatalog;
        BundleReader::loadAllPluginsInPhotoToolCatalog(
            *c, pf::Bundle(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/Blueprints")));
        return c;
    }();
    return *catalog;
}

inline std::shared_ptr<GMEffectBlueprint> tint()
{
    return catalog().effectBlueprintWithName(QStringLiteral("TestTint"));
}

inline std::shared_ptr<GMEffectBlueprint> grey()
{
    return catalog().effectBlueprintWithName(QStringLiteral("TestGrey"));
}

// Records what a chain tells its delegate, and can call back into the chain while being told.
class RecordingDelegate : public PhotoToolChainDelegate
{
public:
    QStringList calls;
    std::function<void()> reenter;

    void photoToolChainDidInsertToolAtIndex(PhotoToolChain*, int index) override { record("insert", index); }
    void photoToolChainDidSelectToolAtIndex(PhotoToolChain*, int index) override { record("select", index); }
    void photoToolChainDidRemovedToolAtIndex(PhotoToolChain*, int index) override { record("remove", index); }
    void photoToolChainRemovedAllTools(PhotoToolChain*) override { record("removeAll", -1); }
    void photoToolChainCompositionDidChangeAtIndex(PhotoToolChain*, int index) override
    {
        record("composition", index);
    }
    void photoToolChainSettingsDidChange(PhotoToolChain*, const QVariantMap&, int index) override
    {
        record("settings", index);
    }
    void photoToolChainBrushPathDidChange(PhotoToolChain*, OVBrushPathImage*, int index) override
    {
        record("brushPath", index);
    }

private:
    void record(const char* what, int index)
    {
        calls << (index >= 0 ? QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(index)
                             : QString::fromLatin1(what));
        if (reenter)
            reenter();
    }
};

inline pf::Image photo(int width, int height)
{
    return pf::Image::constantColor(pf::Color(0.2, 0.4, 0.6))
        .imageByCroppingToRect(pf::Rect(0, 0, width, height));
}

} // namespace chaintest
