#include "Classes/ToolObjects/GMConverter.h"
#include "Classes/ToolObjects/GMXMLFilterParser.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Vector.h"

#include <QColor>
#include <cmath>
#include <gtest/gtest.h>

using namespace pf;

namespace {

QVariantMap node(const QString& filter, const QVariantMap& inputs)
{
    return {{"CIFilterName", filter}, {"inputValues", inputs}};
}

QVariantMap composition()
{
    return node("TestOverFilter",
                {{"inputImage", "exposeAs:inputImage:compositionLayer"},
                 {"inputBackgroundImage", "exposeAs:inputBackgroundImage:compositionLayer"}});
}

QVariantMap blueprint(const QVariantMap& filter, const QVariantMap& settings = {},
                      const QVariantMap& compositionTree = composition())
{
    return {{"name", "Test"}, {"settings", settings}, {"filter", filter}, {"composition", compositionTree}};
}

double convert(const GMXMLFilterParser& parser, const QString& key, double x)
{
    return GMConverter::fromRecord(parser.conversionInfo().value(key))(x);
}

} // namespace

TEST(GMXMLFilterParser, CreationNumbersAreDepthFirstInKeyOrder)
{
    const QVariantMap grandchild = node("GMColor2IntensityFilter", {{"inputImage", "originalImage"}});
    const QVariantMap child =
        node("TestMaskedColorFilter", {{"inputImage", grandchild}, {"inputMaskImage", "mask"}});
    const QVariantMap second = node("GMColor2IntensityFilter", {{"inputImage", "originalImage"}});
    const GMXMLFilterParser parser(
        blueprint(node("TestMaskedColorFilter", {{"inputImage", child}, {"inputMaskImage", second}})));
    const auto ids = parser.filterIDDictionary();
    EXPECT_EQ(ids.value("01"), QStringList{"rootFilter"});
    EXPECT_EQ(ids.value("02"), QStringList{"rootFilter_inputImage"});
    EXPECT_EQ(ids.value("03"), QStringList{"rootFilter_inputImage_inputImage"});
    EXPECT_EQ(ids.value("04"), QStringList{"rootFilter_inputMaskImage"});
    EXPECT_EQ(parser.filterConnectionInfoDictionary().value("rootFilter").value("inputImage").toString(),
              "rootFilter_inputImage");
}

TEST(GMXMLFilterParser, ValueFormsReachTheFilters)
{
    LogCapture capture;
    const GMXMLFilterParser parser(
        blueprint(node("OVAffineTransformFilter", {{"inputAngle", 12.5},
                                                   {"inputScale", QVariantList{"vectorTypeDefault", 2, 3}},
                                                   {"inputTranslation", QVariantList{"vectorTypeDefault"}},
                                                   {"inputTransform", "transform@R90;S2/0.5;T10;X1;Q"},
                                                   {"inputKeepExtent", true},
                                                   {"inputCropRect", QVariantList{"somethingElse", 1}},
                                                   {"inputImage", "mask"}})));
    const FilterPtr filter = parser.filterObjectsDictionary().value("rootFilter");
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->value("inputAngle").toDouble(), 12.5);
    EXPECT_EQ(filter->value("inputScale").value<Vector>(), Vector(2, 3));
    EXPECT_EQ(filter->value("inputTranslation").value<Vector>().count(), 0);
    EXPECT_TRUE(filter->value("inputKeepExtent").toBool());
    EXPECT_FALSE(filter->hasValue("inputCropRect"));
    // Translate by (10, 10) first, then scale (2, 0.5), then rotate a quarter turn.
    const Point p = filter->value("inputTransform").value<AffineTransform>().map(Point(1, 0));
    EXPECT_NEAR(p.x, -5.0, 1e-9);
    EXPECT_NEAR(p.y, 22.0, 1e-9);
    EXPECT_TRUE(capture.contains("Warning: unkown transform 'X' for 'inputTransform'"));

    const GMXMLFilterParser colours(blueprint(
        node("TestMaskedColorFilter", {{"inputColor", QVariantList{"vectorTypeColorOpaque", 1, 0.5, 0}},
                                       {"inputMaskImage", "mask"},
                                       {"inputImage", "originalImage"}})));
    EXPECT_EQ(colours.filterObjectsDictionary().value("rootFilter")->value("inputColor").value<Color>(),
              Color(1, 0.5, 0, 1));
}

TEST(GMXMLFilterParser, LinksReferencesAndConversions)
{
    LogCapture capture;
    const QVariantMap settings{
        {"intensity", QVariantMap{{"CIAttributeClass", "NSNumber"}, {"CIAttributeDefault", 0.5}}}};
    const GMXMLFilterParser parser(blueprint(
        node("TestMaskedColorFilter", {{"inputIntensity", "->settings.intensity|linearInvert;0.2;1"},
                                       {"inputColor", "->settings.intensity"},
                                       {"inputImage", "imageSizeWidthPercentage:0.02"},
                                       {"inputMaskImage", "exposeAs:theMask:mask"}}),
        settings));
    const auto refs = parser.referencedInput().value("rootFilter");
    EXPECT_EQ(refs.value("inputIntensity").toString(), "settings.intensity");
    EXPECT_EQ(refs.value("inputColor").toString(), "settings.intensity");
    EXPECT_EQ(refs.value("inputImage").toString(), "imageSizeWidthPercentage");
    EXPECT_EQ(refs.value("inputMaskImage").toString(), "mask");
    EXPECT_DOUBLE_EQ(convert(parser, "rootFilter.inputIntensity", 0.5), 0.6);
    EXPECT_FALSE(parser.conversionInfo().contains("rootFilter.inputColor"));
    EXPECT_DOUBLE_EQ(convert(parser, "rootFilter.inputImage", 1000), 20);
    EXPECT_TRUE(capture.lines().isEmpty()) << capture.lines().join("\n").toStdString();

    const auto content = parser.newContentFilter();
    EXPECT_TRUE(content->generatedCIFilter()->inputKeys().contains("theMask"));
    EXPECT_TRUE(content->generatedCIFilter()->inputKeys().contains("rootFilter_inputIntensity"));
}

TEST(GMXMLFilterParser, ConversionFamilyIgnoresTheOrderOfItsNumbers)
{
    auto converterFor = [](const QString& text) {
        const QVariantMap settings{
            {"s", QVariantMap{{"CIAttributeClass", "NSNumber"}, {"CIAttributeDefault", 1}}}};
        const GMXMLFilterParser parser(
            blueprint(node("TestMaskedColorFilter",
                           {{"inputIntensity", "->settings.s|" + text}, {"inputMaskImage", "mask"}}),
                      settings));
        return GMConverter::fromRecord(parser.conversionInfo().value("rootFilter.inputIntensity"));
    };
    EXPECT_DOUBLE_EQ(converterFor("linear;0.2;1")(0.5), 0.6);
    EXPECT_DOUBLE_EQ(converterFor("linear;1;0.2")(0.5), 0.6);
    EXPECT_DOUBLE_EQ(converterFor("quadraticInvert;0;10")(0.5), 7.5);
    EXPECT_DOUBLE_EQ(converterFor("sqrtInvert;1;5")(0.25), 3);
    EXPECT_TRUE(converterFor("unknown;1;2").isNull());
    LogCapture capture;
    EXPECT_TRUE(converterFor("linear;1").isNull());
    EXPECT_TRUE(capture.contains("needs two numbers"));
}

TEST(GMXMLFilterParser, WarningsForWhatItCannotUse)
{
    LogCapture capture;
    const GMXMLFilterParser parser(
        blueprint(node("TestMaskedColorFilter",
                       {{"inputImage", node("NoSuchFilter", {{"inputImage", "originalImage"}})},
                        {"inputMaskImage", "mask:0.5"},
                        {"inputColor", "0.5"},
                        {"inputIntensity", "->settings.size"}}),
                  {{"odd", QVariantMap{{"CIAttributeClass", "NSString"}, {"CIAttributeDefault", "x"}}}}));
    const QStringList lines = capture.lines();
    EXPECT_TRUE(lines.contains("Warning: XML Parser Could not register default value for key odd"));
    EXPECT_TRUE(lines.contains("Warning: Cannot load NoSuchFilter"));
    EXPECT_TRUE(lines.contains(
        "***xml parser warning*** added reference mask:0.5  for key inputMaskImage in filter rootFilter"));
    EXPECT_TRUE(lines.contains(
        "***xml parser warning*** added reference 0.5  for key inputColor in filter rootFilter"));
    EXPECT_TRUE(lines.contains("Warning: XML Parser Default value missing for key size"));
    EXPECT_TRUE(
        lines.contains("***xml parser warning*** added reference settings.size  for key inputIntensity in "
                       "filter rootFilter to setting size missing a default value "));
    EXPECT_EQ(parser.defaultValueForInputKey("brushPathKey"), QVariant());
}

TEST(FilterWrappers, SettingsArriveConvertedAndCopiesAreIndependent)
{
    const QVariantMap settings{
        {"intensity", QVariantMap{{"CIAttributeClass", "NSNumber"}, {"CIAttributeDefault", 0.5}}},
        {"color", QVariantMap{{"CIAttributeClass", "CIColor"},
                              {"CIAttributeDefault", QVariantList{"vectorTypeColorOpaque", 0, 0, 1}}}},
        {"size", QVariantMap{{"CIAttributeClass", "NSNumber"}, {"CIAttributeDefault", 3}}}};
    const GMXMLFilterParser parser(blueprint(
        node("TestMaskedColorFilter", {{"inputIntensity", "->settings.intensity|linearInvert;0.2;1"},
                                       {"inputColor", "->settings.color"},
                                       {"inputImage", "originalImage"},
                                       {"inputMaskImage", "mask"}}),
        settings,
        node("TestOverFilter", {{"inputImage", "exposeAs:inputImage:compositionLayer"},
                                {"inputBackgroundImage", "exposeAs:inputBackgroundImage:compositionLayer"},
                                {"inputIntensity", "exposeAs:inputAmount:settings.intensity"}})));
    auto content = parser.newContentFilter();
    auto graph = content->generatedCIFilter();
    content->setValueForSettingsKey(0.5, "intensity");
    EXPECT_DOUBLE_EQ(graph->value("rootFilter_inputIntensity").toDouble(), 0.6);
    content->setValueForSettingsKey(QColor(255, 0, 0), "color");
    EXPECT_EQ(graph->value("rootFilter_inputColor").value<Color>(), Color(1, 0, 0, 1));
    LogCapture capture;
    content->setValueForSettingsKey(9, "size"); // not forwarded
    EXPECT_TRUE(capture.lines().isEmpty());

    // The composition graph exports the intensity under its chosen name.
    auto compositionWrapper = parser.newCompositionFilter();
    compositionWrapper->setValueForSettingsKey(0.25, "intensity");
    EXPECT_DOUBLE_EQ(compositionWrapper->generatedCIFilter()->value("inputAmount").toDouble(), 0.25);
    EXPECT_EQ(compositionWrapper->exposedKeyForConversionKey("rootFilter.inputIntensity"), "inputAmount");

    // A fresh copy starts from the template, not from what an earlier copy was given.
    auto other = parser.newContentFilter();
    EXPECT_NE(other->generatedCIFilter()->value("rootFilter_inputIntensity").toDouble(), 0.6);

    // Run-time inputs: the image size as a vector, the mask on every input that carries it.
    content->setValueForInputKey(QVariant::fromValue(Size(640, 480)), "imageSize");
    const Image mask = Image::constantColor(Color(1, 1, 1));
    content->setValueForInputKey(QVariant::fromValue(mask), "mask");
    EXPECT_EQ(graph->value("rootFilter_inputMaskImage").value<Image>(), mask);
}

TEST(FilterWrappers, ACanvasGivesItsPictureAsTheMaskAndConnectHandsOutputsOn)
{
    const GMXMLFilterParser parser(blueprint(
        node("TestMaskedColorFilter", {{"inputImage", "originalImage"}, {"inputMaskImage", "mask"}})));
    const Image picture = Image::constantColor(Color(0.5, 0.5, 0.5)).imageByCroppingToRect(Rect(0, 0, 4, 4));
    auto mask = std::make_shared<OVContentContainer>();
    mask->imageContainer()->setImage(picture);
    const std::vector<std::pair<const char*, QVariant>> canvases{
        {"image container", QVariant::fromValue(mask->imageContainer())},
        {"mask container", QVariant::fromValue(mask)},
        {"image", QVariant::fromValue(picture)}};
    for (const auto& [kind, canvas] : canvases) {
        auto content = parser.newContentFilter();
        content->setValueForInputKey(canvas, "canvas");
        EXPECT_EQ(content->generatedCIFilter()->value("rootFilter_inputMaskImage").value<Image>(), picture)
            << kind;
    }

    FilterPtr source = Filter::create("TestOverFilter");
    source->setValue(QVariant::fromValue(picture), "inputImage");
    source->setValue(QVariant::fromValue(picture), "inputBackgroundImage");
    for (auto connect : {&GMContentFilterWrapper::connect, &GMXMLFilterParser::connect}) {
        FilterPtr target = Filter::create("TestMaskedColorFilter");
        connect(source, target, "inputMaskImage");
        EXPECT_FALSE(target->value("inputMaskImage").value<Image>().isNull());
        EXPECT_EQ(target->value("inputMaskImage").value<Image>().extent(), picture.extent());
    }
}
