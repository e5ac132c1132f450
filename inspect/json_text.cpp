#include "inspect/json_text.h"

#include <cstdio>

#include "Wmioperationsunit/ansi_text.h"

namespace hwid::inspect {

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const wchar_t unit : WideText(text)) {
    switch (unit) {
      case L'"':
        json += "\\\"";
        break;
      case L'\\':
        json += "\\\\";
        break;
      case L'\t':
        json += "\\t";
        break;
      case L'\n':
        json += "\\n";
        break;
      case L'\r':
        json += "\\r";
        break;
      default:
        if (unit >= 0x20 && unit < 0x7F) {
          json += static_cast<char>(unit);
        } else {
          char escape[7];
          // Sized for the escape: the length returned says nothing new.
          static_cast<void>(
              std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit)));
          json += escape;
        }
    }
  }
  json += '"';
  return json;
}

std::string JsonStringArray(const std::vector<std::string>& texts) {
  std::string json = "[";
  for (const std::string& text : texts) {
    if (json.size() > 1) {
      json += ',';
    }
    json += JsonString(text);
  }
  json += ']';
  return json;
}

}  // namespace hwid::inspect
