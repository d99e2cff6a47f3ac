#pragma once
// COM and OLE initialisation of threads: counted per thread as on the platform (the first
// call on a thread gives S_OK, later ones S_FALSE, each to be balanced by an uninitialise).
// Tests read the counts and make initialisation fail with a ComFaultScope.

#include "os/files/KnownFolders.h"
#include "os/kernel/Types.h"

namespace HA::OS {

constexpr HRESULT S_FALSE = 1;
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

// CoInitialize(NULL) for the calling thread (single-threaded apartment).
HRESULT coInitialize();
void coUninitialize();
// OleInitialize(NULL): initialises COM too; balanced by oleUninitialize.
HRESULT oleInitialize();
void oleUninitialize();

// Outstanding initialisations of a thread (0 when none).
int comInitCount(DWORD threadId);
int oleInitCount(DWORD threadId);

// Makes every coInitialize and oleInitialize of its life fail with `result`.
class ComFaultScope {
public:
    explicit ComFaultScope(HRESULT result = RPC_E_CHANGED_MODE);
    ~ComFaultScope();
    ComFaultScope(const ComFaultScope&) = delete;
    ComFaultScope& operator=(const ComFaultScope&) = delete;

private:
    HRESULT mPrevious;
};

}  // namespace HA::OS
