#include "Classes/Editor/OVViewState.h"

#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"

#include <QVariant>

namespace {

const char* const modelAlphaProperty = "OVModelAlpha";

} // namespace

namespace OVViewState {

double modelAlpha(const QWidget* view)
{
    const QVariant stored = view->property(modelAlphaProperty);
    if (stored.isValid())
        return stored.toDouble();
    if (const auto* asView = qobject_cast<const pf::View*>(view))
        return asView->alphaValue();
    return 1.0;
}

void setAlpha(pf::View* view, double alpha, bool animated)
{
    if (!view)
        return;
    view->setProperty(modelAlphaProperty, alpha);
    if (animated)
        pf::ViewAnimator::animateAlpha(view, alpha);
    else
        pf::ViewAnimator::runGroup(0, [&] { pf::ViewAnimator::animateAlpha(view, alpha); });
}

bool isVisible(const QWidget* view)
{
    for (const QWidget* widget = view; widget; widget = widget->parentWidget()) {
        if (modelAlpha(widget) == 0.0)
            return false;
    }
    return true;
}

void setFrameOrigin(pf::View* view, pf::Point origin, double duration)
{
    if (!view)
        return;
    pf::Rect frame = view->frame();
    frame.origin = origin;
    pf::ViewAnimator::runGroup(duration, [&] { pf::ViewAnimator::animateFrame(view, frame); });
}

} // namespace OVViewState
