#include <hwid/decode.h>
#include <hwid/identifier.h>

#include <cstdio>
#include <string>

// Accepts this machine for a licence issued to the identifier argv[1] while it is the same
// machine, changed or not.
int main(int argc, char** argv) {
  const std::string mine = hwid::ComposeCurrentIdentifier();  // what `hwid x` prints
  const hwid::DecodeResult licensed = hwid::DecodeIdentifier(argc > 1 ? argv[1] : mine);
  const hwid::Comparison change =
      hwid::CompareIdentifiers(licensed.identifier, hwid::DecodeIdentifier(mine).identifier);
  std::printf("%s\n", mine.c_str());
  return licensed.valid && change.verdict != hwid::Verdict::Different ? 0 : 1;
}
