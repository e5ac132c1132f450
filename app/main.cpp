#include <cstdio>

#include "app/modes.h"

int main(int argc, char** argv) {
  // The only output: no line break, no message, and status 0 whatever happened below.
  std::fputs(hwid::ModeOutput(hwid::ChooseMode(argc, argv)).c_str(), stdout);
  return 0;
}
