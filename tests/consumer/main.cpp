#include <hwid/decode.h>
#include <hwid/identifier.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

// Accepts this machine for a licence issued to the identifier argv[1] while it is the same
// machine, changed or not. A reading in which a call failed may lack an address or the serial:
// after three tries it neither accepts nor refuses but exits with 3, "cannot verify this machine
// now", so that the product applies its grace period or the identifier it stored at activation.
// Never activate a licence on such a reading.
int main(int argc, char** argv) {
  enum { kAccepted = 0, kRefused = 1, kCannotVerify = 3 };
  hwid::Reading mine = hwid::ReadOutput(hwid::Output::CurrentIdentifier);  // `hwid x`'s text
  for (int attempt = 2; attempt <= 3 && mine.status == hwid::ReadStatus::Incomplete; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    mine = hwid::ReadOutput(hwid::Output::CurrentIdentifier);
  }
  if (mine.status != hwid::ReadStatus::Ok) {
    static_cast<void>(std::fputs("cannot verify this machine now\n", stderr));
    for (const hwid::Fault& fault : mine.faults) {
      static_cast<void>(std::fprintf(stderr, "  %s\n", hwid::FaultText(fault).c_str()));
    }
    return kCannotVerify;
  }
  const hwid::DecodeResult licensed = hwid::DecodeIdentifier(argc > 1 ? argv[1] : mine.text);
  const hwid::Comparison change =
      hwid::CompareIdentifiers(licensed.identifier, hwid::DecodeIdentifier(mine.text).identifier);
  std::printf("%s\n", mine.text.c_str());
  return licensed.valid && change.verdict != hwid::Verdict::Different ? kAccepted : kRefused;
}
