// Reference counting for COM objects this project implements: the object deletes itself when
// its last reference is released, and answers QueryInterface for IUnknown and its interface.
#pragma once

#include <atomic>

#include "platform/win32.h"

namespace hwid {

// Base derives from exactly one COM interface, whose identifier is InterfaceId.
template <class Base, const IID& InterfaceId>
class RefCounted : public Base {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == InterfaceId) {
      *object = static_cast<Base*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = --references_;
    if (remaining == 0) {
      delete this;
    }
    return remaining;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace hwid
