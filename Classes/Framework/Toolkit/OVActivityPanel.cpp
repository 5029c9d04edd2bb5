#include "Classes/Framework/Toolkit/OVActivityPanel.h"

#include "Classes/Framework/Toolkit/OV3PartImageView.h"
#include "Classes/Framework/Toolkit/OVProgressSpinner.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

OVActivityPanel::OVActivityPanel()
{
    OVToolkitInterfaces::registerInterfaces();
}

OVProgressSpinner* OVActivityPanel::progressIndicator() const
{
    return outlet<OVProgressSpinner>(QStringLiteral("progressIndicator"));
}

QLabel* OVActivityPanel::messageTF() const
{
    return outlet<QLabel>(QStringLiteral("messageTF"));
}

OV3PartImageView* OVActivityPanel::panel() const
{
    return outlet<OV3PartImageView>(QStringLiteral("panel"));
}

void OVActivityPanel::loadView()
{
    OVViewController::loadView();
    if (OV3PartImageView* background = panel()) {
        background->setLeftImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundLeft.png")));
        background->setMidImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundMid.png")));
        background->setRightImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundRight.png")));
    }
    m_activities.clear();
}

pf::Rect OVActivityPanel::panelFrame(bool shown) const
{
    pf::View* root = const_cast<OVActivityPanel*>(this)->view();
    const pf::Rect b = root ? root->bounds() : pf::Rect();
    // Hidden, the panel waits one panel height above its place, outside the view.
    return pf::Rect(0, shown ? 0 : b.height(), b.width(), b.height());
}

void OVActivityPanel::setWindow(pf::Window* window)
{
    m_window = window;
    pf::View* root = view();
    if (!window || !root)
        return;
    const pf::Size size = root->frame().size;
    const double contentHeight = window->contentView()->bounds().height();
    root->setFrame(pf::Rect(m_xLocation, contentHeight - size.height, size.width, size.height));
    window->contentView()->addSubview(root);
    if (OV3PartImageView* background = panel())
        background->setFrame(panelFrame(false));
}

void OVActivityPanel::animatePanelIn(std::function<void()> block)
{
    OV3PartImageView* background = panel();
    if (!background) {
        if (block)
            pf::Timer::afterThisEvent(std::move(block));
        return;
    }
    if (OVProgressSpinner* spinner = progressIndicator())
        spinner->startAnimation();
    pf::ViewAnimator::runGroup(
        slideDuration, [&] { pf::ViewAnimator::animateFrame(background, panelFrame(true)); },
        [block = std::move(block)] {
            if (block)
                block();
        });
}

void OVActivityPanel::animatePanelOut()
{
    OV3PartImageView* background = panel();
    if (!background)
        return;
    QPointer<OVActivityPanel> self(this);
    pf::ViewAnimator::runGroup(
        slideDuration, [&] { pf::ViewAnimator::animateFrame(background, panelFrame(false)); },
        [self] {
            // A start during the slide-out cuts it short: the spinner then keeps turning.
            if (self && self->m_activities.isEmpty())
                if (OVProgressSpinner* spinner = self->progressIndicator())
                    spinner->stopAnimation();
        });
}

void OVActivityPanel::startActivity(const QString& message, std::function<void()> block)
{
    auto later = [](std::function<void()> work) {
        if (work)
            pf::Timer::afterThisEvent(std::move(work));
    };
    if (!m_window) {
        later(std::move(block));
        return;
    }
    m_activities.append(message);
    if (QLabel* line = messageTF())
        line->setText(message);
    if (m_activities.size() == 1)
        animatePanelIn(std::move(block));
    else
        later(std::move(block));
}

void OVActivityPanel::stopActivity(const QString& message)
{
    m_activities.removeAll(message);
    if (m_activities.isEmpty())
        animatePanelOut();
    else if (QLabel* line = messageTF())
        line->setText(m_activities.last());
}
