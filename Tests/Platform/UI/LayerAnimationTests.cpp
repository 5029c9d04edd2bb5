#include "LayerTestSupport.h"

#include "Platform/UI/AnimationDelegate.h"
#include "Platform/UI/AnimationGroup.h"
#include "Platform/UI/BasicAnimation.h"
#include "Platform/UI/KeyframeAnimation.h"
#include "Platform/UI/LayerDelegate.h"
#include "Platform/UI/Transaction.h"

#include <QPainterPath>
#include <cmath>
#include <limits>
#include <numbers>

using pf::BasicAnimation, pf::KeyframeAnimation, pf::Layer, pf::Point, pf::Rect, pf::Transaction,
    pf::Transform3D;

namespace {

struct Recorder : pf::AnimationDelegate
{
    QStringList events;
    void animationDidStart(const pf::Animation&) override { events << QStringLiteral("start"); }
    void animationDidStop(const pf::Animation&, bool finished) override
    {
        events << (finished ? QStringLiteral("finished") : QStringLiteral("removed"));
    }
};

class LayerAnimation : public pf::test::SteppedTime
{
protected:
    void SetUp() override
    {
        SteppedTime::SetUp();
        root = pf::test::makeLayer(Rect(0, 0, 100, 100), Qt::white, QStringLiteral("root"));
        layer = pf::test::makeLayer(Rect(10, 10, 50, 50), Qt::red, QStringLiteral("layer"));
        root->addSublayer(layer);
        pf::test::render(*root, QSize(100, 100), now()); // on screen: changes may animate now
    }

    double presented(const QString& key, double at) const
    {
        return layer->presentationState(at).value(key).toDouble();
    }

    std::shared_ptr<Layer> root, layer;
};

} // namespace

TEST_F(LayerAnimation, ImplicitChangesAnimateForTheDefaultDurationUnlessActionsAreDisabled)
{
    const double t0 = now();
    layer->setOpacity(0);
    EXPECT_EQ(layer->opacity(), 0); // the model changes at once
    EXPECT_DOUBLE_EQ(presented("opacity", t0), 1);
    EXPECT_DOUBLE_EQ(presented("opacity", t0 + 0.125), 0.5);
    EXPECT_DOUBLE_EQ(presented("opacity", t0 + 0.25), 0);
    step(0.125);
    EXPECT_DOUBLE_EQ(layer->presentationValue("opacity").toDouble(), 0.5);

    // A change during the animation starts from what is seen.
    layer->setOpacity(1);
    EXPECT_DOUBLE_EQ(presented("opacity", now()), 0.5);
    EXPECT_DOUBLE_EQ(presented("opacity", now() + 0.125), 0.75);

    // A rotation animates as a rotation.
    layer->setTransform(Transform3D::rotation(-std::numbers::pi / 2, 0, 1, 0));
    const Transform3D half = layer->presentationState(now() + 0.125).transform;
    EXPECT_NEAR(half.m11, std::cos(std::numbers::pi / 4), 1e-12);

    {
        const Transaction::Scope atOnce(true);
        layer->setPosition(Point(80, 80));
        layer->setBackgroundColor(Qt::blue);
    }
    EXPECT_EQ(layer->presentationState().position, Point(80, 80));
    EXPECT_EQ(layer->presentationState().backgroundColor, QColor(Qt::blue));
    EXPECT_FALSE(layer->animationKeys().contains(QStringLiteral("position")));

    // A layer that was never drawn has nothing to animate from.
    auto fresh = Layer::create();
    fresh->setOpacity(0.3);
    EXPECT_FALSE(fresh->hasAnimations());
}

TEST_F(LayerAnimation, NestedTransactionsShareOneCompletionThatWaitsForTheirAnimations)
{
    int completions = 0;
    Transaction::begin();
    Transaction::setAnimationDuration(0.5);
    Transaction::setAnimationTimingFunction(pf::AnimationTimingFunction::easeInEaseOut());
    Transaction::setCompletionBlock([&] { ++completions; });
    Transaction::begin();
    Transaction::begin();
    layer->setOpacity(0.2); // duration and pacing come from the outer transaction
    Transaction::commit();
    Transaction::commit();
    layer->setPosition(Point(0, 0));
    Transaction::commit();
    EXPECT_EQ(Transaction::depth(), 0);
    EXPECT_NEAR(presented("opacity", now() + 0.25), 0.6, 1e-12); // ease in-out is half way at half time
    EXPECT_NEAR(presented("opacity", now() + 0.1),
                1 - 0.8 * pf::AnimationTimingFunction::easeInEaseOut().valueAt(0.2), 1e-12);

    runMainLoop();
    step(0.3);
    runMainLoop();
    EXPECT_EQ(completions, 0);
    step(0.2);
    EXPECT_EQ(completions, 0); // not inside advance(): on the main loop
    runMainLoop();
    EXPECT_EQ(completions, 1);
    step(1);
    runMainLoop();
    EXPECT_EQ(completions, 1);
}

TEST_F(LayerAnimation, ACompletionWithoutAnimationsRunsRightAfterTheCommit)
{
    int completions = 0;
    {
        const Transaction::Scope scope(true);
        Transaction::setCompletionBlock([&] { ++completions; });
        layer->setOpacity(0.5); // no action: actions are disabled
    }
    EXPECT_EQ(completions, 0); // never inside the commit
    runMainLoop();
    EXPECT_EQ(completions, 1);

    // An animation removed before its end releases the completion as well.
    Transaction::begin();
    Transaction::setCompletionBlock([&] { ++completions; });
    layer->setOpacity(1);
    Transaction::commit();
    layer->removeAnimation(QStringLiteral("opacity"));
    runMainLoop();
    EXPECT_EQ(completions, 2);
}

TEST_F(LayerAnimation, KeyframesFollowACubicPathAtTheirKeyTimes)
{
    const Point p0(0, 0), c1(0, 100), c2(100, 100), p1(100, 0), c3(100, -50), c4(200, -50), p2(200, 0);
    QPainterPath path;
    path.moveTo(p0.x, p0.y);
    path.cubicTo(c1.x, c1.y, c2.x, c2.y, p1.x, p1.y);
    path.cubicTo(c3.x, c3.y, c4.x, c4.y, p2.x, p2.y);
    auto flight = KeyframeAnimation::create(QStringLiteral("position"));
    flight->setPath(path);
    flight->setKeyTimes({0, 0.25, 1});
    flight->setDuration(2);
    layer->addAnimation(flight, QStringLiteral("flight"));

    auto cubic = [](Point a, Point b, Point c, Point d, double t) {
        const double u = 1 - t;
        return Point(u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
                     u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y);
    };
    const struct
    {
        double elapsed;
        Point expected;
    } samples[] = {
        {0, p0},
        {0.25, cubic(p0, c1, c2, p1, 0.5)},
        {0.5, p1},
        {1.25, cubic(p1, c3, c4, p2, 0.5)},
        {1.999, cubic(p1, c3, c4, p2, 1.999 / 1.5 - 1.0 / 3)},
    };
    for (const auto& sample : samples) {
        const Point p = layer->presentationState(now() + sample.elapsed).position;
        EXPECT_NEAR(p.x, sample.expected.x, 1e-9) << sample.elapsed;
        EXPECT_NEAR(p.y, sample.expected.y, 1e-9) << sample.elapsed;
    }
    EXPECT_EQ(layer->presentationState(now() + 2).position, layer->position()); // over: the model again
}

TEST_F(LayerAnimation, GroupsPlayTheirMembersAndCutThemAtTheirEnd)
{
    // The knob's flight: opacity keyframes and a scale, in a group of 0.6 s.
    auto fade = KeyframeAnimation::create(QStringLiteral("opacity"));
    fade->setValues({0.0, 1.0, 1.0, 0.0});
    fade->setKeyTimes({0, 0.05, 0.95, 1.0});
    auto grow = BasicAnimation::create(QStringLiteral("transform"));
    grow->setFromValue(QVariant::fromValue(Transform3D::scale(2, 4, 1)));
    grow->setToValue(QVariant::fromValue(Transform3D()));
    grow->setDuration(0.6);
    auto late = BasicAnimation::create(QStringLiteral("borderWidth"));
    late->setFromValue(10.0);
    late->setToValue(20.0);
    late->setBeginTime(0.5);
    late->setDuration(1);
    auto group = pf::AnimationGroup::create();
    group->setAnimations({fade, grow, late});
    group->setDuration(0.6);
    layer->addAnimation(group, QString());

    EXPECT_NEAR(presented("opacity", now() + 0.015), 0.5, 1e-9);
    EXPECT_NEAR(presented("opacity", now() + 0.3), 1, 1e-9);
    EXPECT_NEAR(layer->presentationState(now() + 0.3).transform.m11, 1.5, 1e-12);
    EXPECT_NEAR(layer->presentationState(now() + 0.3).transform.m22, 2.5, 1e-12);
    EXPECT_NEAR(presented("borderWidth", now() + 0.55), 10.5, 1e-9);
    EXPECT_DOUBLE_EQ(presented("borderWidth", now() + 0.65), 0); // cut with the group
}

TEST_F(LayerAnimation, ExplicitAnimationsRepeatReverseAndTellTheirDelegate)
{
    Recorder recorder;
    auto pulse = BasicAnimation::create(QStringLiteral("shadowOpacity"));
    pulse->setFromValue(0.3);
    pulse->setToValue(0.7);
    pulse->setDuration(1);
    pulse->setAutoreverses(true);
    pulse->setRepeatCount(std::numeric_limits<double>::infinity());
    pulse->setDelegate(&recorder);
    layer->addAnimation(pulse, QStringLiteral("shadowOpacity"));

    const double t0 = now();
    EXPECT_DOUBLE_EQ(presented("shadowOpacity", t0 + 0.5), 0.5);
    EXPECT_DOUBLE_EQ(presented("shadowOpacity", t0 + 1.5), 0.5);
    EXPECT_DOUBLE_EQ(presented("shadowOpacity", t0 + 1.75), 0.4);
    EXPECT_DOUBLE_EQ(presented("shadowOpacity", t0 + 1000.25), 0.4);
    step(0.1);
    step(5000);
    EXPECT_EQ(recorder.events, QStringList{QStringLiteral("start")}); // forever

    // Replacing it under its key stops it (unfinished); a "by" value adds to the start.
    auto by = BasicAnimation::create(QStringLiteral("shadowOpacity"));
    by->setFromValue(0.2);
    by->setByValue(0.4);
    by->setRepeatCount(2);
    by->setDelegate(&recorder);
    layer->addAnimation(by, QStringLiteral("shadowOpacity"));
    runMainLoop();
    EXPECT_EQ(recorder.events.mid(0, 2), (QStringList{QStringLiteral("start"), QStringLiteral("removed")}));
    EXPECT_DOUBLE_EQ(presented("shadowOpacity", now() + 0.125 + 0.25), 0.4); // second pass, half way
    step(0.49);
    EXPECT_TRUE(layer->hasAnimations());
    step(0.02);
    EXPECT_FALSE(layer->hasAnimations());
    EXPECT_EQ(recorder.events, (QStringList{QStringLiteral("start"), QStringLiteral("removed"),
                                            QStringLiteral("start"), QStringLiteral("finished")}));
}

TEST_F(LayerAnimation, ADelegateDecidesActionsPerKey)
{
    // Like the live renderer's channel: only opacity animates; contents and geometry change at once.
    struct OnlyOpacity : pf::LayerDelegate
    {
        pf::LayerAction actionForLayer(Layer&, const QString& key) override
        {
            if (key == QLatin1String("opacity"))
                return pf::LayerAction::notHandled();
            if (key == QLatin1String("cornerRadius")) {
                auto slow = BasicAnimation::create(key);
                slow->setDuration(2);
                return pf::LayerAction::animate(slow);
            }
            return pf::LayerAction::none();
        }
    } delegate;
    layer->setDelegate(&delegate);
    QImage image(4, 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::green);
    layer->setContents(image);
    layer->setPosition(Point(1, 2));
    layer->setOpacity(0.5);
    layer->setCornerRadius(8);
    EXPECT_EQ(layer->animationKeys(),
              (QStringList{QStringLiteral("opacity"), QStringLiteral("cornerRadius")}));
    EXPECT_DOUBLE_EQ(presented("cornerRadius", now() + 1), 4);
}

TEST_F(LayerAnimation, DelegatesThatGoAwayAreNoLongerAsked)
{
    {
        struct Silent : pf::LayerDelegate
        {
            pf::LayerAction actionForLayer(Layer&, const QString&) override
            {
                return pf::LayerAction::none();
            }
        } delegate;
        Recorder recorder;
        layer->setDelegate(&delegate);
        auto fade = BasicAnimation::create(QStringLiteral("opacity"));
        fade->setDelegate(&recorder);
        layer->addAnimation(fade, QStringLiteral("fade"));
    }
    EXPECT_EQ(layer->delegate(), nullptr);
    layer->setOpacity(0.5); // the default action again
    EXPECT_TRUE(layer->animationKeys().contains(QStringLiteral("opacity")));
    step(1); // the fade ends without a delegate to tell
    runMainLoop();
    EXPECT_FALSE(layer->hasAnimations());
}
