#pragma once

#include <QDialog>

class DocumentHandler;
class QComboBox;

// The preferences: how long and how many of the retouched pictures' kept edits (their untouched
// originals and layers in the working area) stay. A choice applies at once. Main thread only.
class GMPreferencesWindow : public QDialog
{
public:
    explicit GMPreferencesWindow(DocumentHandler* documents, QWidget* parent = nullptr);

    QComboBox* spanChoice() const { return m_span; }
    QComboBox* countChoice() const { return m_count; }
    // Shows the controller's current choices.
    void refresh();

    // The words for a retention span index ("for 7 days", "forever"), as the note after a save says.
    static QString spanText(int index);

private:
    DocumentHandler* m_documents;
    QComboBox* m_span = nullptr;
    QComboBox* m_count = nullptr;
};
