#include <algorithm>

#include "hwid/decode.h"
#include "inspect/inspector.h"
#include "inspect/json_text.h"
#include "inspect/report_text.h"

namespace hwid::inspect {
namespace {

constexpr std::size_t kContextBefore = 40;
constexpr std::size_t kContextAfter = 20;

Wording Describe(Layout layout) {
  switch (layout) {
    case Layout::Legacy:
      return {"legacy", "legacy"};
    case Layout::Current:
      return {"current", "current"};
    case Layout::Either:
      return {"either", "either (no addresses: both layouts are the same text)"};
  }
  return {};
}

struct VerdictWording : Wording {
  int status = kExitInvalid;
};

VerdictWording Describe(Verdict verdict) {
  switch (verdict) {
    case Verdict::Identical:
      return {{"identical", "identical"}, kExitSuccess};
    case Verdict::SameMachineChanged:
      return {{"same-machine-changed", "same machine with changes"}, kExitChanged};
    case Verdict::Different:
      return {{"different", "different machines"}, kExitDifferent};
  }
  return {};
}

// A list of addresses, one per line, the first after a label of `indent` characters.
std::string AddressLines(const std::vector<std::string>& addresses, std::size_t indent) {
  if (addresses.empty()) {
    return "none\n";
  }
  std::string lines;
  for (const std::string& address : addresses) {
    if (!lines.empty()) {
      lines.append(indent, ' ');
    }
    lines += address;
    lines += '\n';
  }
  return lines;
}

std::string DecodedJson(const DecodedIdentifier& identifier) {
  return "{\"layout\":" + JsonString(Describe(identifier.layout).name) + ",\"serial\":{" +
         SerialJsonFields(identifier.serial) +
         "},\"addresses\":" + JsonStringArray(identifier.addresses) + "}";
}

// The error, then the text around the position with a caret under it.
std::string InvalidMessage(std::string_view what, std::string_view text,
                           const DecodeResult& result) {
  std::string message = "hwid-inspect: " + std::string(what) + " is not a valid identifier: ";
  // At the end the reason says that the text ends early.
  if (result.errorPosition < text.size()) {
    message += "at character " + std::to_string(result.errorPosition + 1) + ": ";
  }
  message += result.error + "\n  ";
  const std::size_t start =
      result.errorPosition > kContextBefore ? result.errorPosition - kContextBefore : 0;
  const std::size_t end = std::min(text.size(), result.errorPosition + kContextAfter);
  std::string shown = start > 0 ? "..." : "";
  const std::size_t caret = shown.size() + result.errorPosition - start;
  for (const char character : text.substr(start, end - start)) {
    // Tabs and other control characters would shift the caret.
    shown += static_cast<unsigned char>(character) < 0x20 ? ' ' : character;
  }
  if (end < text.size()) {
    shown += "...";
  }
  message += shown + "\n  " + std::string(caret, ' ') + "^\n";
  return message;
}

std::string InvalidJson(std::string_view which, const DecodeResult& result) {
  std::string json = "{\"valid\":false,";
  if (!which.empty()) {
    json += "\"identifier\":" + JsonString(which) + ",";
  }
  return json + "\"errorPosition\":" + std::to_string(result.errorPosition) +
         ",\"error\":" + JsonString(result.error) + "}\n";
}

Output Invalid(std::string_view which, std::string_view text, const DecodeResult& result,
               bool json) {
  Output output;
  output.status = kExitInvalid;
  output.err =
      InvalidMessage(which.empty() ? "the text" : std::string(which) + " identifier", text, result);
  if (json) {
    output.out = InvalidJson(which, result);
  }
  return output;
}

}  // namespace

Output DecodeCommand(std::string_view text, bool json) {
  const DecodeResult result = DecodeIdentifier(text);
  if (!result.valid) {
    return Invalid({}, text, result, json);
  }
  const DecodedIdentifier& identifier = result.identifier;
  Output output;
  if (json) {
    output.out = "{\"valid\":true," + DecodedJson(identifier).substr(1) + "\n";
    return output;
  }
  output.out = "layout     " + std::string(Describe(identifier.layout).text) + "\nserial     " +
               SerialDescription(identifier.serial) + "\naddresses  " +
               AddressLines(identifier.addresses, 11);
  return output;
}

Output CompareCommand(std::string_view first, std::string_view second, bool json) {
  const DecodeResult firstResult = DecodeIdentifier(first);
  if (!firstResult.valid) {
    return Invalid("first", first, firstResult, json);
  }
  const DecodeResult secondResult = DecodeIdentifier(second);
  if (!secondResult.valid) {
    return Invalid("second", second, secondResult, json);
  }
  const DecodedIdentifier& before = firstResult.identifier;
  const DecodedIdentifier& after = secondResult.identifier;
  const Comparison comparison = CompareIdentifiers(before, after);
  const VerdictWording verdict = Describe(comparison.verdict);
  Output output;
  output.status = verdict.status;
  if (json) {
    output.out = "{\"verdict\":" + JsonString(verdict.name) +
                 ",\"serialChanged\":" + (comparison.serialChanged ? "true" : "false") +
                 ",\"common\":" + JsonStringArray(comparison.common) +
                 ",\"added\":" + JsonStringArray(comparison.added) +
                 ",\"removed\":" + JsonStringArray(comparison.removed) +
                 ",\"first\":" + DecodedJson(before) + ",\"second\":" + DecodedJson(after) + "}\n";
    return output;
  }
  output.out = "verdict    " + std::string(verdict.text) + "\nserial     ";
  output.out += comparison.serialChanged ? "changed from " + std::to_string(before.serial) +
                                               " to " + std::to_string(after.serial)
                                         : "unchanged, " + std::to_string(before.serial);
  output.out += "\ncommon     " + AddressLines(comparison.common, 11);
  output.out += "added      " + AddressLines(comparison.added, 11);
  output.out += "removed    " + AddressLines(comparison.removed, 11);
  output.out += "layouts    " + std::string(Describe(before.layout).name) + ", " +
                std::string(Describe(after.layout).name) + "\n";
  return output;
}

}  // namespace hwid::inspect
