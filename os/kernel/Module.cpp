#include "os/kernel/Module.h"

#include <dlfcn.h>
#include <sys/auxv.h>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Process.h"
#include "os/kernel/Text.h"

namespace HA::OS {

HMODULE getExecutableModule()
{
    // The entry point lies in the executable's image.
    return getModuleHandleFromAddress(reinterpret_cast<const void*>(::getauxval(AT_ENTRY)));
}

HMODULE getModuleHandleFromAddress(const void* address)
{
    Dl_info info{};
    if (address == nullptr || ::dladdr(address, &info) == 0 || info.dli_fbase == nullptr) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return info.dli_fbase;
}

DWORD getModuleFileName(HMODULE module, WChar* buffer, DWORD size)
{
    if (module == nullptr)
        module = getExecutableModule();
    WString name;
    Dl_info info{};
    if (module != nullptr && module == getExecutableModule())
        name = utf8ToUtf16(moduleFileName());
    else if (module != nullptr && ::dladdr(module, &info) != 0 && info.dli_fbase == module && info.dli_fname)
        name = utf8ToUtf16(info.dli_fname);
    if (name.empty()) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.size() >= size) {
        name.copy(buffer, size - 1);
        buffer[size - 1] = 0;
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    name.copy(buffer, name.size());
    buffer[name.size()] = 0;
    setLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(name.size());
}

}  // namespace HA::OS
