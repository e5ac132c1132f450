// JSON texts for hwid-inspect's --json output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hwid::inspect {

// A JSON string of narrow text in the ANSI code page, written in pure ASCII: every character
// outside printable ASCII as its \u escape of UTF-16.
std::string JsonString(std::string_view text);

// A JSON array of such strings.
std::string JsonStringArray(const std::vector<std::string>& texts);

}  // namespace hwid::inspect
