// The C interface's decode and compare with any bytes, any buffer size, null buffers included.
// An input is one byte of buffer size (255: a null buffer of size 0), one byte that splits the
// rest into the two identifiers compare takes, then the bytes; decode reads all of them. Buffers
// are allocated to their exact size, so a write past one is caught.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "hwid/decode.h"
#include "hwid/hwid.h"

namespace {

using hwid::fuzz::Check;

constexpr unsigned char kFill = 0xA5;
constexpr unsigned char kNullBuffer = 255;

// A caller's buffer of exactly `size` bytes, filled, or none.
struct Buffer {
  explicit Buffer(unsigned char sizeByte)
      : size(sizeByte == kNullBuffer ? 0 : sizeByte),
        bytes(sizeByte == kNullBuffer ? nullptr : std::make_unique<char[]>(size)) {
    if (bytes) {
      std::memset(bytes.get(), kFill, size);
    }
  }
  [[nodiscard]] bool Untouched() const {
    return std::all_of(bytes.get(), bytes.get() + size,
                       [](char byte) { return static_cast<unsigned char>(byte) == kFill; });
  }
  std::size_t size;
  std::unique_ptr<char[]> bytes;
};

// The protocol every writing call keeps, whatever it wrote.
void CheckWritten(hwid_status status, const Buffer& buffer, std::size_t needed) {
  if (status == HWID_STATUS_OK) {
    Check(needed <= buffer.size && needed > 0, "ok: the text fits");
    Check(buffer.bytes[needed - 1] == '\0' &&
              std::memchr(buffer.bytes.get(), '\0', needed - 1) == nullptr,
          "ok: needed is the text's length and its NUL");
  } else if (status == HWID_STATUS_BUFFER_TOO_SMALL) {
    Check(needed > buffer.size, "too small: needed is more than the size");
    Check(buffer.size == 0 || buffer.Untouched(), "too small: nothing written");
  } else {
    Check(needed == 0, "other statuses: needed is 0");
    Check(buffer.size == 0 || buffer.Untouched(), "other statuses: nothing written");
  }
}

std::size_t Tabs(const char* text) {
  return static_cast<std::size_t>(std::count(text, text + std::strlen(text), '\t'));
}

void Decode(std::string_view text, unsigned char sizeByte) {
  Buffer buffer(sizeByte);
  hwid_decoded decoded;
  std::size_t needed = 12345;
  // The empty text goes in as a null pointer.
  const hwid_status status = hwid_decode(text.empty() ? nullptr : text.data(), text.size(),
                                         &decoded, buffer.bytes.get(), buffer.size, &needed);
  CheckWritten(status, buffer, needed);
  const hwid::DecodeResult reference = hwid::DecodeIdentifier(text);
  if (!reference.valid) {
    Check(status == HWID_STATUS_INVALID_IDENTIFIER, "invalid text: invalid identifier");
    Check(decoded.error_position == reference.errorPosition, "error position as the library's");
    return;
  }
  Check(status == HWID_STATUS_OK || status == HWID_STATUS_BUFFER_TOO_SMALL, "valid text: decoded");
  Check(decoded.serial == reference.identifier.serial, "serial as the library's");
  Check(decoded.address_count == reference.identifier.addresses.size(),
        "address count as the library's");
  if (status == HWID_STATUS_OK && decoded.address_count > 0) {
    Check(Tabs(buffer.bytes.get()) == decoded.address_count - 1, "one tab between addresses");
  }
}

void Compare(std::string_view first, std::string_view second, unsigned char sizeByte) {
  Buffer buffer(sizeByte);
  hwid_comparison comparison;
  std::size_t needed = 12345;
  const hwid_status status = hwid_compare(first.data(), first.size(), second.data(), second.size(),
                                          &comparison, buffer.bytes.get(), buffer.size, &needed);
  CheckWritten(status, buffer, needed);
  if (status == HWID_STATUS_INVALID_IDENTIFIER) {
    Check(comparison.invalid_identifier == 1 || comparison.invalid_identifier == 2,
          "invalid: which identifier");
    const std::string_view invalid = comparison.invalid_identifier == 1 ? first : second;
    Check(comparison.error_position <= invalid.size(), "invalid: position inside the text");
    return;
  }
  Check(status == HWID_STATUS_OK || status == HWID_STATUS_BUFFER_TOO_SMALL, "valid: compared");
  Check(
      comparison.verdict >= HWID_VERDICT_IDENTICAL && comparison.verdict <= HWID_VERDICT_DIFFERENT,
      "a verdict");
  const std::size_t count =
      comparison.common_count + comparison.added_count + comparison.removed_count;
  if (status == HWID_STATUS_OK && count > 0) {
    Check(Tabs(buffer.bytes.get()) == count - 1, "one tab between addresses");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const unsigned char sizeByte = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t split = text.size() * data[1] / 256;
  Decode(text, sizeByte);
  Compare(text.substr(0, split), text.substr(split), sizeByte);
  // A null text with a length is refused, never read.
  hwid_decoded decoded;
  Check(hwid_decode(nullptr, text.size() + 1, &decoded, nullptr, 0, nullptr) ==
            HWID_STATUS_INVALID_ARGUMENT,
        "null text with a length: invalid argument");
  return 0;
}
