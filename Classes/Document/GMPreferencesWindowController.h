#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"

#include <QComboBox>
#include <QPointer>

class DocumentHandler;

// The preferences: how long, and for how many pictures, the kept edits of retouched photos (their
// untouched originals and layers in the working area) stay. Each list offers four choices, a
// separator and "Forever" or "Unlimited"; a list's index is the retention index it stores, the last
// choice storing 5 (4 shows as the last choice too). A choice that would delete kept edits now says
// how many pictures lose them and asks first; Cancel keeps the previous choice. Main thread only.
class GMPreferencesWindowController : public OVWindowController
{
    Q_OBJECT

public:
    explicit GMPreferencesWindowController(DocumentHandler* documents);

    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("GMPreferencesWindowController")} +
               OVWindowController::classChain();
    }

    // Outlets (null until the window is built).
    QComboBox* spanPopUp() const { return m_span; }
    QComboBox* countPopUp() const { return m_count; }

    // Shows the controller's current choices.
    void refresh();
    // What choosing a list index does: asks when kept edits would go, then stores it (or restores the
    // previous choice).
    void chooseSpan(int index);
    void chooseCount(int index);

    void windowDidLoad() override;

    // The list index that shows a retention index (4 and 5 both show as the last choice).
    static int popUpIndex(int retentionIndex);
    // The words for a retention span index ("for 7 days", "until you remove them"), as the note after a
    // save says.
    static QString spanText(int index);

    static void registerInterface();

private:
    // Whether the user lets the choice delete the kept edits of `paths`; true when there are none.
    bool confirmPurge(const QStringList& paths);

    DocumentHandler* m_documents;
    QPointer<QComboBox> m_span;
    QPointer<QComboBox> m_count;
};
