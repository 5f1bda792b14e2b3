// The event queue between GStreamer's threads and the owner window.
#include "CNotifyCatcher.h"
#include "playback/CGraphEventQueue.h"

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
    CNotifyCatcher owner;
    pQueue->SetNotifyWindow(&owner);
    pQueue->Arm();
    // Posted from a streaming thread, like the real bus does.
    std::thread poster([pQueue] {
        Feed(*pQueue, Error("decoder broke"));
        Feed(*pQueue, Eos());
    });
    poster.join();
    int nNotifications = 0;
    struct Counter : QObject {
        int &n;
        explicit Counter(int &r) : n(r) {}
        bool eventFilter(QObject *, QEvent *e) override {
            if (e->type() == CPlayerBase::GraphNotifyEvent())
                ++n;
            return false;
        }
    } counter(nNotifications);
    owner.installEventFilter(&counter);
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
        pQueue->SetNotifyWindow(pOwner);
        Feed(*pQueue, Eos());
        delete pOwner;
        QTest::qWait(20);
        EXPECT_TRUE(pQueue->Pop(event));
        Feed(*pQueue, Eos());
    }
    QTest::qWait(20); // the queued delivery finds the queue gone
    SUCCEED();
}
