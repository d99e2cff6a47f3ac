#pragma once
// The application interface that the process module attaches and runs.

#include <cstdint>
#include <functional>

namespace HA::UIA {

class AppModule;

class IApplication {
public:
    virtual ~IApplication() = default;
    virtual void setAppModule(AppModule* module) = 0;
    // The message loop; returns when the quit flag has ended it.
    virtual int run() = 0;
    virtual bool initialize() = 0;
    virtual void deinitialize(bool initOk) = 0;
    virtual bool quit() = 0;
    // Any thread: runs `f` on the user-interface thread.
    virtual void postToMainThread(std::function<void()> f) = 0;
    virtual void setEventTimerTick(int ms) = 0;
    virtual int getEventTimerTick() = 0;
    // Any thread: runs `f` once on the user-interface thread after the delay.
    virtual std::uint64_t startTimer(std::uint64_t delayMicroseconds, std::function<void()> f) = 0;
    virtual void stopTimer(std::uint64_t id) = 0;
};

}  // namespace HA::UIA
