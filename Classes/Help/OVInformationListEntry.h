#pragma once

#include "Classes/Framework/Toolkit/OVOpenableListEntryView.h"

#include <memory>

class OVInformationPanel;

// One topic of the tips catalog: a row with the topic's title, subtitle and icon. The topic's content
// shows in the catalog's right pane, never inside the row, so the row is as high as its head, open or
// not. The topic's panel is made on first request and lives as long as the row.
class OVInformationListEntry : public OVOpenableListEntryView
{
    Q_OBJECT

public:
    explicit OVInformationListEntry(const QString& name, QWidget* parent = nullptr);
    ~OVInformationListEntry() override;

    QString infoName() const { return m_name; }
    OVInformationPanel* infoPanel();
    // The panel when it has been made, without making it.
    OVInformationPanel* existingInfoPanel() const { return m_panel.get(); }

    double preferredHeight() const override;

private:
    QString m_name;
    std::unique_ptr<OVInformationPanel> m_panel;
};
