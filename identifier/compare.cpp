#include <algorithm>
#include <iterator>

#include "hwid/decode.h"

namespace hwid {
namespace {

std::vector<std::string> Sorted(std::vector<std::string> addresses) {
  std::sort(addresses.begin(), addresses.end());
  return addresses;
}

}  // namespace

Comparison CompareIdentifiers(const DecodedIdentifier& first, const DecodedIdentifier& second) {
  // Byte order, not the identifier's collation: an address only matches itself exactly, since a
  // different letter case already makes a different identifier.
  const std::vector<std::string> before = Sorted(first.addresses);
  const std::vector<std::string> after = Sorted(second.addresses);
  Comparison comparison;
  comparison.serialChanged = first.serial != second.serial;
  std::set_intersection(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(comparison.common));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(comparison.added));
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(comparison.removed));
  const bool sameAddresses = comparison.added.empty() && comparison.removed.empty();
  if (!comparison.serialChanged && sameAddresses) {
    comparison.verdict = Verdict::Identical;
  } else if ((!comparison.serialChanged && !comparison.common.empty()) ||
             (sameAddresses && !before.empty())) {
    comparison.verdict = Verdict::SameMachineChanged;
  }
  return comparison;
}

}  // namespace hwid
