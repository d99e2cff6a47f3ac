#pragma once
// A signal: a list of slots called in connection order.
//
// `connect` adds a slot and returns a handle that can disconnect it; dropping the handle leaves
// the slot connected. `emit` copies the slot list under the signal's mutex and calls the copy
// outside the lock, so a slot may connect, disconnect or emit again: such changes count from
// the next emission. Destroying the signal drops its slots; a handle that outlives it
// disconnects nothing. Any thread may connect, disconnect and emit.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace HA::HWL {

template <typename Signature>
class Signal;

template <typename... Args>
class Signal<void(Args...)> {
public:
    using tSlot = std::function<void(Args...)>;

private:
    struct tState {
        std::mutex mutex;
        std::uint64_t nextId = 1;
        std::vector<std::pair<std::uint64_t, std::shared_ptr<const tSlot>>> slots;
    };

public:
    class Connection {
    public:
        Connection() = default;

        // Removes the slot; nothing when it is gone already or the signal was destroyed.
        void disconnect()
        {
            std::shared_ptr<tState> state = mState.lock();
            mState.reset();
            if (!state)
                return;
            std::lock_guard<std::mutex> lock(state->mutex);
            auto& slots = state->slots;
            for (auto it = slots.begin(); it != slots.end(); ++it) {
                if (it->first == mId) {
                    slots.erase(it);
                    return;
                }
            }
        }

        bool isConnected() const
        {
            std::shared_ptr<tState> state = mState.lock();
            if (!state)
                return false;
            std::lock_guard<std::mutex> lock(state->mutex);
            for (const auto& entry : state->slots)
                if (entry.first == mId)
                    return true;
            return false;
        }

    private:
        friend class Signal;
        Connection(std::weak_ptr<tState> state, std::uint64_t id) : mState(std::move(state)), mId(id) {}

        std::weak_ptr<tState> mState;
        std::uint64_t mId = 0;
    };

    Signal() : mState(std::make_shared<tState>()) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // An empty slot is not added; its handle is connected to nothing.
    Connection connect(tSlot slot)
    {
        if (!slot)
            return Connection();
        std::lock_guard<std::mutex> lock(mState->mutex);
        const std::uint64_t id = mState->nextId++;
        mState->slots.emplace_back(id, std::make_shared<const tSlot>(std::move(slot)));
        return Connection(mState, id);
    }

    void emit(Args... args) const
    {
        std::vector<std::shared_ptr<const tSlot>> copy;
        {
            std::lock_guard<std::mutex> lock(mState->mutex);
            copy.reserve(mState->slots.size());
            for (const auto& entry : mState->slots)
                copy.push_back(entry.second);
        }
        for (const auto& slot : copy)
            (*slot)(args...);
    }

    std::size_t slotCount() const
    {
        std::lock_guard<std::mutex> lock(mState->mutex);
        return mState->slots.size();
    }

private:
    std::shared_ptr<tState> mState;
};

}  // namespace HA::HWL
