// The event queue between GStreamer's threads and the owner window.
#include "CNotifyCatcher.h"
#include "playback/CGraphEventQueue.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

namespace {

GstMessage *Eos() {
    return gst_message_new_eos(nullptr);
}

GstMessage *Error(const char *pszText) {
    GError *pError = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, pszText);
    GstMessage *pMsg = gst_message_new_error(nullptr, pError, "debug");
    g_error_free(pError);
    return pMsg;
}

void Feed(CGraphEventQueue &queue, GstMessage *pMsg) {
    queue.HandleMessage(pMsg);
    gst_message_unref(pMsg);
}

} // namespace

TEST(GraphEventQueue, NothingIsQueuedBeforeTheMediaIsOpen) {
    auto pQueue = std::make_shared<CGraphEventQueue>();
    Feed(*pQueue, Eos());
    Feed(*pQueue, Error("first"));
    Feed(*pQueue, Error("second"));
    CGraphEventQueue::Event event;
    EXPECT_FALSE(pQueue->Pop(event));
    std::string strError;
    EXPECT_FALSE(pQueue->WaitPreroll(1000, strError));
    EXPECT_EQ(strError, "first");
}

TEST(GraphEventQueue, PrerollEndsOnAsyncDoneOrTimesOut) {
    auto pQueue = std::make_shared<CGraphEventQueue>();
    std::string strError;
    EXPECT_FALSE(pQueue->WaitPreroll(20, strError));
    EXPECT_FALSE(strError.empty());
    std::thread poster([pQueue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Feed(*pQueue, gst_message_new_async_done(nullptr, GST_CLOCK_TIME_NONE));
    });
    strError.clear();
    EXPECT_TRUE(pQueue->WaitPreroll(5000, strError));
    EXPECT_TRUE(strError.empty());
    poster.join();
}

TEST(GraphEventQueue, ArmedQueueDeliversInOrderWithOneNotification) {
    auto pQueue = std::make_shared<CGraphEventQueue>();
    int nNotifications = 0;
    pQueue->SetNotify([&nNotifications] { ++nNotifications; });
    pQueue->Arm();
    // Posted from a streaming thread, like the real bus does.
    std::thread poster([pQueue] {
        Feed(*pQueue, Error("decoder broke"));
        Feed(*pQueue, Eos());
    });
    poster.join();
    QTest::qWait(50);
    EXPECT_EQ(nNotifications, 1);

    CGraphEventQueue::Event event;
    ASSERT_TRUE(pQueue->Pop(event));
    EXPECT_EQ(event.lCode, CPlayerBase::EC_ERRORABORT);
    EXPECT_EQ(event.strText, "decoder broke");
    ASSERT_TRUE(pQueue->Pop(event));
    EXPECT_EQ(event.lCode, CPlayerBase::EC_COMPLETE);
    EXPECT_FALSE(pQueue->Pop(event));

    // Once delivered, the next event notifies again.
    Feed(*pQueue, Eos());
    QTest::qWait(50);
    EXPECT_EQ(nNotifications, 2);
}

TEST(GraphEventQueue, NotificationForAGoneQueueOrOwnerIsHarmless) {
    CGraphEventQueue::Event event;
    {
        auto pQueue = std::make_shared<CGraphEventQueue>();
        pQueue->Arm();
        auto *pOwner = new CNotifyCatcher;
        pQueue->SetNotify(pOwner->Notifier());
        Feed(*pQueue, Eos());
        // Whoever listened goes away and says so, as the player does when it lets go.
        delete pOwner;
        pQueue->SetNotify(nullptr);
        QTest::qWait(20);
        EXPECT_TRUE(pQueue->Pop(event));
        Feed(*pQueue, Eos());
    }
    QTest::qWait(20); // the queued delivery finds the queue gone
    SUCCEED();
}

// An error a bin kept from the bus ends the preroll only when its element is still inside a
// moment later; an element the bin gave up on (removed) may be followed by one that works.
TEST(GraphEventQueue, ErrorKeptFromTheBusCountsOnlyForAnElementThatStays) {
    for (bool bRemoved : {false, true}) {
        SCOPED_TRACE(bRemoved ? "removed" : "stays");
        GstElement *pPipeline = gst_pipeline_new(nullptr);
        GstElement *pBin = gst_bin_new(nullptr);
        GstElement *pChild = gst_element_factory_make("identity", nullptr);
        gst_bin_add(GST_BIN(pBin), pChild);
        gst_bin_add(GST_BIN(pPipeline), pBin);
        auto pQueue = std::make_shared<CGraphEventQueue>();
        pQueue->Attach(pPipeline);
        GstMessage *pMsg = Error("no playable streams");
        pQueue->HandleChildError(pChild, pMsg);
        gst_message_unref(pMsg);
        if (bRemoved)
            gst_bin_remove(GST_BIN(pBin), pChild);
        QElapsedTimer clock;
        clock.start();
        std::string strError;
        EXPECT_FALSE(pQueue->WaitPreroll(1000, strError));
        if (bRemoved) {
            EXPECT_EQ(strError, "Timed out while opening the media");
            EXPECT_GE(clock.elapsed(), 990);
        } else {
            EXPECT_EQ(strError, "no playable streams");
            EXPECT_LT(clock.elapsed(), 500);
        }
        pQueue->Detach();
        gst_object_unref(pPipeline);
    }
}
