#pragma once
// Libraries loaded at run time by name, as the platform's LoadLibrary does, for the few
// system libraries the code looks up optionally. The stand-in's parts that provide such a
// library register its exports; a test can make a library absent.

#include <string>
#include <utility>
#include <vector>

#include "os/kernel/Module.h"

namespace HA::OS {

// A handle of a registered library (names match without regard to case, with or without
// ".dll"); null with ERROR_MOD_NOT_FOUND for an unknown or absent one. Each load takes a
// reference that freeLibrary gives back.
HMODULE loadLibrary(const std::string& name);
bool freeLibrary(HMODULE module);
// An export of a loaded library by name; null with ERROR_PROC_NOT_FOUND.
void* getProcAddress(HMODULE module, const std::string& name);

// Makes a library unknown to loadLibrary while it lives (tests). Any thread.
class LibraryAbsenceScope {
public:
    explicit LibraryAbsenceScope(std::string name);
    ~LibraryAbsenceScope();
    LibraryAbsenceScope(const LibraryAbsenceScope&) = delete;
    LibraryAbsenceScope& operator=(const LibraryAbsenceScope&) = delete;

private:
    std::string mName;
};

namespace DETAIL {

using LibraryExports = std::vector<std::pair<std::string, void*>>;
// Registers a library under its name; returns true so that it can initialise a static.
bool registerSystemLibrary(const std::string& name, LibraryExports exports);
// References taken by loadLibrary and not given back (tests).
int libraryReferences(const std::string& name);

}  // namespace DETAIL

}  // namespace HA::OS
