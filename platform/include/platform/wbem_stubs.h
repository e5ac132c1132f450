// Bases for in-process WMI providers (our POSIX stand-in and the scripted WMI of the tests):
// every method the tool never calls answers WBEM_E_NOT_SUPPORTED, so a provider overrides only
// IUnknown and the handful of calls it serves. They compile against either platform's headers.
#pragma once

#include "platform/win32.h"

namespace hwid {

class EnumWbemClassObjectStubs : public IEnumWbemClassObject {
 public:
  HRESULT STDMETHODCALLTYPE Reset() override { return WBEM_E_NOT_SUPPORTED; }
  HRESULT STDMETHODCALLTYPE NextAsync(ULONG /*count*/, IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** copy) override {
    if (copy != nullptr) {
      *copy = nullptr;
    }
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Skip(LONG /*timeout*/, ULONG /*count*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
};

class WbemClassObjectStubs : public IWbemClassObject {
 public:
  HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** /*set*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Put(LPCWSTR /*name*/, LONG /*flags*/, VARIANT* /*value*/,
                                CIMTYPE /*type*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR /*name*/) override { return WBEM_E_NOT_SUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR /*qualifier*/, LONG /*flags*/, VARIANT* /*value*/,
                                     SAFEARRAY** /*names*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG /*flags*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Next(LONG /*flags*/, BSTR* /*name*/, VARIANT* /*value*/,
                                 CIMTYPE* /*type*/, LONG* /*flavor*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EndEnumeration() override { return WBEM_E_NOT_SUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR /*property*/,
                                                    IWbemQualifierSet** /*set*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** /*copy*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetObjectText(LONG /*flags*/, BSTR* /*text*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG /*flags*/, IWbemClassObject** /*c*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE SpawnInstance(LONG /*flags*/, IWbemClassObject** /*i*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE CompareTo(LONG /*flags*/, IWbemClassObject* /*other*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR /*name*/, BSTR* /*cls*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR /*ancestor*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR /*name*/, LONG /*flags*/, IWbemClassObject** /*in*/,
                                      IWbemClassObject** /*out*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR /*name*/, LONG /*flags*/, IWbemClassObject* /*in*/,
                                      IWbemClassObject* /*out*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR /*name*/) override { return WBEM_E_NOT_SUPPORTED; }
  HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG /*flags*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE NextMethod(LONG /*flags*/, BSTR* /*name*/, IWbemClassObject** /*in*/,
                                       IWbemClassObject** /*out*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return WBEM_E_NOT_SUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR /*method*/,
                                                  IWbemQualifierSet** /*set*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR /*method*/, BSTR* /*cls*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
};

class WbemServicesStubs : public IWbemServices {
 public:
  HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR /*ns*/, LONG /*flags*/, IWbemContext* /*ctx*/,
                                          IWbemServices** /*services*/,
                                          IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG /*flags*/, IWbemObjectSink** /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetObject(const BSTR /*path*/, LONG /*flags*/, IWbemContext* /*ctx*/,
                                      IWbemClassObject** /*object*/,
                                      IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR /*path*/, LONG /*flags*/,
                                           IWbemContext* /*ctx*/,
                                           IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject* /*object*/, LONG /*flags*/,
                                     IWbemContext* /*ctx*/, IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject* /*object*/, LONG /*flags*/,
                                          IWbemContext* /*ctx*/,
                                          IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR /*cls*/, LONG /*flags*/, IWbemContext* /*ctx*/,
                                        IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR /*cls*/, LONG /*flags*/,
                                             IWbemContext* /*ctx*/,
                                             IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR /*superclass*/, LONG /*flags*/,
                                            IWbemContext* /*ctx*/,
                                            IEnumWbemClassObject** /*e*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR /*superclass*/, LONG /*flags*/,
                                                 IWbemContext* /*ctx*/,
                                                 IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject* /*instance*/, LONG /*flags*/,
                                        IWbemContext* /*ctx*/,
                                        IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject* /*instance*/, LONG /*flags*/,
                                             IWbemContext* /*ctx*/,
                                             IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR /*path*/, LONG /*flags*/,
                                           IWbemContext* /*ctx*/,
                                           IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR /*path*/, LONG /*flags*/,
                                                IWbemContext* /*ctx*/,
                                                IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR /*filter*/, LONG /*flags*/,
                                               IWbemContext* /*ctx*/,
                                               IEnumWbemClassObject** /*e*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR /*filter*/, LONG /*flags*/,
                                                    IWbemContext* /*ctx*/,
                                                    IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR /*language*/, const BSTR /*query*/,
                                           LONG /*flags*/, IWbemContext* /*ctx*/,
                                           IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR /*language*/, const BSTR /*query*/,
                                                  LONG /*flags*/, IWbemContext* /*ctx*/,
                                                  IEnumWbemClassObject** /*e*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR /*language*/,
                                                       const BSTR /*query*/, LONG /*flags*/,
                                                       IWbemContext* /*ctx*/,
                                                       IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR /*path*/, const BSTR /*method*/, LONG /*flags*/,
                                       IWbemContext* /*ctx*/, IWbemClassObject* /*in*/,
                                       IWbemClassObject** /*out*/,
                                       IWbemCallResult** /*result*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR /*path*/, const BSTR /*method*/,
                                            LONG /*flags*/, IWbemContext* /*ctx*/,
                                            IWbemClassObject* /*in*/,
                                            IWbemObjectSink* /*sink*/) override {
    return WBEM_E_NOT_SUPPORTED;
  }
};

}  // namespace hwid
