// Linux stand-in only: a WMI provider answering the tool's WQL queries from a sysfs tree.
#pragma once

#include "platform/win32.h"

namespace hwid::posix {

// A locator whose ConnectServer("ROOT\CIMV2") serves network adapters found under
// `sysfsRoot`/class/net, as they were when that connection was made. The caller owns the one
// reference returned.
IWbemLocator* NewSysfsWbemLocator(const char* sysfsRoot);

}  // namespace hwid::posix
