#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Media/Movie.h"
#include "Platform/UI/ViewAnimator.h"
#include "TestFilters.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Animations a test's windows started (a welcome grid moving its tiles, a shade row) end before the next
// test, whose stepped clock would otherwise drive them and whose layout they would contend with.
class AnimationsSettle : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        doctest::spinUntil([] { return pf::ViewAnimator::runningCount() == 0; }, 5000);
    }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Help sheets play their movies through the application's media backend.
    pf::Movie::chooseBackend();
    QApplication app(argc, argv);
    // As in the application: quitting is the Quit command's. Else a test that runs the main loop while
    // its last window closes leaves the toolkit's own quit posted behind it, and whichever test takes it
    // has every modal loop after it (a question's included) return at once, with no button pressed.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("glimora-document-tests"));
    QTemporaryDir workingArea; // shadow copies, snapshots and defaults live here, never in the user's folders
    // A child process started by a test is given its parent's working area through the environment.
    if (qEnvironmentVariableIsEmpty("PF_APPLICATION_SUPPORT_DIR"))
        pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path() + QStringLiteral("/app"));
    if (qEnvironmentVariableIsEmpty("PF_USER_DEFAULTS_FILE"))
        pf::UserDefaults::standard().setFileForTesting(workingArea.path() + QStringLiteral("/defaults.conf"));
    // The first editor window's help sheet would lie over the windows these runs look at.
    pf::UserDefaults::standard().setValue(OVInformationPanel::dontShowAgainKey,
                                          QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    FilterLibrary::registerAll();
    testfilters::registerAll();
    GMDocument::setBlueprintCatalog(&doctest::catalog());
    ::testing::UnitTest::GetInstance()->listeners().Append(new AnimationsSettle);
    const int result = RUN_ALL_TESTS();
    OVBrushPathImage::waitForPendingWrites();
    return result;
}
