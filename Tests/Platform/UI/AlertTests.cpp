#include "Platform/UI/Alert.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

using Role = pf::Alert::Role;

// An alert's buttons stand in the desktop's order whatever the order they were added in (the default
// at the right, a destructive one apart from it), and Escape answers Cancel, or the only button; where
// nothing cancels, Escape answers nothing.
TEST(Alert, ButtonsStandInTheDesktopsOrderAndEscapeAnswersCancel)
{
    struct Case
    {
        const char* what;
        QList<std::pair<QString, Role>> buttons;
        QStringList leftToRight;
        std::optional<int> escape;
    };
    const Case cases[] = {
        {"the changes into the file",
         {{"Save", Role::Normal}, {"Cancel", Role::Cancel}, {"Don't Save", Role::Destructive}},
         {"Don't Save", "Cancel", "Save"},
         pf::Alert::firstButtonReturn + 1},
        {"keep an untitled document",
         {{"Save…", Role::Normal}, {"Cancel", Role::Cancel}, {"Delete", Role::Destructive}},
         {"Delete", "Cancel", "Save…"},
         pf::Alert::firstButtonReturn + 1},
        {"replace a file changed on disk",
         {{"Replace", Role::Normal}, {"Save As…", Role::Normal}, {"Cancel", Role::Cancel}},
         {"Save As…", "Cancel", "Replace"},
         pf::Alert::firstButtonReturn + 2},
        {"the default cancels",
         {{"Don't Quit", Role::Cancel}, {"Quit Anyway", Role::Destructive}},
         {"Quit Anyway", "Don't Quit"},
         pf::Alert::firstButtonReturn},
        {"a note", {{"OK", Role::Normal}}, {"OK"}, pf::Alert::firstButtonReturn},
        {"two ways, none of them a cancel",
         {{"Open Kept Edits", Role::Normal}, {"Open the File as It Is", Role::Normal}},
         {"Open the File as It Is", "Open Kept Edits"},
         std::nullopt},
    };
    pf::Window window(pf::Rect(100, 100, 640, 420));
    window.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pf::Alert alert;
        alert.messageText = QString::fromLatin1(c.what);
        for (const auto& [title, role] : c.buttons)
            alert.addButton(title, role);
        std::optional<int> answer;
        alert.beginSheetModal(&window, [&](int pressed) { answer = pressed; });
        QMessageBox* box = window.findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
        QList<QAbstractButton*> shown = box->buttons();
        std::sort(shown.begin(), shown.end(), [box](QAbstractButton* a, QAbstractButton* b) {
            return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
        });
        QStringList order;
        for (QAbstractButton* button : shown)
            order << button->text();
        EXPECT_EQ(order, c.leftToRight);
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton()->text(), c.buttons.first().first) << "the first added is the default";

        QTest::keyClick(box, Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_EQ(answer, c.escape);
        if (!answer) {
            EXPECT_TRUE(box->isVisible()) << "Escape leaves a question nothing cancels open";
            box->defaultButton()->click();
            QCoreApplication::processEvents();
            EXPECT_EQ(answer, pf::Alert::firstButtonReturn);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(window.findChild<QMessageBox*>(), nullptr);
    }
}

// A box that ends without a button pressed (the window manager's close, a close from elsewhere, a
// modal box hidden) answers Cancel, never the first button (Save, Replace: work written over or thrown away);
// an alert without Cancel answers its only button. Asked application-modal and as a sheet alike.
TEST(Alert, ABoxClosedWithoutAButtonAnswersCancel)
{
    struct Way
    {
        const char* what;
        std::function<void(QMessageBox*)> close;
        bool endsASheet; // a sheet merely hidden has not ended: it answers once shown and pressed
    };
    const Way ways[] = {
        {"closed", [](QMessageBox* box) { box->close(); }, true},
        {"rejected", [](QMessageBox* box) { box->reject(); }, true},
        {"hidden", [](QMessageBox* box) { box->hide(); }, false},
    };
    struct Case
    {
        const char* what;
        QList<std::pair<QString, Role>> buttons;
        int answer;
    };
    const Case cases[] = {
        {"save the changes",
         {{"Save", Role::Normal}, {"Cancel", Role::Cancel}, {"Don't Save", Role::Destructive}},
         pf::Alert::firstButtonReturn + 1},
        {"replace a changed file",
         {{"Replace", Role::Normal}, {"Save As…", Role::Normal}, {"Cancel", Role::Cancel}},
         pf::Alert::firstButtonReturn + 2},
        {"a note", {{"OK", Role::Normal}}, pf::Alert::firstButtonReturn},
    };
    pf::Window window(pf::Rect(100, 100, 640, 420));
    window.show();
    for (const Way& way : ways) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", " + way.what);
            pf::Alert alert;
            alert.messageText = QString::fromLatin1(c.what);
            for (const auto& [title, role] : c.buttons)
                alert.addButton(title, role);

            // Application-modal: the box is closed from inside its own loop.
            QTimer closer;
            bool closed = false;
            QObject::connect(&closer, &QTimer::timeout, [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    box && box->isVisible() && !closed) {
                    closed = true;
                    way.close(box);
                }
            });
            closer.start(10);
            EXPECT_EQ(alert.runModal(), c.answer) << "application-modal";
            closer.stop();
            EXPECT_TRUE(closed);
            if (!way.endsASheet)
                continue;

            std::optional<int> answer;
            alert.beginSheetModal(&window, [&](int pressed) { answer = pressed; });
            QMessageBox* box = window.findChild<QMessageBox*>();
            ASSERT_NE(box, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
            way.close(box);
            QCoreApplication::processEvents();
            EXPECT_EQ(answer, c.answer) << "a sheet";
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            ASSERT_EQ(window.findChild<QMessageBox*>(), nullptr);
        }
    }
}

} // namespace
