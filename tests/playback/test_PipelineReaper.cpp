// The thread that tears down the pipelines a player lets go of.
#include "playback/CPipelineReaper.h"

#include "playback/CHeapTrim.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

// Names the pipelines in the order they were freed, and counts the heap trims that ran before
// each was.
struct Freed {
    std::mutex mutex;
    std::vector<std::string> names;
    std::vector<unsigned> trimsBefore;

    GstElement *Make(const char *pszName) {
        GstElement *pPipeline = gst_pipeline_new(pszName);
        gst_object_ref_sink(pPipeline);
        auto *pEntry = new std::pair<Freed *, std::string>(this, pszName);
        g_object_weak_ref(
            G_OBJECT(pPipeline),
            [](gpointer pData, GObject *) {
                auto *p = static_cast<std::pair<Freed *, std::string> *>(pData);
                std::lock_guard<std::mutex> lock(p->first->mutex);
                p->first->names.push_back(p->second);
                p->first->trimsBefore.push_back(CHeapTrim::TrimCount());
                delete p;
            },
            pEntry);
        gst_element_set_state(pPipeline, GST_STATE_PLAYING);
        return pPipeline;
    }
    std::vector<std::string> Names() {
        std::lock_guard<std::mutex> lock(mutex);
        return names;
    }
    unsigned TrimsBeforeLast() {
        std::lock_guard<std::mutex> lock(mutex);
        return trimsBefore.back();
    }
};

} // namespace

TEST(PipelineReaper, OneDueAtOnceOvertakesADelayedOneAndDrainCutsDelaysShort) {
    gst_init(nullptr, nullptr);
    Freed freed;
    CPipelineReaper reaper;
    QElapsedTimer clock;
    clock.start();
    reaper.Dispose(freed.Make("ended"), std::chrono::milliseconds(300));
    reaper.Dispose(freed.Make("replaced"));
    QTRY_COMPARE_WITH_TIMEOUT(freed.Names().size(), size_t(1), 2000);
    EXPECT_EQ(freed.Names().front(), "replaced");
    QTRY_COMPARE_WITH_TIMEOUT(freed.Names().size(), size_t(2), 2000);
    EXPECT_EQ(freed.Names().back(), "ended");
    EXPECT_GE(clock.elapsed(), 300);

    reaper.Dispose(freed.Make("late"), std::chrono::seconds(30));
    clock.restart();
    reaper.Drain();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(freed.Names().back(), "late");
}

// A player drops two pipelines at a step (the one it prepared and the one that played): the
// second comes within the trims' interval, and what it freed goes back too, a moment later.
TEST(PipelineReaper, ATeardownCloseAfterAnotherIsStillFollowedByATrim) {
    gst_init(nullptr, nullptr);
    Freed freed;
    CPipelineReaper reaper;
    reaper.Dispose(freed.Make("prepared"));
    reaper.Dispose(freed.Make("played"));
    QElapsedTimer clock;
    clock.start();
    const auto trimmedAfterBoth = [&] {
        return freed.Names().size() == 2 && CHeapTrim::TrimCount() > freed.TrimsBeforeLast();
    };
    while (!trimmedAfterBoth() && clock.elapsed() < 2 * CHeapTrim::MIN_INTERVAL.count() + 500)
        QThread::msleep(10);
    EXPECT_TRUE(trimmedAfterBoth());
}
