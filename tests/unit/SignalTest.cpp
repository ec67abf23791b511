#include "base/Signal.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace quillet {
namespace {

TEST(Signal, ListenersHearInConnectionOrderWhileTheirTokensLiveEvenPastTheSignal) {
    std::string heard;
    const auto say = [&heard](char who) {
        return [&heard, who](int n) { heard += who + std::to_string(n); };
    };
    TConnection outlives;
    {
        TSignal<int> signal;
        TConnection first = signal.Connect(say('a'));
        std::optional<TConnection> second = signal.Connect(say('b'));
        TConnection third = signal.Connect(say('c'));
        signal.Emit(1);
        second.reset();
        TConnection moved = std::move(first); // the connection goes with the token
        signal.Emit(2);
        third.Release();
        third.Release(); // twice does no harm
        signal.Emit(3);
        EXPECT_EQ(heard, "a1b1c1a2c2a3");
        moved = TConnection();
        EXPECT_TRUE(signal.Empty());
        outlives = signal.Connect(say('d'));
    }
    EXPECT_FALSE(outlives.Connected());
    outlives.Release();
}

// A listener may disconnect itself or one whose turn has not come, connect another (which
// waits for the next call), throw (which ends the call), or free the signal (which ends it too).
TEST(Signal, ListenersMayChangeTheListenersThrowOrFreeTheSignalDuringTheCall) {
    auto signal = std::make_unique<TSignal<>>();
    std::string heard;
    bool fail = true;
    TConnection self, later, added;
    self = signal->Connect([&] {
        heard += "s";
        self.Release();
    });
    TConnection remover = signal->Connect([&] {
        heard += "r";
        later.Release();
        if (!added.Connected())
            added = signal->Connect([&] { heard += "n"; });
    });
    later = signal->Connect([&] { heard += "l"; });
    TConnection thrower = signal->Connect([&] {
        if (std::exchange(fail, false))
            throw std::runtime_error("listener failed");
        heard += "t";
    });
    TConnection after = signal->Connect([&] { heard += "a"; });
    EXPECT_THROW(signal->Emit(), std::runtime_error);
    EXPECT_EQ(heard, "sr");
    signal->Emit(); // still whole
    EXPECT_EQ(heard, "srrtan");

    TConnection freeing = signal->Connect([&] {
        heard += "f";
        signal.reset();
    });
    TConnection last = signal->Connect([&] { heard += "x"; });
    signal->Emit();
    EXPECT_EQ(heard, "srrtanrtanf");
    EXPECT_FALSE(last.Connected());
}

} // namespace
} // namespace quillet
