#pragma once
// GUIDs in the registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <string_view>

#include "os/kernel/Types.h"

namespace HA::OS {

// Parses the braced text form (hexadecimal digits in either case), as the platform's
// CLSIDFromString does for GUID texts. False, leaving guid unchanged, for anything else.
bool clsidFromString(std::u16string_view text, GUID& guid);
// The braced text form in upper case.
WString stringFromGuid(const GUID& guid);

}  // namespace HA::OS
