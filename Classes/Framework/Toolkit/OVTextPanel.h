#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/UI/WindowDelegate.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>
#include <limits>
#include <memory>
#include <vector>

class OVPointingView;
class OVTextPanelDelegate;
class QAction;
namespace pf {
class Menu;
class UndoManager;
class Window;
} // namespace pf

// A floating panel for editing a piece of text and its look: a multi-line text field, a colour well, the
// installed font families each shown in its own face, and three alignment buttons. It hangs with its
// arrow from a point of its focus window (as an overlay child kept inside the window's content), follows
// that window when it moves, and closes when the window closes or the panel loses key status. Every
// change is written straight to the delegate; nothing is kept here. One shared instance; main thread
// only.
class OVTextPanel : public OVViewController, public pf::WindowDelegate
{
    Q_OBJECT

public:
    static constexpr unsigned noAlignment = std::numeric_limits<unsigned>::max();

    OVTextPanel();
    ~OVTextPanel() override;

    QString className() const override { return QStringLiteral("OVTextPanel"); }
    static OVTextPanel& sharedTextPanel();

    void loadView() override;

    // Shows the panel below `point` (the window's base coordinates) for `delegate`. Shown again for the
    // same delegate in the same window, it only moves.
    void showAtPoint(pf::Point point, pf::Window* window, OVTextPanelDelegate* delegate);
    // Closes the panel and answers true when `delegate` owns it.
    bool closeForDelegate(const OVTextPanelDelegate* delegate);
    // Ends editing: the delegate hears of it and is dropped, the panel leaves its window.
    void close();

    // The panel's commands appended to `menu`: "Alignment", "Font", "Pick Text Color", "Show Text
    // Settings" (titles through the "Menu" table).
    void integrateIntoMenu(pf::Menu* menu);
    bool validateMenuItem(QAction* item) const;

    bool isVisible() const;
    OVChildSupportWindow* window() const { return m_window; }
    bool isHidden() const { return m_isHidden; }
    void setIsHidden(bool hidden);
    bool showsFontList() const { return m_showsFontList; }
    void setShowsFontList(bool shows);
    bool showsAlignment() const { return m_showsAlignment; }
    void setShowsAlignment(bool shows);
    void openCloseFontList() { setShowsFontList(!m_showsFontList); }

    // From the delegate.
    QString fontName() const { return m_fontName; }
    void setFontName(const QString& name);
    unsigned alignment() const { return m_alignment; }
    void setAlignment(unsigned alignment);
    // Reads the bound delegate's properties again (the delegate's textPanelValuesChanged()).
    void delegateValuesChanged(const OVTextPanelDelegate* delegate);

    // Actions.
    void selectFont(int index);
    void selectAlignment(int index); // 0 left, 1 centre, 2 right
    void showColorPicker();
    void updateColorFromWell();
    void updateAlignment(OVButton* button);

    // The installed families; a list set here (tests) replaces them and the samples.
    QStringList availableFonts();
    void setAvailableFonts(const QStringList& names);
    // Per family its name in its own face at 18 points, or "Broken Font" in the system font.
    struct Sample
    {
        QString text;
        QFont font;
    };
    const std::vector<Sample>& samples();

    // The undo manager of the focus window's document, if any: edits in the panel go there.
    std::shared_ptr<pf::UndoManager> undoManager() const;

    OVTextPanelDelegate* delegate() const;
    pf::Window* focusWindow() const { return m_focusWindow; }
    pf::Point focusPointBelow() const { return m_focusPointBelow; }
    pf::Rect lastWindowFrame() const { return m_lastWindowFrame; }
    OVPointingView* pointingView() const;
    QPlainTextEdit* inputField() const { return m_inputField; }
    OVColorWell* colorWell() const { return m_colorWell; }
    QListWidget* fontTable() const { return m_fontTable; }
    OVButton* openButton() const { return m_openButton; }
    const std::vector<QPointer<OVButton>>& allButtons() const { return m_allButton; }
    pf::View* cornerContainer() const { return m_cornerContainer; }
    pf::View* fontContainer() const { return m_fontContainer; }
    pf::View* alignmentContainer() const { return m_alignmentContainer; }

    void updateWindowFrame();
    void windowDidResignKey(pf::Window* window) override;

private:
    void updateDelegate();
    void layOutControls();
    void inputChanged();
    void fontRowChanged(int row);
    void attachTo(pf::Window* window);
    void detach();

    QPointer<pf::View> m_fontContainer, m_textContainer, m_cornerContainer, m_inputBox, m_alignmentContainer;
    QPointer<QPlainTextEdit> m_inputField;
    QPointer<OVColorWell> m_colorWell;
    QPointer<QListWidget> m_fontTable;
    QPointer<OVButton> m_openButton;
    std::vector<QPointer<OVButton>> m_allButton;
    QPointer<OVChildSupportWindow> m_window;
    bool m_showsAlignment = true;
    bool m_showsFontList = true;
    bool m_isHidden = true;
    pf::Rect m_lastWindowFrame;
    QStringList m_availableFonts;
    bool m_fontsPrepared = false;
    std::vector<Sample> m_samples;
    bool m_samplesPrepared = false;
    pf::Point m_focusPointBelow;
    QPointer<pf::Window> m_focusWindow;
    pf::ObserverToken m_closeObserver, m_moveObserver;
    OVTextPanelDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    QString m_fontName;
    unsigned m_alignment = noAlignment;
    bool m_updatingFromDelegate = false;
    bool m_closing = false;
    bool m_showing = false;
    std::vector<QPointer<QAction>> m_menuItems;
};
