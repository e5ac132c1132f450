// The C interface (hwid/hwid.h) over the C++ library: statuses and caller-owned buffers. Nothing
// thrown below may cross into C, so every entry point catches at this boundary.

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "hwid/decode.h"
#include "hwid/fault.h"
#include "hwid/hwid.h"
#include "hwid/identifier.h"
#include "hwid/version.h"

namespace hwid {
namespace {

// Runs an entry point's body; what it throws (bad_alloc) becomes a status.
template <class Body>
hwid_status Guarded(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return HWID_STATUS_INTERNAL_ERROR;
  }
}

bool ValidBuffer(const char* buffer, std::size_t size) { return buffer != nullptr || size == 0; }

void StoreNeeded(std::size_t* needed, std::size_t value) {
  if (needed != nullptr) {
    *needed = value;
  }
}

// Copies `text` and its NUL when they fit in `size` bytes; stores the size they need either way.
hwid_status WriteText(std::string_view text, char* buffer, std::size_t size, std::size_t* needed) {
  StoreNeeded(needed, text.size() + 1);
  if (size <= text.size()) {
    return HWID_STATUS_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return HWID_STATUS_OK;
}

std::string TabJoined(const std::vector<std::string>& first,
                      const std::vector<std::string>& second = {},
                      const std::vector<std::string>& third = {}) {
  std::string joined;
  bool any = false;
  for (const std::vector<std::string>* group : {&first, &second, &third}) {
    for (const std::string& address : *group) {
      if (any) {
        joined += '\t';
      }
      joined += address;
      any = true;
    }
  }
  return joined;
}

hwid_status ToStatus(ReadStatus status) {
  switch (status) {
    case ReadStatus::Ok:
      return HWID_STATUS_OK;
    case ReadStatus::Incomplete:
      return HWID_STATUS_INCOMPLETE;
    case ReadStatus::TimedOut:
      return HWID_STATUS_TIMED_OUT;
    case ReadStatus::NotResponding:
      return HWID_STATUS_NOT_RESPONDING;
    case ReadStatus::InternalError:
      break;
  }
  return HWID_STATUS_INTERNAL_ERROR;
}

// The faults of the calling thread's last reading, as hwid_last_faults hands them out.
thread_local std::string lastFaults;

void AppendField(std::string& line, std::string_view field, char end) {
  line += field;
  line += end;
}

std::string FaultLines(const std::vector<Fault>& faults) {
  std::string lines;
  for (const Fault& fault : faults) {
    AppendField(lines, FaultCall(fault.stage), '\t');
    AppendField(lines, FaultCode(fault), '\t');
    AppendField(lines, fault.adapter, '\t');
    AppendField(lines, fault.query, '\t');
    AppendField(lines, fault.property, '\t');
    AppendField(lines, FaultMessage(fault), '\t');
    AppendField(lines, FaultText(fault), '\n');
  }
  return lines;
}

hwid_status WriteOutput(Output output, char* buffer, std::size_t size, std::size_t* needed) {
  StoreNeeded(needed, 0);
  if (!ValidBuffer(buffer, size)) {
    return HWID_STATUS_INVALID_ARGUMENT;
  }
  return Guarded([&] {
    lastFaults.clear();
    const Reading reading = ReadOutput(output);
    if (reading.status != ReadStatus::Ok && reading.status != ReadStatus::Incomplete) {
      return ToStatus(reading.status);
    }
    lastFaults = FaultLines(reading.faults);
    const hwid_status written = WriteText(reading.text, buffer, size, needed);
    return written == HWID_STATUS_OK ? ToStatus(reading.status) : written;
  });
}

hwid_layout ToLayout(Layout layout) {
  switch (layout) {
    case Layout::Legacy:
      return HWID_LAYOUT_LEGACY;
    case Layout::Current:
      return HWID_LAYOUT_CURRENT;
    case Layout::Either:
      break;
  }
  return HWID_LAYOUT_EITHER;
}

// The text of `length` bytes at `text`; false for a null pointer with a non-zero length.
bool InputText(const char* text, std::size_t length, std::string_view& view) {
  if (text == nullptr) {
    view = {};
    return length == 0;
  }
  view = {text, length};
  return true;
}

}  // namespace
}  // namespace hwid

using hwid::Guarded;

extern "C" {

const char* hwid_status_name(hwid_status status) {
  switch (status) {
    case HWID_STATUS_OK:
      return "ok";
    case HWID_STATUS_BUFFER_TOO_SMALL:
      return "buffer too small";
    case HWID_STATUS_TIMED_OUT:
      return "timed out";
    case HWID_STATUS_INVALID_ARGUMENT:
      return "invalid argument";
    case HWID_STATUS_INVALID_IDENTIFIER:
      return "invalid identifier";
    case HWID_STATUS_INTERNAL_ERROR:
      return "internal error";
    case HWID_STATUS_INCOMPLETE:
      return "incomplete";
    case HWID_STATUS_NOT_RESPONDING:
      return "not responding";
  }
  return "unknown status";
}

const char* hwid_version(void) { return hwid::kVersion; }

hwid_status hwid_set_timeout_ms(uint32_t milliseconds) {
  return hwid::SetTimeLimit(std::chrono::milliseconds(milliseconds)) ? HWID_STATUS_OK
                                                                     : HWID_STATUS_INVALID_ARGUMENT;
}

uint32_t hwid_timeout_ms(void) { return static_cast<uint32_t>(hwid::TimeLimit().count()); }

hwid_status hwid_bare_serial(char* buffer, size_t size, size_t* needed) {
  return hwid::WriteOutput(hwid::Output::BareSerial, buffer, size, needed);
}

hwid_status hwid_identifier(hwid_layout layout, char* buffer, size_t size, size_t* needed) {
  switch (layout) {
    case HWID_LAYOUT_LEGACY:
      return hwid::WriteOutput(hwid::Output::LegacyIdentifier, buffer, size, needed);
    case HWID_LAYOUT_CURRENT:
      return hwid::WriteOutput(hwid::Output::CurrentIdentifier, buffer, size, needed);
    case HWID_LAYOUT_EITHER:
      break;
  }
  hwid::StoreNeeded(needed, 0);
  return HWID_STATUS_INVALID_ARGUMENT;
}

hwid_status hwid_last_faults(char* buffer, size_t size, size_t* needed) {
  hwid::StoreNeeded(needed, 0);
  if (!hwid::ValidBuffer(buffer, size)) {
    return HWID_STATUS_INVALID_ARGUMENT;
  }
  return hwid::WriteText(hwid::lastFaults, buffer, size, needed);
}

hwid_status hwid_decode(const char* identifier, size_t length, hwid_decoded* decoded,
                        char* addresses, size_t size, size_t* needed) {
  hwid::StoreNeeded(needed, 0);
  std::string_view text;
  if (decoded == nullptr || !hwid::InputText(identifier, length, text) ||
      !hwid::ValidBuffer(addresses, size)) {
    return HWID_STATUS_INVALID_ARGUMENT;
  }
  *decoded = hwid_decoded{};
  return Guarded([&] {
    const hwid::DecodeResult result = hwid::DecodeIdentifier(text);
    if (!result.valid) {
      decoded->error_position = result.errorPosition;
      return HWID_STATUS_INVALID_IDENTIFIER;
    }
    decoded->layout = hwid::ToLayout(result.identifier.layout);
    decoded->serial = result.identifier.serial;
    decoded->address_count = result.identifier.addresses.size();
    return hwid::WriteText(hwid::TabJoined(result.identifier.addresses), addresses, size, needed);
  });
}

hwid_status hwid_compare(const char* first, size_t first_length, const char* second,
                         size_t second_length, hwid_comparison* comparison, char* addresses,
                         size_t size, size_t* needed) {
  hwid::StoreNeeded(needed, 0);
  std::string_view firstText;
  std::string_view secondText;
  if (comparison == nullptr || !hwid::InputText(first, first_length, firstText) ||
      !hwid::InputText(second, second_length, secondText) || !hwid::ValidBuffer(addresses, size)) {
    return HWID_STATUS_INVALID_ARGUMENT;
  }
  *comparison = hwid_comparison{};
  return Guarded([&] {
    const hwid::DecodeResult decodedFirst = hwid::DecodeIdentifier(firstText);
    const hwid::DecodeResult decodedSecond = hwid::DecodeIdentifier(secondText);
    const auto invalid = [comparison](int number, const hwid::DecodeResult& decoded) {
      comparison->invalid_identifier = number;
      comparison->error_position = decoded.errorPosition;
      return HWID_STATUS_INVALID_IDENTIFIER;
    };
    if (!decodedFirst.valid) {
      return invalid(1, decodedFirst);
    }
    if (!decodedSecond.valid) {
      return invalid(2, decodedSecond);
    }
    const hwid::Comparison result =
        hwid::CompareIdentifiers(decodedFirst.identifier, decodedSecond.identifier);
    switch (result.verdict) {
      case hwid::Verdict::Identical:
        comparison->verdict = HWID_VERDICT_IDENTICAL;
        break;
      case hwid::Verdict::SameMachineChanged:
        comparison->verdict = HWID_VERDICT_SAME_MACHINE_CHANGED;
        break;
      case hwid::Verdict::Different:
        comparison->verdict = HWID_VERDICT_DIFFERENT;
        break;
    }
    comparison->serial_changed = result.serialChanged ? 1 : 0;
    comparison->common_count = result.common.size();
    comparison->added_count = result.added.size();
    comparison->removed_count = result.removed.size();
    return hwid::WriteText(hwid::TabJoined(result.common, result.added, result.removed), addresses,
                           size, needed);
  });
}

}  // extern "C"
