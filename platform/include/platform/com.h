// Owning handles for COM resources: an interface pointer, an automation string, a variant.
// Each releases what it holds exactly once; put() releases the old value before handing out the
// address an out-parameter writes to, so a reused handle never leaks.
#pragma once

#include <string_view>
#include <utility>

#include "platform/win32.h"

namespace hwid {

template <class Interface>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ~com_ptr() { reset(); }

  void reset() {
    if (Interface* old = std::exchange(pointer_, nullptr)) {
      old->Release();
    }
  }
  [[nodiscard]] Interface** put() {
    reset();
    return &pointer_;
  }
  // For APIs typed void** (CoCreateInstance).
  [[nodiscard]] void** put_void() { return reinterpret_cast<void**>(put()); }

  [[nodiscard]] Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  Interface* pointer_ = nullptr;
};

class unique_bstr {
 public:
  unique_bstr() = default;
  explicit unique_bstr(std::wstring_view text)
      : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  unique_bstr(const unique_bstr&) = delete;
  unique_bstr& operator=(const unique_bstr&) = delete;
  ~unique_bstr() { SysFreeString(value_); }

  [[nodiscard]] BSTR get() const { return value_; }

 private:
  BSTR value_ = nullptr;
};

class unique_variant {
 public:
  unique_variant() { VariantInit(&value_); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { VariantClear(&value_); }

  void reset() { VariantClear(&value_); }
  [[nodiscard]] VARIANT* put() {
    reset();
    return &value_;
  }
  [[nodiscard]] const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

}  // namespace hwid
