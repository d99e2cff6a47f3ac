#pragma once
// The stand-in's recording driver, and a path of the maker's driver to register it under.

#include <string>

#include "os/tests/FakeDriver.h"

namespace HA::HXL2::Test {

using OS::Test::FakeDevice;
using OS::Test::FakeDriver;
using OS::Test::lowerCase;

// A path of the maker's driver with ids in it: 3a17, 0e30, revision 0035.
inline const std::u16string kFakePath =
    u"\\\\?\\usb#vid_3a17&pid_0e30&rev_0035#sn0001#{6b3f0c21-9d4e-4a7b-8e15-2c70d1935a46}";

}  // namespace HA::HXL2::Test
