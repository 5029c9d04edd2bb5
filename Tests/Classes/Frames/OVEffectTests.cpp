#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVFrameDescription.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVGradientPicker.h"
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
#include "Platform/Image/ImageAccumulator.h"
#include "Platform/Image/PaintColor.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/View.h"
#include "Tests/Classes/Framework/Toolkit/ControlsTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDial>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

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

// A file that is no picture, chosen as a pop-up's custom image, is refused with the alert Picture… shows
// for it: it was taken without a word, and the effect drew no texture.
TEST_F(EffectUndo, ACustomImageThatIsNoPictureIsRefusedWithAnAlert)
{
    QTemporaryDir dir;
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {{"notes.png", "these are words, not pixels"}, {"empty.jpg", {}}};
    QStringList alerts;
    pf::Alert::setResponder([&](const pf::Alert& alert) {
        alerts << alert.messageText;
        return pf::Alert::firstButtonReturn;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(QString::fromLatin1(c.name));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.bytes);
        out.close();
        pf::FilePanel::setResponder([&](const pf::FilePanel&) { return QStringList{file}; });
        auto effect = OVEffect::create(description());
        effect->setUndoManager(&manager);
        effect->setInputImage(picture(100, 100));
        effect->settingsView();
        auto* popup = qobject_cast<OVPopupButton*>(effect->settingsControls().value(0));
        ASSERT_TRUE(popup);
        const QVariantMap before = effect->settings();
        alerts.clear();
        popup->menu()->actions().last()->trigger(); // "Custom Image"
        QCoreApplication::processEvents();
        ASSERT_EQ(alerts.size(), 1) << "the person is told";
        EXPECT_EQ(alerts.front(), QStringLiteral("The picture “%1” could not be read.").arg(c.name));
        EXPECT_EQ(effect->settings(), before) << "the effect keeps its texture";
        EXPECT_FALSE(manager.canUndo());
        EXPECT_EQ(popup->selectedItem(), popup->menu()->actions().first()) << "the pop-up shows it";
    }
    pf::Alert::setResponder({});
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

TEST(EffectsList, ColourWellsShowTheColourInUseAndAStoredColourComesBack)
{
    QFile file(pf::Bundle::main().pathForResource(QStringLiteral("Effects"), QStringLiteral("plist")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QVariantList effects = pf::PropertyList::fromData(file.readAll())->toList();
    // The wells of an effect, with the keys they edit, in the order of its rows.
    auto wells = [](OVEffect& effect, const QVariantMap& d) {
        effect.settingsView();
        QList<std::pair<QString, OVColorWell*>> found;
        const QVariantMap ui = d.value(QStringLiteral("settingsUI")).toMap();
        const QList<QWidget*> controls = effect.settingsControls();
        const QStringList rows = d.value(QStringLiteral("settingsUIOrder")).toStringList();
        for (int i = 0; i < rows.size() && i < controls.size(); ++i) {
            auto* well = qobject_cast<OVColorWell*>(controls.at(i));
            if (well && !qobject_cast<OVGradientPicker*>(well))
                found.append(
                    {ui.value(rows.at(i)).toMap().value(QStringLiteral("inputName")).toString(), well});
        }
        return found;
    };
    auto same = [](const pf::PaintColor& shown, const pf::Color& used) {
        return std::abs(shown.red() - used.red()) < 1e-4 && std::abs(shown.green() - used.green()) < 1e-4 &&
               std::abs(shown.blue() - used.blue()) < 1e-4 && std::abs(shown.alpha() - used.alpha()) < 1e-4;
    };
    int checked = 0;
    for (const QVariant& entry : effects) {
        const QVariantMap d = entry.toMap();
        const std::string name = d.value(QStringLiteral("name")).toString().toStdString();
        auto effect = OVEffect::create(d);
        ASSERT_TRUE(effect) << name;
        for (const auto& [key, well] : wells(*effect, d)) {
            ++checked;
            const pf::Color used = effect->filter()->value(key).value<pf::Color>();
            // A frame's texture is tinted with the frame's own colour until the user picks another.
            if (d.value(QStringLiteral("ciName")) == QStringLiteral("OVTexturedFrameFilter")) {
                const auto frame = OVFrameCatalog::frameWithNameInCatalogs(
                    effect->settingsValueForKey(QStringLiteral("inputFrameName")).toString());
                ASSERT_TRUE(frame) << name;
                EXPECT_TRUE(same(well->color(), frame->textureColor())) << name;
            }
            EXPECT_GT(well->color().alpha(), 0) << name << " " << key.toStdString();
            EXPECT_TRUE(same(well->color(), used)) << name << " " << key.toStdString();
            EXPECT_TRUE(same(well->color(), effect->settingsValueForKey(key).value<pf::Color>())) << name;
            effect->setValue(key, QVariant::fromValue(pf::Color(0.2, 0.4, 0.6, 1)));
        }
        // The chosen colours reach the filter again from the stored settings, after the frame or texture
        // that brings a colour of its own.
        auto restored = OVEffect::create(d, effect->settings());
        for (const auto& [key, well] : wells(*restored, d)) {
            EXPECT_TRUE(same(well->color(), pf::Color(0.2, 0.4, 0.6, 1))) << name << " " << key.toStdString();
            EXPECT_TRUE(same(well->color(), restored->filter()->value(key).value<pf::Color>())) << name;
        }
    }
    EXPECT_GE(checked, 6);
}

// Renders whatever reaches the chain's end, as the effects window does, and counts its own passes.
struct RenderingSink : OVEffectSuccessor
{
    void setInputImage(const pf::Image& image) override
    {
        last = image;
        const uint64_t before = passes();
        rendered = pf::RenderContext::shared()->render(image, image.extent());
        ownPasses += passes() - before;
    }
    void setGlobalSettings(const QVariantMap&) override {}
    void removeImageInput() override { last = pf::Image(); }
    void addResourcesToArray(QStringList&) override {}
    static uint64_t passes() { return pf::RenderStatistics::passes() + pf::RenderStatistics::cpuPasses(); }
    pf::Image last;
    std::optional<pf::Bitmap> rendered;
    uint64_t ownPasses = 0;
};

pf::Image gradientPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor(x * 255 / width, y * 255 / height, (x * y) % 256));
    return pf::Image::fromQImage(image);
}

TEST(EffectChain, SliderChangesRenderOnlyTheChainsEndAndKeepTheStageByStageResult)
{
    struct Case
    {
        QStringList effects;
        QString key; // a slider of the middle effect
        double first, second;
    };
    const Case cases[] = {
        {{QStringLiteral("Dimmed Black and White"), QStringLiteral("Reflection"),
          QStringLiteral("Gradient Map")},
         QStringLiteral("inputHeight"),
         0.3,
         0.6},
        {{QStringLiteral("Rotate Color"), QStringLiteral("Keep Color"), QStringLiteral("Reflection")},
         QStringLiteral("inputIntensity"),
         0.2,
         0.4},
    };
    OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
    const pf::Image input = gradientPicture(90, 60);
    for (const Case& c : cases) {
        const std::string label = c.effects.join(u',').toStdString();
        std::vector<std::unique_ptr<OVEffect>> chain;
        RenderingSink sink;
        for (const QString& name : c.effects) {
            chain.push_back(catalog.effectForDisplayName(name));
            ASSERT_TRUE(chain.back()) << label;
        }
        for (size_t i = 0; i < chain.size(); ++i)
            chain[i]->setSuccessor(i + 1 < chain.size() ? static_cast<OVEffectSuccessor*>(chain[i + 1].get())
                                                        : &sink);
        chain[1]->settingsView();
        chain.front()->setInputImage(input);
        chain[1]->setValue(c.key, c.first);
        ASSERT_TRUE(sink.rendered) << label;

        // A further change renders nothing but what the chain's end renders.
        sink.ownPasses = 0;
        const uint64_t before = RenderingSink::passes();
        chain[1]->setValue(c.key, c.second);
        ASSERT_TRUE(sink.rendered) << label;
        EXPECT_GT(sink.ownPasses, 0u) << label;
        EXPECT_EQ(RenderingSink::passes() - before, sink.ownPasses) << label;

        // Every stage rendered to float pixels before the next reads them gives the same picture, on the
        // same extent.
        pf::Image stage = input;
        for (const QString& name : c.effects) {
            auto alone = catalog.effectForDisplayName(name);
            if (name == c.effects.at(1))
                alone->setSettings(chain[1]->settings());
            alone->setInputImage(stage);
            const pf::Image output = alone->outputImage();
            pf::ImageAccumulator accumulator(output.extent(), nullptr, pf::Bitmap::Format::RGBAf);
            ASSERT_TRUE(accumulator.setImage(output)) << label;
            stage = accumulator.image();
        }
        ASSERT_EQ(stage.extent(), sink.last.extent()) << label;
        const auto expected = pf::RenderContext::shared()->render(stage, stage.extent());
        ASSERT_TRUE(expected) << label;
        const pf::Bitmap& shown = *sink.rendered;
        ASSERT_EQ(shown.width(), expected->width()) << label;
        ASSERT_EQ(shown.height(), expected->height()) << label;
        // Within one 8-bit step: kernels computed in one pass may round their floats a little
        // differently from kernels whose result was stored between passes.
        int largest = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width() * 4; ++x)
                largest = std::max(largest, std::abs(int(shown.row(y)[x]) - int(expected->row(y)[x])));
        EXPECT_LE(largest, 1) << label;
    }
}

// A frame after an effect that changes (a drag of its slider) keeps its mask, textured frame and shadow:
// the same picture size needs none of them again, curved or straight. The effect wrote the frame's width
// again with every new picture, and each write dropped them. A width of its own still does.
TEST(EffectChain, AFrameAfterAChangedEffectKeepsWhatItMade)
{
    OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
    const pf::Image input = gradientPicture(120, 80);
    for (const char* frame : {"Wood - Light Oak", "Wood - Walnut Oval", "Paper - Handmade Arch"}) {
        SCOPED_TRACE(frame);
        auto rotate = catalog.effectForDisplayName(QStringLiteral("Rotate Color"));
        auto framed = catalog.effectForDisplayName(QStringLiteral("Textured Frame"));
        ASSERT_TRUE(rotate && framed);
        framed->setSettings({{QStringLiteral("inputFrameName"), QString::fromLatin1(frame)},
                             {QStringLiteral("inputShadowWidth"), 0.02}});
        auto* filter = dynamic_cast<OVTexturedFrameFilter*>(framed->filter());
        ASSERT_TRUE(filter);
        RenderingSink sink;
        rotate->setSuccessor(framed.get());
        framed->setSuccessor(&sink);
        rotate->settingsView();
        framed->settingsView();
        rotate->setInputImage(input);
        ASSERT_TRUE(sink.rendered);
        const pf::Image mask = filter->cachedMask(), textured = filter->cachedFrame(),
                        shadow = filter->cachedShadow();
        ASSERT_FALSE(mask.isNull() || textured.isNull() || shadow.isNull());
        for (double angle : {0.2, 0.45}) {
            rotate->setValue(QStringLiteral("inputAngle"), angle);
            ASSERT_TRUE(sink.rendered);
            EXPECT_TRUE(filter->cachedMask() == mask) << angle;
            EXPECT_TRUE(filter->cachedFrame() == textured) << angle;
            EXPECT_TRUE(filter->cachedShadow() == shadow) << angle;
        }
        framed->setValue(QStringLiteral("inputWidth"), 0.08);
        EXPECT_FALSE(filter->cachedMask() == mask) << "a width of its own makes the mask anew";
        rotate->setSuccessor(nullptr);
    }
}

// A photo far larger than the renderer works out whole, chosen as Texturize's custom image, is drawn as
// the texture: its render failed and the window lost its picture.
TEST(EffectChain, AVeryLargeCustomImageIsDrawnAsATexture)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.jpg"));
    {
        QImage large(12000, 8000, QImage::Format_RGB32);
        large.fill(QColor(150, 60, 30));
        ASSERT_TRUE(large.save(file, "JPEG", 60));
    }
    pf::FilePanel::setResponder([&](const pf::FilePanel&) { return QStringList{file}; });
    auto effect = OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QStringLiteral("Texturize"));
    ASSERT_TRUE(effect);
    RenderingSink sink;
    effect->setSuccessor(&sink);
    const pf::Image input = gradientPicture(300, 200);
    effect->setInputImage(input);
    effect->settingsView();
    OVPopupButton* textures = nullptr;
    for (QWidget* control : effect->settingsControls())
        if (auto* popup = qobject_cast<OVPopupButton*>(control))
            textures = popup;
    ASSERT_TRUE(textures);
    pf::LogCapture log;
    textures->menu()->actions().last()->trigger(); // "Custom Image"
    QCoreApplication::processEvents();
    pf::FilePanel::setResponder(nullptr);
    EXPECT_EQ(effect->settings().value(QStringLiteral("resource")).toMap().size(), 1) << "taken";
    ASSERT_TRUE(sink.rendered) << log.lines().join(u'\n').toStdString();
    const auto plain = pf::RenderContext::shared()->render(input, input.extent());
    ASSERT_TRUE(plain);
    ASSERT_EQ(sink.rendered->width(), plain->width());
    // The texture's warm colour is laid over the gradient.
    double warmer = 0;
    for (int y = 0; y < plain->height(); ++y)
        for (int x = 0; x < plain->width(); ++x)
            warmer += double(sink.rendered->row(y)[x * 4]) - double(sink.rendered->row(y)[x * 4 + 2]) -
                      (double(plain->row(y)[x * 4]) - double(plain->row(y)[x * 4 + 2]));
    EXPECT_GT(warmer / (plain->width() * plain->height()), 2.0);
    effect->setSuccessor(nullptr);
}

namespace {

// An effect's settings view in a shown window, with a pop-up chosen from and a dial moved as a person
// does: by a press that opens the menu, by clicks, the wheel and the keys.
struct ShownSettings
{
    ControlsWindow w;
    std::unique_ptr<OVEffect> effect;

    explicit ShownSettings(const QString& displayName)
        : effect(OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(displayName))
    {
        if (!effect)
            return;
        effect->setInputImage(picture(400, 300));
        w.add(effect->settingsView());
    }
    template <typename T> T* control(int index) const
    {
        return qobject_cast<T*>(effect->settingsControls().value(index));
    }
    // Opens the pop-up's menu with a press on its left part and chooses the item whose title begins
    // with `title` with the Return key once the menu shows.
    void choose(OVPopupButton* popup, const QString& title)
    {
        QTimer::singleShot(0, [popup, title] {
            pf::Menu* menu = popup->menu();
            for (QAction* item : menu->actions())
                if (pf::Menu::title(item).startsWith(title))
                    menu->setActiveAction(item);
            QTest::keyClick(menu, Qt::Key_Return);
            if (menu->isVisible())
                menu->close();
        });
        w.click(popup, pf::Point(20, 11));
    }
};

} // namespace

// A choice in a pop-up reaches the effect (the entries are added after the pop-up has its menu), and
// the next change of another control keeps it.
TEST(EffectControls, AChoiceInAPopUpReachesTheEffect)
{
    ShownSettings shown(QStringLiteral("Textured Frame"));
    ASSERT_TRUE(shown.effect);
    auto* frames = shown.control<OVPopupButton>(0);
    auto* width = shown.control<OVSlider>(1);
    ASSERT_TRUE(frames && width);
    const OVFrameDescriptionPtr gold =
        OVFrameCatalog::sharedFrameCatalog().frameWithName("Metal - Gold Leaf");
    ASSERT_TRUE(gold);
    const QString goldID = OVFrameCatalog::sharedFrameCatalog().frameIDForName("Metal - Gold Leaf");
    shown.choose(frames, QStringLiteral("Gold Leaf"));
    EXPECT_TRUE(frames->title().startsWith(QStringLiteral("Gold Leaf")));
    EXPECT_EQ(shown.effect->settingsValueForKey("inputFrameName").toString(), goldID);
    auto* filter = dynamic_cast<OVTexturedFrameFilter*>(shown.effect->filter());
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->frameDescription(), gold);

    width->setDoubleValue(0.1);
    shown.effect->controlValueChanged(width);
    EXPECT_EQ(shown.effect->settingsValueForKey("inputFrameName").toString(), goldID);
    EXPECT_TRUE(frames->title().startsWith(QStringLiteral("Gold Leaf")));
}

// A circular slider tells the effect however it is moved: a click on its rim, the wheel, the arrow keys.
TEST(EffectControls, TheDialReachesTheEffectByClickWheelAndKeys)
{
    ShownSettings shown(QStringLiteral("Reflection"));
    ASSERT_TRUE(shown.effect);
    auto* dial = shown.control<QDial>(2);
    ASSERT_TRUE(dial);
    const auto distance = [&] { return shown.effect->filter()->value("inputDistance").toDouble(); };
    struct Step
    {
        const char* how;
        std::function<void()> move;
    };
    const Step steps[] = {
        {"a click left of the middle",
         [&] { QTest::mouseClick(dial, Qt::LeftButton, Qt::NoModifier, QPoint(2, dial->height() / 2)); }},
        {"the wheel",
         [&] {
             const QPointF at(dial->width() / 2.0, dial->height() / 2.0);
             QWheelEvent wheel(at, dial->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(dial, &wheel);
         }},
        {"the up arrow", [&] { QTest::keyClick(dial, Qt::Key_Up); }},
        {"page down", [&] { QTest::keyClick(dial, Qt::Key_PageDown); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.how);
        const int before = dial->value();
        const double was = distance();
        step.move();
        ASSERT_NE(dial->value(), before) << "the dial moved";
        EXPECT_NE(distance(), was) << "and the effect heard it";
        EXPECT_NEAR(shown.effect->settingsValueForKey("inputDistance").toDouble(),
                    0.2 * dial->value() / double(dial->maximum()), 1e-9);
    }
}

// What a person reads and undoes: a wheel's notch turns the dial five degrees and an arrow key one, a
// run of notches is one step named after its row, choosing what a pop-up already shows is no step at
// all, and the shadows' pop-up names its shadows rather than their resource IDs.
TEST(EffectControls, DialStepsUndoStepsAndPopUpTitlesAreWhatAPersonExpects)
{
    pf::UndoManager undo;
    ShownSettings reflection(QStringLiteral("Reflection"));
    ASSERT_TRUE(reflection.effect);
    reflection.effect->setUndoManager(&undo);
    auto* dial = reflection.control<QDial>(2);
    ASSERT_TRUE(dial);
    const int turn = dial->maximum() - dial->minimum();
    const int start = dial->value();
    const double distance = reflection.effect->settingsValueForKey("inputDistance").toDouble();
    const QPointF middle(dial->width() / 2.0, dial->height() / 2.0);
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent wheel(middle, dial->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(dial, &wheel);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(dial->value() - start, 3 * turn * 5 / 360) << "five degrees a notch";
    reflection.w.clock.advance(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.undoMenuItemTitle(), QStringLiteral("Undo Reflection Distance"));
    undo.undo();
    EXPECT_DOUBLE_EQ(reflection.effect->settingsValueForKey("inputDistance").toDouble(), distance)
        << "the three notches are one step";
    EXPECT_FALSE(undo.canUndo());
    QTest::keyClick(dial, Qt::Key_Up);
    EXPECT_EQ(dial->value() - start, turn / 360) << "a degree a key";
    reflection.w.clock.advance(1);
    QCoreApplication::processEvents();
    reflection.effect->setUndoManager(nullptr);

    ShownSettings shadow(QStringLiteral("Simple Shadow"));
    ASSERT_TRUE(shadow.effect);
    shadow.effect->setUndoManager(&undo);
    undo.removeAllActions();
    auto* shadows = shadow.control<OVPopupButton>(0);
    ASSERT_TRUE(shadows);
    for (QAction* item : shadows->menu()->actions())
        EXPECT_FALSE(pf::Menu::title(item).contains(u'#')) << pf::Menu::title(item).toStdString();
    const QString shownTitle = shadows->title();
    ASSERT_FALSE(shownTitle.isEmpty());
    shadow.choose(shadows, shownTitle);
    QCoreApplication::processEvents();
    EXPECT_FALSE(undo.canUndo()) << "choosing the shadow shown changes nothing";
    shadow.effect->setUndoManager(nullptr);
}
