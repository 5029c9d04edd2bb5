// A bitmap writes its pixels in place once no copy shares them. Whether one does is read from the
// shared count without ordering: after another thread read its copy and let it go, with nothing else
// between the two threads, the write may land in place on pixels that thread read, and the thread
// checker reports the read and the write as a race.

#include "ImageTestSupport.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace pf;
using namespace pftest;

TEST(SharedPixels, AWriteAfterAnotherThreadLetItsCopyGoIsOrderedAfterItsReads)
{
    const int w = 64, h = 48;
    const Image image = Image::fromBitmap(randomBitmap(w, h, 9))
                            .imageByApplyingTransform(AffineTransform::translation(1, 0));
    for (int round = 0; round < 20; ++round) {
        Bitmap mine(w, h, Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
        std::memset(mine.mutableData(), 0x5a, mine.byteCount());
        Bitmap theirs = mine;
        std::atomic<bool> gone{false};
        std::thread reader([&] {
            size_t sum = 0;
            for (size_t i = 0; i < theirs.byteCount(); ++i)
                sum += theirs.data()[i];
            EXPECT_EQ(sum, size_t(0x5a) * theirs.byteCount());
            theirs = Bitmap();
            gone.store(true, std::memory_order_relaxed);
        });
        while (!gone.load(std::memory_order_relaxed))
            std::this_thread::yield();
        RenderContext own(QStringLiteral("handoff"));
        EXPECT_TRUE(own.render(image, Rect(0, 0, w, h), mine));
        reader.join();
    }
}
