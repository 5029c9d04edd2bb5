#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"

#include <QLabel>
#include <QPointer>
#include <QTextEdit>

class OVButton;

// The in-house framework's about window: the application's name, a text about the framework that fades
// out at its top and bottom edges as it scrolls, the version, and buttons to the maker's home page and
// the product's page (each hidden without an address). One shared instance; closing drops the window and
// its text, so the next showing builds them again. The product itself does not show it. Main thread only.
class OVAboutBoxController : public OVWindowController
{
    Q_OBJECT

public:
    OVAboutBoxController();
    ~OVAboutBoxController() override;

    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("OVAboutBoxController")} + OVWindowController::classChain();
    }

    static OVAboutBoxController* sharedAboutBox();
    // Drops the shared instance (before the application object goes).
    static void releaseShared();

    QTextEdit* textView() const { return m_textView; }
    QTextEdit* textScrollView() const { return m_textView; }
    QLabel* versionTF() const { return m_versionTF; }
    OVButton* homePageButton() const;
    OVButton* appPageButton() const;

    // The stored name, else the application's.
    QString appName() const;
    void setAppName(const QString& name) { m_appName = name; }
    // The stored link, else the product page's address.
    QString appLink() const;
    void setAppLink(const QString& link) { m_appLink = link; }

    bool openORVWebsite();
    bool openAppWebsite();

    void windowDidLoad() override;
    void windowDidClose() override;

    static void registerInterface();

private:
    QPointer<QTextEdit> m_textView;
    QPointer<QLabel> m_versionTF;
    QString m_appName;
    QString m_appLink;
};
