#include "Wmioperationsunit/ansi_text.h"

#include <climits>

namespace hwid {

std::string NarrowText(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) {
    return {};
  }
  const int length = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return {};
  }
  std::string narrow(static_cast<std::size_t>(size), '\0');
  const int written =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), length, narrow.data(), size, nullptr, nullptr);
  narrow.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return narrow;
}

std::wstring WideText(std::string_view narrow) {
  if (narrow.empty() || narrow.size() > INT_MAX) {
    return {};
  }
  const int length = static_cast<int>(narrow.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
  if (size <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, wide.data(), size);
  wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return wide;
}

}  // namespace hwid
