#include "Classes/Help/OVInformationListEntry.h"

#include "Classes/Help/OVInformationPanel.h"

#include <QImage>

OVInformationListEntry::OVInformationListEntry(const QString& name, QWidget* parent)
    : OVOpenableListEntryView(0, parent), m_name(name)
{
    // The topics' texts live in the help folder's strings, not the controls' table.
    setTitle(OVInformationPanel::localizedString(name));
    setSubtitle(OVInformationPanel::localizedString(name + QStringLiteral("Sub")));
    setContext(name);
    const QString icon = OVInformationPanel::informationBundle().pathForResource(
        name + QStringLiteral("Icon"), QStringLiteral("png"));
    if (!icon.isEmpty()) {
        // Drawn at two pixels to the point, sharp on fine screens.
        QImage image(icon);
        if (!image.isNull()) {
            image.setDevicePixelRatio(2);
            setIcon(image);
        }
    }
    setMargin(pf::Size(20, 20));
}

OVInformationListEntry::~OVInformationListEntry() = default;

OVInformationPanel* OVInformationListEntry::infoPanel()
{
    if (!m_panel)
        m_panel = std::make_unique<OVInformationPanel>(m_name);
    return m_panel.get();
}

double OVInformationListEntry::preferredHeight() const
{
    return headHeight;
}
