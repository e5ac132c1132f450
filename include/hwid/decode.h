// Reading identifiers back: which layout, the volume serial and the addresses, and how two
// identifiers of possibly the same machine differ.
//
// Both layouts decode unambiguously when every address character is printable ASCII (codes 32 to
// 126), which MAC addresses always are: a code beginning with 1 has three digits and one
// beginning with 3 to 9 two, and the line end "1310" is the only group beginning with 13. No
// reading of the address codes can start one digit later than another, so the serial ends where
// the only separator "010" followed by well-formed codes begins, even for a serial that itself
// ends in "010". Bytes outside that range are not decodable: a minus sign (a byte above 127) or
// a control character leaves the number of digits per code open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hwid {

enum class Layout {
  Legacy,   // codes of each line followed by "1310", nothing between lines
  Current,  // a tab in front of each line's codes
  Either,   // no addresses: both layouts are the same text
};

struct DecodedIdentifier {
  Layout layout = Layout::Either;
  std::uint32_t serial = 0;
  std::vector<std::string> addresses;  // in the order the identifier holds them
};

struct DecodeResult {
  bool valid = false;
  DecodedIdentifier identifier;   // when valid
  std::size_t errorPosition = 0;  // when not valid: length of the longest prefix that is valid
  std::string error;              // when not valid: what was expected there
};

DecodeResult DecodeIdentifier(std::string_view text);

// Two identifiers are of the same machine with changes when they have the same serial and at
// least one address in common, or the same non-empty set of addresses under a new serial.
enum class Verdict {
  Identical,           // same serial, same addresses (the layouts may differ)
  SameMachineChanged,  // see above
  Different,
};

struct Comparison {
  Verdict verdict = Verdict::Different;
  bool serialChanged = false;
  std::vector<std::string> common;   // addresses in both, counted as often as in both
  std::vector<std::string> added;    // in the second identifier only
  std::vector<std::string> removed;  // in the first identifier only
};

Comparison CompareIdentifiers(const DecodedIdentifier& first, const DecodedIdentifier& second);

}  // namespace hwid
