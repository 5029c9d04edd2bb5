#include "Classes/Frames/OVEffect.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/PaintColor.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/View.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Passes its input through; holds a distance, a colour, a choice and a flag.
class EffectTestFilter : public pf::Filter
{
public:
    EffectTestFilter() : pf::Filter(QStringLiteral("EffectTestFilter"))
    {
        declareInput(QStringLiteral("inputImage"));
        declareInput(QStringLiteral("inputRadius"), {{pf::FilterAttribute::Default, 10.0},
                                                     {pf::FilterAttribute::SliderMin, 0.0},
                                                     {pf::FilterAttribute::SliderMax, 100.0}});
        declareInput(QStringLiteral("inputColor"));
        declareInput(QStringLiteral("inputShape"), {{pf::FilterAttribute::Default, QStringLiteral("Round")}});
        declareInput(QStringLiteral("inputSoft"), {{pf::FilterAttribute::Default, 0.0}});
    }
    pf::Image outputImage() const override { return imageValue(QStringLiteral("inputImage")); }
};

struct Sink : OVEffectSuccessor
{
    void setInputImage(const pf::Image& image) override { last = image; }
    void setGlobalSettings(const QVariantMap&) override {}
    void removeImageInput() override { last = pf::Image(); }
    void addResourcesToArray(QStringList&) override {}
    pf::Image last;
};

QVariantMap control(int type, const QString& input, const QVariantMap& more = {})
{
    QVariantMap entry = more;
    entry[QStringLiteral("type")] = type;
    entry[QStringLiteral("inputName")] = input;
    return entry;
}

QVariantMap description(const QVariantMap& more = {})
{
    QVariantMap d = {
        {QStringLiteral("name"), QStringLiteral("EffectTest")},
        {QStringLiteral("relative"), QStringList{QStringLiteral("inputRadius")}},
        {QStringLiteral("settingsUI"),
         QVariantMap{{QStringLiteral("Radius"), control(0, QStringLiteral("inputRadius"))},
                     {QStringLiteral("Color"), control(2, QStringLiteral("inputColor"))},
                     {QStringLiteral("Shape"),
                      control(1, QStringLiteral("inputShape"),
                              {{QStringLiteral("choices"),
                                QStringList{QStringLiteral("Round"), QStringLiteral("Square")}},
                               {QStringLiteral("customImage"), true}})}}},
        {QStringLiteral("settingsUIOrder"),
         QStringList{QStringLiteral("Shape"), QStringLiteral("Radius"), QStringLiteral("Color")}}};
    for (auto it = more.begin(); it != more.end(); ++it)
        d[it.key()] = it.value();
    return d;
}

pf::Image picture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::gray);
    return pf::Image::fromQImage(image);
}

class EffectTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        pf::Filter::registerFilter(QStringLiteral("EffectTestFilter"),
                                   [] { return std::make_shared<EffectTestFilter>(); });
    }
};

TEST_F(EffectTest, SettingsViewRowsComeInOrderFromTheTop)
{
    struct Case
    {
        const char* what;
        QVariantMap description;
        double height;
        QStringList labels; // top to bottom
    };
    QVariantMap unordered = description();
    unordered.remove(QStringLiteral("settingsUIOrder"));
    QVariantMap empty = description();
    empty.remove(QStringLiteral("settingsUIOrder"));
    empty.remove(QStringLiteral("settingsUI"));
    const Case cases[] = {
        {"ordered", description(), 76, {"Shape", "Radius", "Color"}},
        {"no order: one row per entry", unordered, 76, {"Color", "Radius", "Shape"}},
        {"no rows: one empty row's height", empty, 22, {}},
    };
    for (const Case& c : cases) {
        auto effect = OVEffect::create(c.description);
        ASSERT_TRUE(effect) << c.what;
        pf::View* view = effect->settingsView();
        EXPECT_EQ(view->height(), c.height) << c.what;
        QList<std::pair<int, QString>> labels;
        for (auto* label : view->findChildren<OVLabel*>(Qt::FindDirectChildrenOnly)) {
            if (!qobject_cast<OVPopupButton*>(label))
                labels.append({label->geometry().top(), label->stringValue()});
        }
        std::sort(labels.begin(), labels.end());
        QStringList texts;
        for (const auto& [top, text] : labels)
            texts << text;
        EXPECT_EQ(texts, c.labels) << c.what;
        for (int i = 1; i < labels.size(); ++i)
            EXPECT_EQ(labels[i].first - labels[i - 1].first, 27) << c.what;
    }
}

TEST_F(EffectTest, MissingControlEntryKeepsItsLabelAndWarns)
{
    QVariantMap d = description();
    d[QStringLiteral("settingsUIOrder")] = QStringList{QStringLiteral("Radius"), QStringLiteral("Ghost")};
    auto effect = OVEffect::create(d);
    pf::LogCapture log;
    EXPECT_EQ(effect->settingsView()->height(), 49);
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral(
                  "Warning: settingsUI Description for 'Ghost' is missing in Effect 'EffectTest'")});
    EXPECT_EQ(effect->settingsControls().size(), 1);
}

TEST_F(EffectTest, CreationByNameWithFilterSuffixWarnsAndNoNameGivesNothing)
{
    pf::LogCapture log;
    EXPECT_TRUE(OVEffect::effectWithName(QStringLiteral("EffectTest")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("Warning: Filter with name EffectTest not found, EffectTestFilter used instead")));
    log.clear();
    EXPECT_FALSE(OVEffect::create({}));
    EXPECT_FALSE(OVEffect::effectWithName(QStringLiteral("Nowhere")));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Warning: Neither Filter with name Nowhere nor NowhereFilter found")));
}

TEST_F(EffectTest, ColoursGoInAndComeOutAsText)
{
    auto effect = OVEffect::create(description());
    effect->setSettings({{QStringLiteral("inputColor"), QStringLiteral("0.25 0.5 0.75 1")}});
    EXPECT_EQ(effect->filter()->value(QStringLiteral("inputColor")).value<pf::Color>(),
              pf::Color(0.25, 0.5, 0.75, 1));
    EXPECT_EQ(effect->settings().value(QStringLiteral("inputColor")).toString(),
              pf::Color(0.25, 0.5, 0.75, 1).toString());
    effect->setSettings({{QStringLiteral("inputColor"), QVariant::fromValue(pf::Color(1, 0, 0, 1))}});
    EXPECT_EQ(effect->settings().value(QStringLiteral("inputColor")).toString(),
              pf::Color(1, 0, 0, 1).toString());
}

TEST_F(EffectTest, AGreyWellKeepsItsWhite)
{
    const std::pair<double, double> greys[] = {{0, 1}, {0.5, 0.75}, {1, 1}};
    for (const auto& [white, alpha] : greys) {
        auto effect = OVEffect::create(description());
        effect->settingsView();
        OVColorWell* well = nullptr;
        for (QWidget* c : effect->settingsControls())
            if (auto* w = qobject_cast<OVColorWell*>(c))
                well = w;
        ASSERT_TRUE(well);
        well->setColor(pf::PaintColor::calibratedWhite(white, alpha));
        effect->controlValueChanged(well);
        EXPECT_EQ(effect->filter()->value(QStringLiteral("inputColor")).value<pf::Color>(),
                  pf::Color(white, white, white, alpha))
            << white;
    }
}

TEST_F(EffectTest, RelativeSettingsFollowThePictureEnabledOrNotWithOrWithoutSuccessor)
{
    for (bool enabled : {true, false}) {
        for (bool withSuccessor : {true, false}) {
            const std::string what =
                std::string(enabled ? "enabled" : "disabled") + (withSuccessor ? ", chained" : "");
            Sink sink;
            auto effect = OVEffect::create(description());
            if (withSuccessor)
                effect->setSuccessor(&sink);
            effect->settingsView();
            effect->setEnabled(enabled);
            effect->setSettings({{QStringLiteral("inputRadius"), 0.05}});
            effect->setInputImage(picture(2000, 1000));
            EXPECT_DOUBLE_EQ(effect->filter()->value(QStringLiteral("inputRadius")).toDouble(), 50) << what;
            effect->updateSettings();
            EXPECT_DOUBLE_EQ(effect->settings().value(QStringLiteral("inputRadius")).toDouble(), 0.05)
                << what;
            effect->filter()->setValue(100.0, QStringLiteral("inputRadius"));
            effect->updateSettings();
            EXPECT_DOUBLE_EQ(effect->settings().value(QStringLiteral("inputRadius")).toDouble(), 0.1) << what;
            effect->setValue(QStringLiteral("inputRadius"), 0.02);
            EXPECT_DOUBLE_EQ(effect->filter()->value(QStringLiteral("inputRadius")).toDouble(), 20) << what;
        }
    }
}

TEST_F(EffectTest, DisablingHandsOnTheInputAndOutputRequestsWithoutInputPostOnce)
{
    Sink sink;
    auto effect = OVEffect::create(description());
    int posted = 0;
    auto token = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("EffectNeedsUpd"), effect.get(), [&](const pf::Notification&) { ++posted; });
    effect->outputImage();
    effect->outputImage();
    EXPECT_EQ(posted, 1);
    effect->setSuccessor(&sink);
    const pf::Image input = picture(40, 30);
    effect->setInputImage(input);
    EXPECT_FALSE(effect->waitingForUpdate());
    effect->setEnabled(false);
    EXPECT_EQ(sink.last.extent(), input.extent());
    effect->setEnabled(true);
    EXPECT_FALSE(sink.last.isNull());
}

class EffectUndo : public EffectTest
{
protected:
    void SetUp() override
    {
        pf::Event::setPressedMouseButtonsProvider([this] { return buttons; });
    }
    void TearDown() override
    {
        pf::Event::setPressedMouseButtonsProvider(nullptr);
        pf::FilePanel::setResponder(nullptr);
    }
    unsigned buttons = 0;
    pf::UndoManager manager;
};

TEST_F(EffectUndo, OneStepPerSliderDragAndPerSwitch)
{
    auto effect = OVEffect::create(description());
    effect->setUndoManager(&manager);
    effect->setInputImage(picture(100, 100));
    effect->settingsView();
    OVSlider* slider = nullptr;
    for (QWidget* c : effect->settingsControls())
        if (auto* s = qobject_cast<OVSlider*>(c))
            slider = s;
    ASSERT_TRUE(slider);
    const double before = effect->settings().value(QStringLiteral("inputRadius")).toDouble();
    buttons = 1;
    for (double v : {0.2, 0.3, 0.4}) {
        slider->setDoubleValue(v);
        effect->controlValueChanged(slider);
    }
    buttons = 0;
    UndoManagerORVExtension::gestureEndedFor(*effect);
    QCoreApplication::processEvents();
    effect->setEnabled(false);
    QCoreApplication::processEvents();

    manager.undo();
    EXPECT_TRUE(effect->isEnabled());
    EXPECT_DOUBLE_EQ(effect->settings().value(QStringLiteral("inputRadius")).toDouble(), 0.4);
    manager.undo();
    EXPECT_DOUBLE_EQ(effect->settings().value(QStringLiteral("inputRadius")).toDouble(), before);
    EXPECT_FALSE(manager.canUndo());
}

TEST_F(EffectUndo, UndoingSettingsKeepsTheChosenImage)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mine.png"));
    QImage(4, 4, QImage::Format_ARGB32).save(file);
    pf::FilePanel::setResponder([&](const pf::FilePanel&) { return QStringList{file}; });
    auto effect = OVEffect::create(description());
    effect->setUndoManager(&manager);
    effect->settingsView();
    auto* popup = qobject_cast<OVPopupButton*>(effect->settingsControls().value(0));
    ASSERT_TRUE(popup);
    popup->setSelectedItem(popup->menu()->actions().last());
    effect->controlValueChanged(popup);
    const QVariantMap chosen = effect->settings().value(QStringLiteral("resource")).toMap();
    ASSERT_EQ(chosen.size(), 1);
    QCoreApplication::processEvents();

    effect->setValue(QStringLiteral("settings"), QVariantMap{{QStringLiteral("inputRadius"), 0.3}});
    QCoreApplication::processEvents();
    manager.undo();
    EXPECT_EQ(effect->settings().value(QStringLiteral("resource")).toMap(), chosen);
    EXPECT_EQ(effect->settings().value(QStringLiteral("inputShape")),
              chosen.value(QStringLiteral("inputShape")));
}

TEST(EffectsList, EveryEffectMakesItsFilterAndEveryRowItsControl)
{
    QFile file(pf::Bundle::main().pathForResource(QStringLiteral("Effects"), QStringLiteral("plist")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto list = pf::PropertyList::fromData(file.readAll());
    ASSERT_TRUE(list);
    const QVariantList effects = list->toList();
    EXPECT_GE(effects.size(), 6);
    for (const QVariant& entry : effects) {
        const QVariantMap d = entry.toMap();
        const QString name = d.value(QStringLiteral("name")).toString();
        pf::LogCapture log;
        auto effect = OVEffect::create(d);
        ASSERT_TRUE(effect) << name.toStdString();
        effect->settingsView();
        EXPECT_EQ(effect->settingsControls().size(), d.value(QStringLiteral("settingsUI")).toMap().size())
            << name.toStdString();
        EXPECT_FALSE(log.contains(QStringLiteral("Warning")))
            << name.toStdString() << log.lines().join(u'\n').toStdString();
    }
}

TEST_F(EffectTest, OutputKeepsFloatPrecisionForTheNextEffect)
{
    // A value between two 8-bit steps, and one beyond white: both survive the effect's own rendering.
    pf::Bitmap bitmap(4, 2, pf::Bitmap::Format::RGBAf);
    for (int y = 0; y < 2; ++y) {
        auto* row = reinterpret_cast<float*>(bitmap.mutableRow(y));
        for (int x = 0; x < 4; ++x) {
            row[4 * x] = 0.3337f;
            row[4 * x + 1] = 1.25f;
            row[4 * x + 2] = 0.0f;
            row[4 * x + 3] = 1.0f;
        }
    }
    auto effect = OVEffect::create(description());
    ASSERT_TRUE(effect);
    Sink sink;
    effect->setSuccessor(&sink);
    effect->setInputImage(pf::Image::fromBitmap(bitmap));
    ASSERT_FALSE(sink.last.isNull());
    const auto pixels =
        pf::RenderContext::shared()->render(sink.last, pf::Rect(0, 0, 4, 2), pf::Bitmap::Format::RGBAf);
    ASSERT_TRUE(pixels);
    const auto* first = reinterpret_cast<const float*>(pixels->row(1));
    EXPECT_NEAR(first[0], 0.3337f, 1e-5);
    EXPECT_NEAR(first[1], 1.25f, 1e-5);
}

} // namespace
