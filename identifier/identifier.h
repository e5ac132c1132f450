// The machine identifier: the volume serial text, "010", then the sorted adapter addresses with
// every character written as its decimal code. The zero-argument functions read this machine;
// the overloads take their inputs so the same code can be driven with any serial and addresses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hwid {

// The serial number of the volume whose root is "C:\", if it can be read.
std::optional<std::uint32_t> VolumeSerialNumber();

// The serial number as unsigned decimal text; empty when it cannot be read.
std::string VolumeSerialText();

// Every byte as the decimal value of a signed 8-bit character: "A:" gives "6558", 0xC4 "-60".
std::string EncodeCharacterCodes(std::string_view text);

// Lines ending at CR, LF or CRLF; no empty last line, empty lines between breaks kept.
std::vector<std::string> SplitLines(std::string_view text);

// Three-way comparison: below zero less, zero equal, above zero greater.
using LineCompare = int (*)(std::string_view left, std::string_view right);

// Case-insensitive collation of the user's default locale; a failing comparison counts as less.
int CompareLines(std::string_view left, std::string_view right);

// Quicksort with the middle element as pivot. Not stable: the order of lines that compare equal
// follows from its exact sequence of exchanges, which the identifier's bytes depend on.
void SortLines(std::vector<std::string>& lines, LineCompare compare = CompareLines);

// The address list as sorted lines, the way both layouts consume it.
std::vector<std::string> SortedAddressLines(std::string_view addressText);

// Layouts from given inputs. An empty serial text stands for an unreadable volume and gives "0".
std::string ComposeLegacyIdentifier(std::string_view serialText, std::string_view addressText);
std::string ComposeCurrentIdentifier(std::string_view serialText, std::string_view addressText);

// Layouts of this machine.
std::string ComposeLegacyIdentifier();
std::string ComposeCurrentIdentifier();

}  // namespace hwid
