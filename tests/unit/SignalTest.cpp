#include "base/Signal.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace quillet {
namespace {

TEST(Signal, ListenersHearInConnectionOrderWhileTheirTokensLive) {
    TSignal<int> signal;
    std::string heard;
    TConnection first = signal.Connect([&](int n) { heard += "a" + std::to_string(n); });
    std::optional<TConnection> second =
        signal.Connect([&](int n) { heard += "b" + std::to_string(n); });
    TConnection third = signal.Connect([&](int n) { heard += "c" + std::to_string(n); });
    signal.Emit(1);
    EXPECT_EQ(heard, "a1b1c1");

    second.reset();
    TConnection moved = std::move(first); // the connection goes with the token
    signal.Emit(2);
    EXPECT_EQ(heard, "a1b1c1a2c2");

    third.Release();
    EXPECT_FALSE(third.Connected());
    third.Release(); // twice does no harm
    moved = TConnection();
    EXPECT_TRUE(signal.Empty());
    signal.Emit(3);
    EXPECT_EQ(heard, "a1b1c1a2c2");
}

TEST(Signal, ListenersMayDisconnectAndConnectDuringTheCall) {
    TSignal<> signal;
    std::string heard;
    TConnection self;
    TConnection later;
    TConnection added;
    self = signal.Connect([&] {
        heard += "s";
        self.Release(); // itself, while it runs
    });
    TConnection remover = signal.Connect([&] {
        heard += "r";
        later.Release(); // one whose turn has not come
        if (!added.Connected())
            added = signal.Connect([&] { heard += "n"; });
    });
    later = signal.Connect([&] { heard += "l"; });
    signal.Emit();
    EXPECT_EQ(heard, "sr"); // the one connected meanwhile waits for the next call
    signal.Emit();
    EXPECT_EQ(heard, "srrn");
}

TEST(Signal, AnExceptionEndsTheCallAndReachesTheCaller) {
    TSignal<> signal;
    int calls = 0;
    bool fail = true;
    TConnection a = signal.Connect([&] { ++calls; });
    TConnection b = signal.Connect([&] {
        if (fail)
            throw std::runtime_error("listener failed");
    });
    TConnection c = signal.Connect([&] { ++calls; });
    EXPECT_THROW(signal.Emit(), std::runtime_error);
    EXPECT_EQ(calls, 1);
    fail = false;
    signal.Emit(); // still whole
    EXPECT_EQ(calls, 3);
}

TEST(Signal, TokensMayOutliveTheSignalAndAListenerMayFreeIt) {
    TConnection outlives;
    {
        TSignal<> signal;
        outlives = signal.Connect([] {});
        EXPECT_TRUE(outlives.Connected());
    }
    EXPECT_FALSE(outlives.Connected());
    outlives.Release();

    auto owned = std::make_unique<TSignal<>>();
    std::string heard;
    TConnection freeing = owned->Connect([&] {
        heard += "f";
        owned.reset();
    });
    TConnection after = owned->Connect([&] { heard += "a"; });
    owned->Emit();
    EXPECT_EQ(heard, "f");
    EXPECT_FALSE(after.Connected());
}

} // namespace
} // namespace quillet
