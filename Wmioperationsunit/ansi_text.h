// Conversions between UTF-16 and narrow text in the system's ANSI code page. Characters the code
// page cannot represent become its default character.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32.h"

namespace hwid {

std::string NarrowText(std::wstring_view wide);
std::wstring WideText(std::string_view narrow);

}  // namespace hwid
