// Bases for in-process WMI providers (our POSIX stand-in and the scripted WMI of the tests):
// every method the tool never calls answers WBEM_E_NOT_SUPPORTED, so a provider overrides only
// IUnknown and the handful of calls it serves. They compile against either platform's headers.
#pragma once

#include "platform/win32.h"

namespace hwid {

// The Windows SDK declares WBEM_E_NOT_SUPPORTED as an enumerator whose value does not fit a
// long, so it takes an explicit conversion to HRESULT there.
inline constexpr HRESULT kWbemNotSupported = static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED);

class EnumWbemClassObjectStubs : public IEnumWbemClassObject {
 public:
  HRESULT STDMETHODCALLTYPE Reset() override { return kWbemNotSupported; }
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG /*count*/, IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** copy) override {
    if (copy != nullptr) {
      *copy = nullptr;
    }
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE Skip(LONG /*timeout*/, ULONG /*count*/) override {
    return kWbemNotSupported;
  }
};

class WbemClassObjectStubs : public IWbemClassObject {
 public:
  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** /*set*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR /*name*/, LONG /*flags*/, VARIANT* /*value*/,
                                CIMTYPE /*type*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR /*name*/) override { return kWbemNotSupported; }
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR /*qualifier*/, LONG /*flags*/, VARIANT* /*value*/,
                                     SAFEARRAY** /*names*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG /*flags*/) override { return kWbemNotSupported; }
  HRESULT STDMETHODCALLTYPE Next(LONG /*flags*/, BSTR* /*name*/, VARIANT* /*value*/,
                                 CIMTYPE* /*type*/, LONG* /*flavor*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE EndEnumeration() override { return kWbemNotSupported; }
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR /*property*/,
                                                    IWbemQualifierSet** /*set*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** /*copy*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG /*flags*/, BSTR* /*text*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG /*flags*/, IWbemClassObject** /*c*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG /*flags*/, IWbemClassObject** /*i*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE CompareTo(LONG /*flags*/, IWbemClassObject* /*other*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR /*name*/, BSTR* /*cls*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR /*ancestor*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR /*name*/, LONG /*flags*/, IWbemClassObject** /*in*/,
                                      IWbemClassObject** /*out*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR /*name*/, LONG /*flags*/, IWbemClassObject* /*in*/,
                                      IWbemClassObject* /*out*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR /*name*/) override { return kWbemNotSupported; }
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG /*flags*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE NextMethod(LONG /*flags*/, BSTR* /*name*/, IWbemClassObject** /*in*/,
                                       IWbemClassObject** /*out*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return kWbemNotSupported; }
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR /*method*/,
                                                  IWbemQualifierSet** /*set*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR /*method*/, BSTR* /*cls*/) override {
    return kWbemNotSupported;
  }
};

class WbemServicesStubs : public IWbemServices {
 public:
  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR /*ns*/, LONG /*flags*/, IWbemContext* /*ctx*/,
                                          IWbemServices** /*services*/,
                                          IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG /*flags*/, IWbemObjectSink** /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE GetObject(const BSTR /*path*/, LONG /*flags*/, IWbemContext* /*ctx*/,
                                      IWbemClassObject** /*object*/,
                                      IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR /*path*/, LONG /*flags*/,
                                           IWbemContext* /*ctx*/,
                                           IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject* /*object*/, LONG /*flags*/,
                                     IWbemContext* /*ctx*/, IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject* /*object*/, LONG /*flags*/,
                                          IWbemContext* /*ctx*/,
                                          IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR /*cls*/, LONG /*flags*/, IWbemContext* /*ctx*/,
                                        IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR /*cls*/, LONG /*flags*/,
                                             IWbemContext* /*ctx*/,
                                             IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR /*superclass*/, LONG /*flags*/,
                                            IWbemContext* /*ctx*/,
                                            IEnumWbemClassObject** /*e*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR /*superclass*/, LONG /*flags*/,
                                                 IWbemContext* /*ctx*/,
                                                 IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject* /*instance*/, LONG /*flags*/,
                                        IWbemContext* /*ctx*/,
                                        IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject* /*instance*/, LONG /*flags*/,
                                             IWbemContext* /*ctx*/,
                                             IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR /*path*/, LONG /*flags*/,
                                           IWbemContext* /*ctx*/,
                                           IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR /*path*/, LONG /*flags*/,
                                                IWbemContext* /*ctx*/,
                                                IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR /*filter*/, LONG /*flags*/,
                                               IWbemContext* /*ctx*/,
                                               IEnumWbemClassObject** /*e*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR /*filter*/, LONG /*flags*/,
                                                    IWbemContext* /*ctx*/,
                                                    IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR /*language*/, const BSTR /*query*/,
                                           LONG /*flags*/, IWbemContext* /*ctx*/,
                                           IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR /*language*/, const BSTR /*query*/,
                                                  LONG /*flags*/, IWbemContext* /*ctx*/,
                                                  IEnumWbemClassObject** /*e*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR /*language*/,
                                                       const BSTR /*query*/, LONG /*flags*/,
                                                       IWbemContext* /*ctx*/,
                                                       IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR /*path*/, const BSTR /*method*/, LONG /*flags*/,
                                       IWbemContext* /*ctx*/, IWbemClassObject* /*in*/,
                                       IWbemClassObject** /*out*/,
                                       IWbemCallResult** /*result*/) override {
    return kWbemNotSupported;
  }
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR /*path*/, const BSTR /*method*/,
                                            LONG /*flags*/, IWbemContext* /*ctx*/,
                                            IWbemClassObject* /*in*/,
                                            IWbemObjectSink* /*sink*/) override {
    return kWbemNotSupported;
  }
};

}  // namespace hwid
