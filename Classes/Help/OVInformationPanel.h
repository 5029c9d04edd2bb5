#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Media/Movie.h"

#include <QImage>
#include <QPointer>
#include <QVariantMap>
#include <memory>
#include <optional>

class OVButton;
class OVImageView;
class OVMovieController;
class OVRichTextView;
class QCheckBox;
class QPushButton;

namespace pf {
class TextField;
class Timer;
} // namespace pf

// One help topic: its movie with subtitles, image, action button and rich text, read from the help
// folder "Informations" by the topic's name and stacked in a container whose size follows the content.
// The container is shown in the tips catalog or in the panel's own window, a sheet over another window
// with an OK button and a box not to show the topic again ("DontShowAgain"). Main thread.
class OVInformationPanel : public OVWindowController
{
    Q_OBJECT
public:
    static const QString infoDoneNotification; // "InfoDone", sender: the panel
    static const QString dontShowAgainKey;     // "DontShowAgain"
    static constexpr double kSpacing = 4;

    explicit OVInformationPanel(const QString& title);
    ~OVInformationPanel() override;
    QStringList classChain() const override
    {
        return {QStringLiteral("OVInformationPanel"), QStringLiteral("OVWindowController")};
    }
    void windowDidLoad() override;

    // The help folder, opened as a bundle of its own with the user's localisation folders.
    static const pf::Bundle& informationBundle();
    // Tests read another folder (empty: the application's again).
    static void setInformationFolderForTesting(const QString& folder, const QString& language = QString());
    // A text of the help folder's default strings table ("Layers", "LayersSub"); the key when it has none.
    static QString localizedString(const QString& key);
    static bool shouldShowMessageWithTitle(const QString& title);
    // The topic as a sheet over `window` unless the user asked not to see it or it was shown in this run.
    static OVInformationPanel* showInformationForTitle(const QString& title, pf::Window* window);
    static void resetAllDontShows();
    // The panels whose sheets are up.
    static QList<OVInformationPanel*> openPanels();

    QString tag() const { return m_tag; }
    // Takes the movie (null: none).
    void setMovie(std::unique_ptr<pf::Movie> movie);
    pf::Movie* movie() const { return m_movie.get(); }
    void setImage(const QImage& image);
    QImage image() const { return m_image; }
    void setTextURL(const QString& path);
    QString textURL() const { return m_textPath; }
    void setActionDescription(const QVariantMap& description);
    QVariantMap actionDescription() const { return m_actionDescription; }
    void setMaxSize(pf::Size size) { m_maxSize = size; }
    pf::Size maxSize() const { return m_maxSize; }
    pf::Size diff() const { return m_diff; }
    pf::View* container() const;
    OVMovieController* movieController() const { return m_movieController.get(); }
    void setIsVisible(bool visible);
    bool isVisible() const { return m_isVisible; }

    // Now, or once on the next turn of the event loop however often asked.
    void updateLayoutInstantly(bool now);
    void updateLayoutTimed();
    int layoutCount() const { return m_layoutCount; }
    // The user resizes the panel's window: the answer is the size that fits the content.
    pf::Size windowWillResize(pf::Size proposed);

    void showOverWindow(pf::Window* parent);
    // The OK button: records the check box, ends the sheet.
    void closeSheet();
    // Ends the sheet without recording the check box.
    void cancel();
    void makeFirstResponder();

    // Outlets.
    OVRichTextView* textView() const;
    OVImageView* imageView() const;
    pf::View* actionView() const;
    OVButton* actionButton() const;
    pf::TextField* actionDescriptionField() const;
    QCheckBox* dontShowCheckbox() const;
    QPushButton* okButton() const;
    pf::TextField* titleField() const;
    pf::TextField* subtitleField() const;

private:
    void loadContent();
    void endSheet(bool recordCheckbox);
    void sheetDidEnd();
    void setInContainer(pf::View* view, bool present);
    void fitOnScreen(pf::Window* parent);
    void placeUnderParent();

    QString m_tag;
    pf::Size m_diff;
    pf::Size m_maxSize{480, 680};
    QString m_textPath;
    QImage m_image;
    QVariantMap m_actionDescription;
    std::unique_ptr<pf::Movie> m_movie;
    std::unique_ptr<OVMovieController> m_movieController;
    std::shared_ptr<pf::Timer> m_layoutTimer;
    bool m_isVisible = false;
    int m_layoutCount = 0;
    QPointer<pf::Window> m_sheetParent;
    pf::ObserverToken m_parentClosing; // a sheet goes with the window it was shown over
    bool m_fitting = false;
};
