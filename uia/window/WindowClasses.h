#pragma once
// The framework's five window classes. The framework's start-up registers them; code that
// makes framework windows without that start-up (tests, benchmarks) registers them itself.
// User-interface thread only.

namespace HA::UIA {

// Registers the five classes under names made with the module handle; when one fails the
// ones before it are unregistered and the result is false.
bool registerWindowClasses();
// Unregisters the five (nothing when they are not registered).
void unregisterWindowClasses();
bool areWindowClassesRegistered();

}  // namespace HA::UIA
