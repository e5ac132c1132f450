// The machine identifier that `hwid` prints: the volume serial text, "010", then the sorted
// adapter addresses with every character written as its decimal code. The zero-argument functions
// read this machine; the overloads take their inputs, so the same code composes any identifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hwid {

// The serial number of the volume whose root is "C:\", if it can be read.
std::optional<std::uint32_t> VolumeSerialNumber();

// The serial number as unsigned decimal text; empty when it cannot be read.
std::string VolumeSerialText();

// The serial as C's "%d" prints it: a set top bit gives a minus sign; unreadable prints "0".
std::string SignedSerialText(std::optional<std::uint32_t> serial);

// What `hwid` prints with no argument.
std::string BareSerialText();

// Layouts from given inputs: `addressText` is a tab-joined list of addresses. An empty serial
// text stands for an unreadable volume and gives "0".
std::string ComposeLegacyIdentifier(std::string_view serialText, std::string_view addressText);
std::string ComposeCurrentIdentifier(std::string_view serialText, std::string_view addressText);

// Layouts of this machine: what `hwid oldtrial` and `hwid` with any other argument print.
std::string ComposeLegacyIdentifier();
std::string ComposeCurrentIdentifier();

}  // namespace hwid
