#include "ChainTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace pf;
using namespace chaintest;

namespace {

struct Fixture
{
    std::shared_ptr<PhotoToolChain> chain = std::make_shared<PhotoToolChain>(photo(64, 48));
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    RecordingDelegate delegate;
    QStringList notifications;
    ObserverToken observer;

    Fixture()
    {
        chain->setUndoManager(undo);
        chain->setDelegate(&delegate);
        chain->setUndoDenomination(QStringLiteral("Effect"));
        observer = NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("OVRCContentDidChange"), chain.get(), [this](const Notification& n) {
                notifications << QStringLiteral("%1/%2")
                                     .arg(n.userInfo.value("OVRCChangeIndex").toInt())
                                     .arg(n.userInfo.value("OVRCAction").toInt());
            });
    }
    void endTurn() { QCoreApplication::processEvents(); }
};

} // namespace

TEST(PhotoToolChain, InsertPositionsAndSelection)
{
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    EXPECT_EQ(f.delegate.calls, (QStringList{"insert 1", "select 1"}));
    EXPECT_EQ(f.notifications, QStringList{"1/2"});
    f.chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 99); // clamped to the top
    EXPECT_EQ(f.chain->numberOfTools(), 3);
    EXPECT_EQ(f.chain->selectionIndex(), 2);
    f.chain->setSelectionIndex(1);
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0); // below the selection
    EXPECT_EQ(f.chain->selectionIndex(), 2) << "the same layer stays selected";
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 3); // far above: selection unchanged
    EXPECT_EQ(f.chain->selectionIndex(), 2);
    f.delegate.calls.clear();
    f.chain->setSelectionIndex(40);
    EXPECT_EQ(f.chain->selectionIndex(), 4);
    EXPECT_EQ(f.delegate.calls, QStringList{"select 4"});
    EXPECT_EQ(f.chain->photoToolAtIndex(1)->settings().value("intensity").toDouble(), 0.5);
    // A blueprint without an additional image gets none.
    EXPECT_TRUE(f.chain->brushPathImageAtIndex(1)->contentContainer()->additionalImageContainer()->isEmpty());
}

TEST(PhotoToolChain, RemoveAndUndoBringBackTheLayerWithItsMaskHistory)
{
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    f.chain->insertPhotoToolWithBlueprint(grey(), QVariantMap{{"intensity", 0.25}}, 1);
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 2);
    f.endTurn();
    auto middleMask = f.chain->brushPathImageAtIndex(2);
    middleMask->addContentContainer(std::make_shared<OVContentContainer>());
    f.endTurn();
    ASSERT_EQ(middleMask->segmentImageNames().size(), 2);

    f.chain->setSelectionIndex(3);
    f.delegate.calls.clear();
    f.notifications.clear();
    f.chain->removePhotoToolAtIndex(2);
    f.endTurn();
    EXPECT_EQ(f.delegate.calls, (QStringList{"select 2", "remove 2"}));
    EXPECT_EQ(f.notifications, QStringList{"2/1"});
    EXPECT_EQ(f.undo->undoActionName(), "Remove Effect");

    f.undo->undo();
    EXPECT_EQ(f.chain->numberOfTools(), 4);
    EXPECT_EQ(f.chain->brushPathImageAtIndex(2), middleMask);
    EXPECT_EQ(f.chain->photoToolAtIndex(2)->settings().value("intensity").toDouble(), 0.25);
    EXPECT_EQ(middleMask->segmentImageNames().size(), 2);
    f.undo->redo();
    EXPECT_EQ(f.chain->numberOfTools(), 3);
    EXPECT_NE(f.chain->brushPathImageAtIndex(2), middleMask);

    // The mask's own history still undoes through the chain's undo manager.
    f.undo->undo();
    f.undo->undo(); // the stroke on the middle layer
    EXPECT_EQ(middleMask->segmentImageNames().size(), 1);
}

TEST(PhotoToolChain, RemoveAllIsNotUndoableAndSelectsTheBackgroundFirst)
{
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 1);
    f.endTurn();
    f.undo->removeAllActions();
    f.delegate.calls.clear();
    f.notifications.clear();
    int selectionWhenTold = -1;
    f.delegate.reenter = [&] {
        if (f.delegate.calls.last() == "removeAll")
            selectionWhenTold = f.chain->selectionIndex();
    };
    f.chain->removeAllPhotoTools();
    EXPECT_EQ(f.notifications, QStringList{"1/3"});
    EXPECT_EQ(f.chain->numberOfTools(), 1);
    EXPECT_EQ(selectionWhenTold, 0);
    EXPECT_EQ(f.delegate.calls.last(), "select 0");
    f.endTurn();
    EXPECT_FALSE(f.undo->canUndo());
}

TEST(PhotoToolChain, NamelessChangesUndoTogetherWithTheNamedOne)
{
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    f.endTurn();
    f.chain->setSettingsForToolAtIndex({{"intensity", 0.6}}, 1);
    f.chain->setSettingsForToolAtIndex({{"intensity", 0.7}}, 1);
    f.chain->setSettingsForToolAtIndex({{"intensity", 0.8}}, 1, QStringLiteral("Intensity"));
    f.endTurn();
    EXPECT_EQ(f.undo->undoActionName(), "Intensity");
    f.undo->undo();
    EXPECT_EQ(f.chain->photoToolAtIndex(1)->settings().value("intensity").toDouble(), 0.5);
    f.undo->redo();
    EXPECT_EQ(f.chain->photoToolAtIndex(1)->settings().value("intensity").toDouble(), 0.8);
    EXPECT_TRUE(f.delegate.calls.contains("settings 1"));
    EXPECT_TRUE(f.delegate.calls.contains("composition 1"));
}

TEST(PhotoToolChain, OutOfRangeRequestsAreRefusedAndTheBackgroundStays)
{
    Fixture f;
    LogCapture capture;
    f.chain->removePhotoToolAtIndex(5);
    f.chain->replaceBrushPathImage(std::make_shared<OVBrushPathImage>(Size(4, 4)), 3);
    EXPECT_EQ(capture.lines().size(), 2);
    f.chain->setSettingsForToolAtIndex({{"intensity", 1.0}}, 9);
    EXPECT_EQ(f.chain->numberOfTools(), 1);
    EXPECT_DEATH(f.chain->removePhotoToolAtIndex(0), "Cannot remove background photo tool");
}

TEST(PhotoToolChain, ReplacingAMaskIsUndoable)
{
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    f.endTurn();
    auto original = f.chain->brushPathImageAtIndex(1);
    auto replacement =
        std::make_shared<OVBrushPathImage>(Size(64, 48), std::make_shared<OVContentContainer>());
    f.delegate.calls.clear();
    f.chain->replaceBrushPathImage(replacement, 1);
    f.endTurn();
    EXPECT_EQ(f.chain->brushPathImageAtIndex(1), replacement);
    EXPECT_EQ(f.delegate.calls, QStringList{"brushPath 1"});
    EXPECT_EQ(f.undo->undoActionName(), "Replace Brushpath");
    f.undo->undo();
    EXPECT_EQ(f.chain->brushPathImageAtIndex(1), original);
}

TEST(PhotoToolChain, AdditionalImagesArePreparedOnceForEffectsThatPaintThem)
{
    GMBlueprintCatalog local;
    QVariantMap beard = catalog().blueprintDictionaryWithName("TestTint");
    beard.insert("name", "TestBeard");
    beard.insert("brush", QVariantMap{{"brushUsingAdditionalImage", true}, {"drawType", "beard"}});
    local.registerBlueprint(beard);
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(local.effectBlueprintWithName("TestBeard"), std::nullopt, 0);
    auto container = f.chain->selectedBrushPathImage()->contentContainer();
    EXPECT_EQ(container->additionalImageContainer()->size(), Size(1, 1)); // the placeholder
    f.chain->prepareSelectedWithFaceWidth(0.0);
    EXPECT_EQ(container->additionalImageContainer()->size(), Size(64, 48));
    EXPECT_FALSE(container->additionalImageContainer()->isEmpty()) << "the stubble texture is a PNG";
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 1);
    f.chain->prepareSelectedWithFaceWidth(0.3);
    EXPECT_TRUE(f.chain->selectedBrushPathImage()->contentContainer()->additionalImageContainer()->isEmpty());
}

TEST(PhotoToolChain, AnUndoManagerSetToNoneAndBackKeepsTheHistory)
{
    Fixture f;
    f.chain->insertPhotoToolWithBlueprint(tint(), std::nullopt, 0);
    f.endTurn();
    f.chain->brushPathImageAtIndex(1)->addContentContainer(std::make_shared<OVContentContainer>());
    f.endTurn();
    f.chain->setSettingsForToolAtIndex({{"intensity", 0.9}}, 1, QStringLiteral("Intensity"));
    f.endTurn();

    // Bulk loading: no manager, then the same one again.
    f.chain->setUndoManager(nullptr);
    f.chain->insertPhotoToolWithBlueprint(grey(), std::nullopt, 1);
    f.chain->setUndoManager(f.undo);

    f.undo->undo(); // the settings
    EXPECT_EQ(f.chain->photoToolAtIndex(1)->settings().value("intensity").toDouble(), 0.5);
    f.undo->undo(); // the stroke
    EXPECT_EQ(f.chain->brushPathImageAtIndex(1)->segmentImageNames().size(), 1);
    f.undo->undo(); // the insert
    EXPECT_EQ(f.chain->numberOfTools(), 2);
    EXPECT_EQ(f.chain->photoToolAtIndex(1)->blueprint(), grey());

    // Actions go with the chain that made them.
    f.undo->redo();
    f.chain.reset();
    EXPECT_FALSE(f.undo->canUndo());
    EXPECT_FALSE(f.undo->canRedo());
}
