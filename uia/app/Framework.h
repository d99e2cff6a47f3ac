#pragma once
// Start-up and shut-down of the window framework. The program's module calls initialize
// after the general-purpose library and shutDown after the widget library's shut-down.
// User-interface thread only.

namespace HA::UIA {

// Runs the platform steps in order: the key-translation tables, the window classes, the
// cursor table, the asynchronous event window. When a step fails (false or an exception)
// shutDown undoes what was done and the result is false.
bool initialize();
// Undoes initialize; safe when nothing (or only part) was done.
void shutDown();
bool isInitialized();

namespace DETAIL {

// The platform steps of initialize, in their order.
enum class eInitStep { KeyTables, WindowClasses, CursorTable, AsyncEventWindow };

// Makes one step fail with an exception while it lives (tests).
class InitFaultScope {
public:
    explicit InitFaultScope(eInitStep step);
    ~InitFaultScope();
    InitFaultScope(const InitFaultScope&) = delete;
    InitFaultScope& operator=(const InitFaultScope&) = delete;
};

}  // namespace DETAIL

}  // namespace HA::UIA
