#pragma once
// The fatal-error handler: reports a failed internal assertion in a message box and ends
// the process with exit code 1. It never returns.

#include <exception>
#include <string>

namespace HA::GP {

// Ends the process after the user closes the box "Error file:line" (and the text after a
// blank line). A file name or text with a byte of 0x80 or above, or without a NUL in its
// first 1024 bytes, counts as missing. Any thread: while one thread reports, a fatal
// error on another thread waits for the process to end; one on the reporting thread
// itself (from inside the box) ends the process at once. The process ends without
// running static destructors.
[[noreturn]] void fatalError(const char* file, int line, const char* text);

namespace Assertion {

// What a fatal error throws instead when the library is told to throw.
class exception : public std::exception {
public:
    exception(const char* file, int line, const char* text);
    // "Assertion in file:line text", or without the text.
    const char* what() const noexcept override;

    const char* file() const { return mFile.c_str(); }
    int line() const { return mLine; }
    // Null when there is no text.
    const char* text() const { return mHasText ? mText.c_str() : nullptr; }

private:
    std::string mFile;
    int mLine;
    std::string mText;
    bool mHasText;
    std::string mWhat;
};

}  // namespace Assertion

namespace DETAIL {

using FatalErrorHook = void (*)();

// Hooks called just before and just after the box; null for none.
void setFatalErrorHooks(FatalErrorHook before, FatalErrorHook after);
// While set, a fatal error throws Assertion::exception instead of ending the process.
void setFatalErrorThrows(bool throws);
// Fatal errors of other threads waiting for the report to end the process.
int fatalErrorsWaiting();

}  // namespace DETAIL

}  // namespace HA::GP

// Fatal error at this source line when the condition does not hold.
#define HA_GP_VERIFY(condition, text)                       \
    do {                                                    \
        if (!(condition))                                   \
            ::HA::GP::fatalError(__FILE__, __LINE__, text); \
    } while (0)
