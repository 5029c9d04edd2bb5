#include "Classes/Frames/OVEffectPicker.h"

#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectPickerDelegate.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"

#include <algorithm>

OVEffectPicker& OVEffectPicker::sharedEffectPicker()
{
    static OVEffectPicker* picker = new OVEffectPicker(OVEffectsCatalog::sharedEffectsCatalog());
    return *picker;
}

OVEffectPicker::OVEffectPicker(const OVEffectsCatalog& catalog, QObject* parent)
    : QObject(parent), m_catalog(catalog), m_effectDisplayNames(catalog.sortedDisplayNames())
{
    std::sort(m_effectDisplayNames.begin(), m_effectDisplayNames.end());
}

OVEffectPicker::~OVEffectPicker() = default;

pf::Menu* OVEffectPicker::listMenu()
{
    if (m_menu)
        return m_menu.get();
    m_menu = std::make_unique<pf::Menu>();
    for (const QString& name : std::as_const(m_effectDisplayNames))
        m_menu->addItem(name, [this](QAction* item) { itemSelected(item); });
    m_menu->setHighlightHandler([this](QAction* item) { menuWillHighlightItem(item); });
    connect(m_menu.get(), &QMenu::aboutToHide, this, [this] { menuDidClose(); });
    return m_menu.get();
}

void OVEffectPicker::showPickerOver(pf::View* view, std::shared_ptr<OVEffectPickerDelegate> delegate)
{
    // A run whose close report has not come yet ends here, with the same report.
    if (const std::shared_ptr<OVEffectPickerDelegate> previous = std::move(m_delegate))
        previous->effectPickerDidSelectEffect(*this, nullptr);
    m_delegate = std::move(delegate);
    m_didSelectEffect = false;
    ++m_run;
    pf::Menu* menu = listMenu();
    const QPoint origin = view ? view->mapToGlobal(view->pointToWidget(pf::Point(0, 0))).toPoint() : QPoint();
    menu->popup(origin);
}

void OVEffectPicker::menuWillHighlightItem(QAction* item)
{
    if (!m_delegate)
        return;
    // The delegate may end the run from its handler; it stays alive until the handler returns.
    const std::shared_ptr<OVEffectPickerDelegate> delegate = m_delegate;
    delegate->effectPickerPreviewing(*this,
                                     item ? m_catalog.effectForDisplayName(pf::Menu::title(item)) : nullptr);
}

void OVEffectPicker::itemSelected(QAction* item)
{
    if (!m_delegate)
        return;
    const std::shared_ptr<OVEffectPickerDelegate> delegate = std::move(m_delegate);
    m_didSelectEffect = true;
    delegate->effectPickerDidSelectEffect(*this, m_catalog.effectForDisplayName(pf::Menu::title(item)));
}

void OVEffectPicker::menuDidClose()
{
    // Runs after the item the menu closed for (if any) has fired; a run started since is not ended.
    pf::Timer::afterThisEvent(
        [this, run = m_run] {
            if (run != m_run || m_didSelectEffect || !m_delegate)
                return;
            // The run is over: the delegate is not kept past its last report.
            const std::shared_ptr<OVEffectPickerDelegate> delegate = std::move(m_delegate);
            delegate->effectPickerDidSelectEffect(*this, nullptr);
        },
        this);
}
