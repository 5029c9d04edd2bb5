#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QLabel>
#include <QPointer>
#include <QTextEdit>

class OVNoteController;
class QTextDocument;

// Hears which button closed a note.
class OVNoteDelegate
{
public:
    virtual ~OVNoteDelegate() = default;
    virtual void noteWasClosedByButton(OVNoteController* note, OVButton* button) = 0;
};

// A small note laid over the top edge of another window: a title, a scrolling rich text and up to three
// buttons (cancel, other, approve) besides the close button. Pressing one tells the delegate which, and
// the note goes. While shown, the note is an overlay of its parent: it follows the parent's resizing at
// the same fraction of its width and closes with it. Main thread only.
class OVNoteController : public OVWindowController
{
    Q_OBJECT

public:
    OVNoteController();
    ~OVNoteController() override;

    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("OVNoteController")} + OVWindowController::classChain();
    }

    // Outlets (null until the window is built).
    QLabel* titleTF() const { return m_titleTF; }
    QTextEdit* textView() const { return m_textView; }
    QTextEdit* scrollView() const { return m_textView; }
    OVButton* closeButton() const { return m_closeButton; }
    OVButton* cancelButton() const { return m_cancelButton; }
    OVButton* otherButton() const { return m_otherButton; }
    OVButton* approveButton() const { return m_approveButton; }

    OVNoteDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVNoteDelegate* delegate) { m_delegate = delegate; }
    double locationFix() const { return m_locationFix; }

    // The text shown, as rich text (the document is copied).
    void setText(const QTextDocument& text);

    // Sizes the window to its buttons and text: at least 350 wide; the text between 50 and 300 high
    // (scrolling beyond). Keeps the window's origin.
    void adjustWindowSize();
    // The height of the text laid out at `width`, rounded up.
    double textHeightForWidth(double width) const;
    // Lays the note over `parent` with its anchor at `location` (a fraction of the parent's width), makes
    // it key and follows the parent from then on. Nothing happens before the window is built.
    void attachToWindow(pf::Window* parent, double location);
    // Puts the note on the parent's content top, its anchor at the stored fraction, inside the parent.
    void positionOnWindow(pf::Window* parent);
    pf::Window* parentWindow() const { return m_parent; }

    // Tells the delegate, detaches the note and closes it.
    virtual void buttonPressed(OVButton* button);

    void windowDidLoad() override;

    static void registerInterface();

private:
    void detach();
    void layOut();

    QPointer<QLabel> m_titleTF;
    QPointer<QTextEdit> m_textView;
    QPointer<OVButton> m_closeButton;
    QPointer<OVButton> m_cancelButton;
    QPointer<OVButton> m_otherButton;
    QPointer<OVButton> m_approveButton;
    OVNoteDelegate* m_delegate = nullptr;
    double m_locationFix = 0.5;
    QPointer<pf::Window> m_parent;
    pf::ObserverToken m_parentResized;
    pf::ObserverToken m_parentClosing;
};
