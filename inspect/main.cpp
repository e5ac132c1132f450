#include <cstdio>

#include "inspect/inspector.h"

namespace {

std::string ReadStandardInput() {
  std::string text;
  char buffer[4096];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    text.append(buffer, read);
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const hwid::inspect::Output output = hwid::inspect::Run(
      std::vector<std::string_view>(argv + (argc > 0 ? 1 : 0), argv + argc), ReadStandardInput);
  std::fwrite(output.out.data(), 1, output.out.size(), stdout);
  std::fwrite(output.err.data(), 1, output.err.size(), stderr);
  return output.status;
}
