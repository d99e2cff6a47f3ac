#include "os/kernel/Libraries.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/SystemFacts.h"

namespace HA::OS {

namespace {

struct Library {
    DETAIL::LibraryExports exports;
    int references = 0;
};

struct Libraries {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<Library>> byName;
    std::multiset<std::string> absent;
};

Libraries& libraries()
{
    static Libraries l;
    return l;
}

// "Shcore.dll" and "shcore" name the same library.
std::string normalName(const std::string& name)
{
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0)
        lower.resize(lower.size() - 4);
    return lower;
}

Library* libraryOf(Libraries& l, HMODULE module)
{
    for (auto& entry : l.byName)
        if (entry.second.get() == module)
            return entry.second.get();
    return nullptr;
}

}  // namespace

HMODULE loadLibrary(const std::string& name)
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    const std::string key = normalName(name);
    auto it = l.byName.find(key);
    if (it == l.byName.end() || l.absent.count(key)) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++it->second->references;
    return it->second.get();
}

bool freeLibrary(HMODULE module)
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    Library* library = libraryOf(l, module);
    if (!library || library->references == 0) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    --library->references;
    return true;
}

void* getProcAddress(HMODULE module, const std::string& name)
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    if (Library* library = libraryOf(l, module))
        for (const auto& e : library->exports)
            if (e.first == name)
                return e.second;
    setLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

LibraryAbsenceScope::LibraryAbsenceScope(std::string name) : mName(normalName(name))
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.absent.insert(mName);
}

LibraryAbsenceScope::~LibraryAbsenceScope()
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.absent.erase(l.absent.find(mName));
}

namespace DETAIL {

bool registerSystemLibrary(const std::string& name, LibraryExports exports)
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    auto& library = l.byName[normalName(name)];
    if (!library)
        library = std::make_unique<Library>();
    library->exports = std::move(exports);
    return true;
}

int libraryReferences(const std::string& name)
{
    Libraries& l = libraries();
    std::lock_guard<std::mutex> lock(l.mutex);
    auto it = l.byName.find(normalName(name));
    return it == l.byName.end() ? 0 : it->second->references;
}

}  // namespace DETAIL

}  // namespace HA::OS
