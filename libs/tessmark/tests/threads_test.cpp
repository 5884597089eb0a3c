// The navigation thread converts fixes while the interface thread hands the
// engine a new record: each conversion must come wholly from one record.

#include "libs/tessmark/engine_handle.h"
#include "libs/tessmark/tests/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kestrova::tessmark::test {
namespace {

using Record = _DefGeodetsyParameterSetting;

// Two records that differ in every step, so a conversion that mixed them
// would match neither.
Record recordA() {
    return defaultGeodeticRecord();
}

Record recordB() {
    Record r = defaultGeodeticRecord();
    setText(r.SourceSemimajor, "6378245.0");
    setText(r.SourceFlattening, "298.3");
    setText(r.TargetSemimajor, "6378140.0");
    setText(r.TargetFlattening, "298.257");
    r.ProjectionType = 0;
    setText(r.CentralMeridian, "120300000000E");
    setText(r.ScaleRadio, "0.9996");
    setText(r.NorthConst, "100.0");
    r.ETransType = 1;
    setText(r.ETransDx, "-15.4");
    setText(r.ETransDy, "157.0");
    setText(r.ETransDz, "94.7");
    setText(r.ETransRz, "-8.1");
    setText(r.ETransSc, "-2.0");
    r.PTransType = 1;
    setText(r.PTransRa, "+000010000000");
    setText(r.PTransSc, "1.00002");
    r.HFittingType = 2;
    setText(r.HFittingA, "3.5");
    setText(r.HFittingB, "0.0001");
    setText(r.CTransDx, "7.0");
    return r;
}

struct Triple {
    double a, b, c;
    bool operator==(const Triple& o) const { return a == o.a && b == o.b && c == o.c; }
};

TEST(EngineThreads, ConversionsNeverMixTwoRecords) {
    const Record a = recordA();
    const Record b = recordB();
    constexpr int kPoints = 16;
    std::vector<Triple> geo(kPoints);
    for (int i = 0; i < kPoints; ++i)
        geo[i] = {20.0 + i * 1.7, 118.0 + (i % 5) * 0.6, i * 3.0};

    // What each record alone gives, forward and back.
    std::vector<Triple> fwdA(kPoints), fwdB(kPoints), invA(kPoints), invB(kPoints);
    {
        CCoordinateCal ea, eb;
        ea.SetGeodetsyParameter(a);
        eb.SetGeodetsyParameter(b);
        for (int i = 0; i < kPoints; ++i) {
            ea.BLHtoxyh(geo[i].a, geo[i].b, geo[i].c, fwdA[i].a, fwdA[i].b, fwdA[i].c);
            eb.BLHtoxyh(geo[i].a, geo[i].b, geo[i].c, fwdB[i].a, fwdB[i].b, fwdB[i].c);
            ea.xyhtoBLH(fwdA[i].a, fwdA[i].b, fwdA[i].c, invA[i].a, invA[i].b, invA[i].c);
            eb.xyhtoBLH(fwdA[i].a, fwdA[i].b, fwdA[i].c, invB[i].a, invB[i].b, invB[i].c);
            ASSERT_FALSE(fwdA[i] == fwdB[i]);
            ASSERT_FALSE(invA[i] == invB[i]);
        }
    }

    EngineHandle engine;
    engine.setRecord(a);
    std::atomic<int> readersLeft{2};
    std::atomic<int> mixed{0};
    std::atomic<int> sawA{0};
    std::atomic<int> sawB{0};
    constexpr int kConversions = 20000;

    // Each reader converts at least kConversions points and goes on (for at
    // most 30 s) until it has seen both records, so the swaps really interleave.
    // Until then it yields at every step: on a loaded machine the writer must
    // get its turn.
    auto reader = [&](bool forward) {
        int mineA = 0;
        int mineB = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (int n = 0; (n < kConversions || !mineA || !mineB) &&
                        (n % 256 != 0 || std::chrono::steady_clock::now() < deadline);
             ++n) {
            const int i = n % kPoints;
            Triple r{};
            const std::vector<Triple>& wantA = forward ? fwdA : invA;
            const std::vector<Triple>& wantB = forward ? fwdB : invB;
            if (forward) {
                engine.engine()->BLHtoxyh(geo[i].a, geo[i].b, geo[i].c, r.a, r.b, r.c);
            } else {
                engine.engine()->xyhtoBLH(fwdA[i].a, fwdA[i].b, fwdA[i].c, r.a, r.b, r.c);
            }
            if (r == wantA[i]) {
                ++mineA;
            } else if (r == wantB[i]) {
                ++mineB;
            } else {
                ++mixed;
            }
            if (n % 256 == 0 || !mineA || !mineB) std::this_thread::yield();
        }
        sawA += mineA;
        sawB += mineB;
        --readersLeft;
    };
    // The interface thread: a new record as fast as it can, alternately.
    std::thread writer([&] {
        bool useB = true;
        for (int n = 0; n < 10000000 && readersLeft.load() > 0; ++n) {
            engine.setRecord(useB ? b : a);
            useB = !useB;
            if (n % 64 == 0) std::this_thread::yield();
        }
    });
    std::thread navigation(reader, true);
    std::thread display(reader, false);
    navigation.join();
    display.join();
    writer.join();

    EXPECT_EQ(mixed.load(), 0);
    EXPECT_GE(sawA.load() + sawB.load(), 2 * kConversions);
    // The swaps really did interleave with the conversions.
    EXPECT_GT(sawA.load(), 0);
    EXPECT_GT(sawB.load(), 0);
}

TEST(EngineThreads, GetReturnsOneWholeRecord) {
    const Record a = recordA();
    const Record b = recordB();
    EngineHandle engine;
    engine.setRecord(a);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 0; n < 200000 && !done.load(); ++n)
            engine.setRecord(n % 2 ? a : b);
    });
    int torn = 0;
    for (int n = 0; n < 5000; ++n) {
        const Record r = engine.record();
        if (std::memcmp(&r, &a, sizeof r) != 0 && std::memcmp(&r, &b, sizeof r) != 0) ++torn;
    }
    done = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace kestrova::tessmark::test
