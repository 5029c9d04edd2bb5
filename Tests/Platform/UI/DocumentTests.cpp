#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/Document.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace {

// Writes nothing, on the save thread, and tells where it was destroyed.
class QuickDocument : public pf::Document
{
public:
    explicit QuickDocument(std::atomic<int>* destroyedElsewhere) : m_destroyedElsewhere(destroyedElsewhere) {}
    ~QuickDocument() override
    {
        if (!pf::isMainThread())
            ++*m_destroyedElsewhere;
    }
    bool readFromURL(const QString&, const QString&, QString*) override { return true; }
    bool writeToURL(const QString&, const QString&, SaveOperation, const QString&, QString*) override
    {
        return true;
    }
    bool canAsynchronouslyWrite(const QString&, const QString&, SaveOperation) const override { return true; }

private:
    std::atomic<int>* m_destroyedElsewhere;
};

bool spinUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

} // namespace

// A document is main-thread state (its undo manager, its window): whoever lets it go as its save ends,
// it is destroyed on the main thread, never on the thread that wrote it.
TEST(Document, LetGoWhenItsSaveEndsItIsDestroyedOnTheMainThread)
{
    std::atomic<int> destroyedElsewhere{0};
    for (int round = 0; round < 5000; ++round) {
        auto document = std::make_shared<QuickDocument>(&destroyedElsewhere);
        std::weak_ptr<pf::Document> weak = document;
        bool finished = false;
        document->saveToURL(QStringLiteral("/nonexistent/quick"), QStringLiteral("quick"),
                            pf::Document::SaveOperation::SaveTo,
                            [&finished](bool, const QString&) { finished = true; });
        document.reset();
        ASSERT_TRUE(spinUntil([&] { return finished; }));
        ASSERT_TRUE(spinUntil([&] { return weak.expired(); }));
    }
    EXPECT_EQ(destroyedElsewhere.load(), 0);
}
