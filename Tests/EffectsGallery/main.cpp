#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectPicker.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Classes/Frames/OVFilterPreview.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/EditorClasses.h"
#include "Tests/Gallery/GalleryShots.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDial>
#include <QTemporaryDir>
#include <cstdio>
#include <set>

namespace {

using namespace GalleryShots;

// The effects whose settings views hold every control type between them: pop-ups, sliders, a colour
// well and a check box (textured frame), a circular slider (reflection), a gradient picker.
void settingsViews(GMFrameworkEffectsWindow& effects)
{
    OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
    std::set<QString> types;
    for (const char* name : {"Textured Frame", "Reflection", "Gradient Multiply"}) {
        std::unique_ptr<OVEffect> effect = catalog.effectForDisplayName(QString::fromUtf8(name));
        check(effect != nullptr, "a shipped effect is made by its shown name");
        if (!effect)
            continue;
        effects.appendEffect(std::move(effect));
        for (QWidget* control : effects.effects().back()->settingsControls())
            types.insert(QString::fromLatin1(control->metaObject()->className()));
    }
    check(types.size() == 6, "the settings views hold all six control types");
    GalleryShots::settle(400);
    check(!effects.shownImage().isNull(), "the chain's output is shown");
    save(effects.window()->grab().toImage(), QStringLiteral("01-settings-every-control-type"));

    // A slider moved: the chain renders again.
    OVEffect& reflection = *effects.effects().at(1);
    for (QWidget* control : reflection.settingsControls()) {
        if (auto* slider = qobject_cast<OVSlider*>(control)) {
            slider->setDoubleValue(1.0);
            reflection.controlValueChanged(slider);
            break;
        }
    }
    GalleryShots::settle(200);
    save(effects.window()->grab().toImage(), QStringLiteral("02-reflection-height-full"));
}

void pickerOpen(GMFrameworkEffectsWindow& effects)
{
    effects.showEffectPicker();
    pf::Menu* menu = OVEffectPicker::sharedEffectPicker().listMenu();
    check(GalleryShots::waitFor([&] { return menu->isVisible(); }, 3000), "the picker's menu opens");
    QAction* item = nullptr;
    for (QAction* action : menu->actions())
        if (pf::Menu::title(action) == QLatin1String("Dimmed Black and White"))
            item = action;
    check(item != nullptr, "the picker lists the dimmed black and white");
    if (item)
        menu->setActiveAction(item);
    GalleryShots::settle(400);
    check(effects.effectPreview()->isVisible() && !effects.effectPreview()->outputImage().isNull(),
          "the highlighted effect is previewed");
    save(GalleryShots::screenshot(effects.window()), QStringLiteral("03-picker-open-with-highlight"));
    menu->hide();
    GalleryShots::settle(200);
    check(!effects.effectPreview()->isVisible(), "the preview goes with the menu");
}

void filterPreviews()
{
    pf::Window window(pf::Rect(60, 60, 620, 240));
    window.setTitle(QStringLiteral("Filter previews"));
    auto* content = new pf::View(pf::Rect(0, 0, 620, 240));
    window.setContentView(content);
    struct Preview
    {
        const char* filter;
        bool adjustImage, adjustResult;
        std::vector<std::pair<const char*, QVariant>> inputs;
    };
    const Preview previews[] = {
        {"OVDimmedBWFilter", true, false, {{"filter.inputBrightness", 0.8}}},
        {"OVReflectionFilter", false, true, {{"filter.inputHeight", 0.5}}},
        {"OVRotateColorFilter", true, false, {}},
        {"NoSuchFilter", true, false, {}},
    };
    double x = 20;
    for (const Preview& p : previews) {
        auto* preview = new OVFilterPreview(pf::Rect(x, 30, 130, 180));
        preview->setAdjustImage(p.adjustImage);
        preview->setAdjustResult(p.adjustResult);
        preview->setFilterName(QString::fromLatin1(p.filter));
        preview->setImageName(QStringLiteral("Samples/TestPerson"));
        for (const auto& [path, value] : p.inputs)
            preview->setValueForKeyPath(QString::fromLatin1(path), value);
        preview->awakeFromNib();
        content->addSubview(preview);
        x += 150;
    }
    window.show();
    GalleryShots::settle(400);
    save(window.grab().toImage(), QStringLiteral("04-filter-previews"));
    window.close();
}

} // namespace

// A stack taller than the column: the last one added is scrolled into view, with the scroller beside it.
void tallStack(GMFrameworkEffectsWindow& effects)
{
    OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
    for (const char* name : {"Rotate Color", "Drop Shadow", "Replace Color", "Keep Color", "Gradient Map",
                             "Reflection", "Rotate Color", "Drop Shadow", "Replace Color"})
        effects.appendEffect(catalog.effectForDisplayName(QString::fromUtf8(name)));
    GalleryShots::settle(400);
    pf::View* last = effects.effects().back()->settingsView();
    check(last->visibleRect().height() == last->bounds().height(), "the last effect added is shown");
    check(effects.effects().front()->settingsView()->visibleRect().height() == 0,
          "the first effect is scrolled out of the column");
    save(effects.window()->grab().toImage(), QStringLiteral("05-tall-stack-scrolled-to-the-last"));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QImage portrait = gallerySupport::portraitOrExit(argc, argv, &outputFolder);
    QTemporaryDir sandbox;
    GalleryShots::useSandbox(sandbox);
    FilterLibrary::registerAll();
    FramesLibrary::registerAll();

    {
        GMFrameworkEffectsWindow effects(pf::Image::fromQImage(portrait));
        effects.window()->show();
        GalleryShots::settle(300);
        settingsViews(effects);
        pickerOpen(effects);
        tallStack(effects);
        effects.window()->close();
    }
    filterPreviews();
    return exitCodeWithCount();
}
