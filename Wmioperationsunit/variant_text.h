// How a WMI property value becomes text for the tool's lists.
#pragma once

#include <string>

#include "platform/win32.h"

namespace hwid {

// The narrow text of a property value, or empty when the value is to be skipped.
std::string VariantText(const VARIANT& value);

// A day number in general format with 15 significant digits ("41215.5", "1E15", "1.5E-7");
// empty for NaN and infinities, which have no such form.
std::string GeneralDateText(double dayNumber, char decimalSeparator);

}  // namespace hwid
