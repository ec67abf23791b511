// Events with more than one listener: each listener is connected for as long as the token that
// connecting gave lives, so no listener overwrites or wraps another.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillet {

// Keeps a listener connected (or a hook installed) until it is destroyed or released. It may
// outlive what it is connected to: the owner of a form's component goes after the form's events.
class TConnection {
public:
    class Source {
    public:
        virtual void Disconnect(std::uint64_t id) = 0;

    protected:
        ~Source() = default;
    };

    TConnection() = default;
    TConnection(std::weak_ptr<Source> source, std::uint64_t id)
        : source_(std::move(source)), id_(id) {}
    ~TConnection() { Release(); }
    TConnection(TConnection&& other) noexcept
        : source_(std::exchange(other.source_, {})), id_(other.id_) {}
    TConnection& operator=(TConnection&& other) noexcept {
        if (this != &other) {
            Release();
            source_ = std::exchange(other.source_, {});
            id_ = other.id_;
        }
        return *this;
    }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // False once released, or once what it was connected to is gone.
    bool Connected() const { return !source_.expired(); }
    void Release() {
        if (const std::shared_ptr<Source> source = std::exchange(source_, {}).lock())
            source->Disconnect(id_);
    }

private:
    std::weak_ptr<Source> source_;
    std::uint64_t id_ = 0;
};

// The listeners of one event, called in the order they were connected. A listener may
// disconnect itself or others while it is called: one disconnected before its turn is not
// called, one connected meanwhile waits for the next time. An exception from a listener ends
// the call there and goes on to the caller.
template <typename... Args> class TSignal {
public:
    using Listener = std::function<void(Args...)>;

    TSignal() = default;
    // A listener that frees the signal ends the call: the ones after it are not called.
    ~TSignal() { state_->listeners.clear(); }
    TSignal(const TSignal&) = delete;
    TSignal& operator=(const TSignal&) = delete;

    [[nodiscard]] TConnection Connect(Listener listener) {
        state_->listeners.push_back(
            {++state_->lastId, std::make_shared<Listener>(std::move(listener))});
        return TConnection(state_, state_->lastId);
    }

    bool Empty() const { return state_->listeners.empty(); }

    void Emit(Args... args) const {
        // Kept alive, with what it calls, should a listener free the signal's owner.
        const std::shared_ptr<State> state = state_;
        const std::vector<Entry> listeners = state->listeners;
        for (const Entry& entry : listeners) {
            if (state->Has(entry.id))
                (*entry.listener)(args...);
        }
    }

private:
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Listener> listener;
    };
    struct State final : TConnection::Source {
        std::vector<Entry> listeners;
        std::uint64_t lastId = 0;

        bool Has(std::uint64_t id) const {
            return std::ranges::any_of(listeners, [id](const Entry& e) { return e.id == id; });
        }
        void Disconnect(std::uint64_t id) override {
            std::erase_if(listeners, [id](const Entry& e) { return e.id == id; });
        }
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace quillet
