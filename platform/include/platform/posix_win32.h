// Declarations of the Win32, COM and WMI shapes the tool uses, for systems without <windows.h>.
// Names, values and method order follow the Windows SDK so that code written against one set
// compiles against the other. WCHAR is wchar_t here (32 bits) but only ever holds UTF-16 units.
#pragma once

#include <cstdint>

#define STDMETHODCALLTYPE
#define WINAPI

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int;
using HRESULT = std::int32_t;
using LCID = DWORD;
using LCTYPE = DWORD;
using WCHAR = wchar_t;
using OLECHAR = WCHAR;
using BSTR = OLECHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPCCH = const char*;
using PCNZCH = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;
using LPBOOL = BOOL*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using PSECURITY_DESCRIPTOR = void*;
using RPC_AUTH_IDENTITY_HANDLE = void*;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using DATE = double;
using CIMTYPE = LONG;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
inline constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);
inline constexpr HRESULT RPC_E_TOO_LATE = static_cast<HRESULT>(0x80010119);
inline constexpr HRESULT WBEM_S_NO_ERROR = 0;
inline constexpr HRESULT WBEM_S_FALSE = 1;
inline constexpr HRESULT WBEM_E_FAILED = static_cast<HRESULT>(0x80041001);
inline constexpr HRESULT WBEM_E_NOT_FOUND = static_cast<HRESULT>(0x80041002);
inline constexpr HRESULT WBEM_E_ACCESS_DENIED = static_cast<HRESULT>(0x80041003);
inline constexpr HRESULT WBEM_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80041008);
inline constexpr HRESULT WBEM_E_NOT_SUPPORTED = static_cast<HRESULT>(0x8004100C);
inline constexpr HRESULT WBEM_E_INVALID_NAMESPACE = static_cast<HRESULT>(0x8004100E);
inline constexpr HRESULT WBEM_E_INVALID_QUERY = static_cast<HRESULT>(0x80041017);
inline constexpr HRESULT WBEM_E_INVALID_QUERY_TYPE = static_cast<HRESULT>(0x80041018);

inline constexpr LONG WBEM_INFINITE = -1;
inline constexpr LONG WBEM_FLAG_RETURN_IMMEDIATELY = 0x10;
inline constexpr LONG WBEM_FLAG_FORWARD_ONLY = 0x20;

inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD RPC_C_AUTHN_LEVEL_DEFAULT = 0;
inline constexpr DWORD RPC_C_AUTHN_LEVEL_CALL = 3;
inline constexpr DWORD RPC_C_IMP_LEVEL_IMPERSONATE = 3;
inline constexpr DWORD RPC_C_AUTHN_WINNT = 10;
inline constexpr DWORD RPC_C_AUTHZ_NONE = 0;
inline constexpr DWORD EOAC_NONE = 0;

inline constexpr DWORD MAX_PATH = 260;

inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_BAD_LENGTH = 24;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_FLAGS = 1004;
inline constexpr DWORD ERROR_IO_DEVICE = 1117;

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_COMPOSITE = 0x2;
inline constexpr DWORD MB_USEGLYPHCHARS = 0x4;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
inline constexpr DWORD WC_DISCARDNS = 0x10;
inline constexpr DWORD WC_SEPCHARS = 0x20;
inline constexpr DWORD WC_DEFAULTCHAR = 0x40;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;
inline constexpr DWORD WC_COMPOSITECHECK = 0x200;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr DWORD NORM_IGNORECASE = 0x1;
inline constexpr DWORD NORM_IGNORENONSPACE = 0x2;
inline constexpr DWORD NORM_IGNORESYMBOLS = 0x4;
inline constexpr DWORD SORT_STRINGSORT = 0x1000;
inline constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;
inline constexpr int CSTR_LESS_THAN = 1;
inline constexpr int CSTR_EQUAL = 2;
inline constexpr int CSTR_GREATER_THAN = 3;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
};

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

bool operator==(const GUID& left, const GUID& right);

struct IUnknown;
struct IWbemClassObject;
struct IWbemContext;
struct IWbemCallResult;
struct IWbemObjectSink;
struct IWbemQualifierSet;
struct SAFEARRAY;
using LPUNKNOWN = IUnknown*;

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    std::int8_t cVal;
    BYTE bVal;
    std::int16_t iVal;
    WORD uiVal;
    ULONG ulVal;
    std::int64_t llVal;
    std::uint64_t ullVal;
    INT intVal;
    UINT uintVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    void* byref;
  };
};
using VARIANTARG = VARIANT;

struct SOLE_AUTHENTICATION_SERVICE {
  DWORD dwAuthnSvc;
  DWORD dwAuthzSvc;
  OLECHAR* pPrincipalName;
  HRESULT hr;
};

// COM interfaces: the Windows SDK's methods, in its vtable order.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IEnumWbemClassObject : IUnknown {
  virtual HRESULT Reset() = 0;
  virtual HRESULT Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects,
                       ULONG* puReturned) = 0;
  virtual HRESULT NextAsync(ULONG uCount, IWbemObjectSink* pSink) = 0;
  virtual HRESULT Clone(IEnumWbemClassObject** ppEnum) = 0;
  virtual HRESULT Skip(LONG lTimeout, ULONG nCount) = 0;

 protected:
  ~IEnumWbemClassObject() = default;
};

struct IWbemClassObject : IUnknown {
  virtual HRESULT GetQualifierSet(IWbemQualifierSet** ppQualSet) = 0;
  virtual HRESULT Get(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE* pType,
                      LONG* plFlavor) = 0;
  virtual HRESULT Put(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE Type) = 0;
  virtual HRESULT Delete(LPCWSTR wszName) = 0;
  virtual HRESULT GetNames(LPCWSTR wszQualifierName, LONG lFlags, VARIANT* pQualifierVal,
                           SAFEARRAY** pNames) = 0;
  virtual HRESULT BeginEnumeration(LONG lEnumFlags) = 0;
  virtual HRESULT Next(LONG lFlags, BSTR* strName, VARIANT* pVal, CIMTYPE* pType,
                       LONG* plFlavor) = 0;
  virtual HRESULT EndEnumeration() = 0;
  virtual HRESULT GetPropertyQualifierSet(LPCWSTR wszProperty, IWbemQualifierSet** ppQualSet) = 0;
  virtual HRESULT Clone(IWbemClassObject** ppCopy) = 0;
  virtual HRESULT GetObjectText(LONG lFlags, BSTR* pstrObjectText) = 0;
  virtual HRESULT SpawnDerivedClass(LONG lFlags, IWbemClassObject** ppNewClass) = 0;
  virtual HRESULT SpawnInstance(LONG lFlags, IWbemClassObject** ppNewInstance) = 0;
  virtual HRESULT CompareTo(LONG lFlags, IWbemClassObject* pCompareTo) = 0;
  virtual HRESULT GetPropertyOrigin(LPCWSTR wszName, BSTR* pstrClassName) = 0;
  virtual HRESULT InheritsFrom(LPCWSTR strAncestor) = 0;
  virtual HRESULT GetMethod(LPCWSTR wszName, LONG lFlags, IWbemClassObject** ppInSignature,
                            IWbemClassObject** ppOutSignature) = 0;
  virtual HRESULT PutMethod(LPCWSTR wszName, LONG lFlags, IWbemClassObject* pInSignature,
                            IWbemClassObject* pOutSignature) = 0;
  virtual HRESULT DeleteMethod(LPCWSTR wszName) = 0;
  virtual HRESULT BeginMethodEnumeration(LONG lEnumFlags) = 0;
  virtual HRESULT NextMethod(LONG lFlags, BSTR* pstrName, IWbemClassObject** ppInSignature,
                             IWbemClassObject** ppOutSignature) = 0;
  virtual HRESULT EndMethodEnumeration() = 0;
  virtual HRESULT GetMethodQualifierSet(LPCWSTR wszMethod, IWbemQualifierSet** ppQualSet) = 0;
  virtual HRESULT GetMethodOrigin(LPCWSTR wszMethodName, BSTR* pstrClassName) = 0;

 protected:
  ~IWbemClassObject() = default;
};

struct IWbemServices : IUnknown {
  virtual HRESULT OpenNamespace(const BSTR strNamespace, LONG lFlags, IWbemContext* pCtx,
                                IWbemServices** ppWorkingNamespace, IWbemCallResult** ppResult) = 0;
  virtual HRESULT CancelAsyncCall(IWbemObjectSink* pSink) = 0;
  virtual HRESULT QueryObjectSink(LONG lFlags, IWbemObjectSink** ppResponseHandler) = 0;
  virtual HRESULT GetObject(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                            IWbemClassObject** ppObject, IWbemCallResult** ppCallResult) = 0;
  virtual HRESULT GetObjectAsync(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                 IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT PutClass(IWbemClassObject* pObject, LONG lFlags, IWbemContext* pCtx,
                           IWbemCallResult** ppCallResult) = 0;
  virtual HRESULT PutClassAsync(IWbemClassObject* pObject, LONG lFlags, IWbemContext* pCtx,
                                IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT DeleteClass(const BSTR strClass, LONG lFlags, IWbemContext* pCtx,
                              IWbemCallResult** ppCallResult) = 0;
  virtual HRESULT DeleteClassAsync(const BSTR strClass, LONG lFlags, IWbemContext* pCtx,
                                   IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT CreateClassEnum(const BSTR strSuperclass, LONG lFlags, IWbemContext* pCtx,
                                  IEnumWbemClassObject** ppEnum) = 0;
  virtual HRESULT CreateClassEnumAsync(const BSTR strSuperclass, LONG lFlags, IWbemContext* pCtx,
                                       IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT PutInstance(IWbemClassObject* pInst, LONG lFlags, IWbemContext* pCtx,
                              IWbemCallResult** ppCallResult) = 0;
  virtual HRESULT PutInstanceAsync(IWbemClassObject* pInst, LONG lFlags, IWbemContext* pCtx,
                                   IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT DeleteInstance(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                 IWbemCallResult** ppCallResult) = 0;
  virtual HRESULT DeleteInstanceAsync(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                      IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT CreateInstanceEnum(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                     IEnumWbemClassObject** ppEnum) = 0;
  virtual HRESULT CreateInstanceEnumAsync(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                          IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                            IWbemContext* pCtx, IEnumWbemClassObject** ppEnum) = 0;
  virtual HRESULT ExecQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                 IWbemContext* pCtx, IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT ExecNotificationQuery(const BSTR strQueryLanguage, const BSTR strQuery,
                                        LONG lFlags, IWbemContext* pCtx,
                                        IEnumWbemClassObject** ppEnum) = 0;
  virtual HRESULT ExecNotificationQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery,
                                             LONG lFlags, IWbemContext* pCtx,
                                             IWbemObjectSink* pResponseHandler) = 0;
  virtual HRESULT ExecMethod(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags,
                             IWbemContext* pCtx, IWbemClassObject* pInParams,
                             IWbemClassObject** ppOutParams, IWbemCallResult** ppCallResult) = 0;
  virtual HRESULT ExecMethodAsync(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags,
                                  IWbemContext* pCtx, IWbemClassObject* pInParams,
                                  IWbemObjectSink* pResponseHandler) = 0;

 protected:
  ~IWbemServices() = default;
};

struct IWbemLocator : IUnknown {
  virtual HRESULT ConnectServer(const BSTR strNetworkResource, const BSTR strUser,
                                const BSTR strPassword, const BSTR strLocale, LONG lSecurityFlags,
                                const BSTR strAuthority, IWbemContext* pCtx,
                                IWbemServices** ppNamespace) = 0;

 protected:
  ~IWbemLocator() = default;
};

extern const IID IID_IUnknown;
extern const IID IID_IWbemLocator;
extern const IID IID_IWbemServices;
extern const IID IID_IEnumWbemClassObject;
extern const IID IID_IWbemClassObject;
extern const CLSID CLSID_WbemLocator;

// Synchronisation.
struct CRITICAL_SECTION {
  void* impl;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// Modules: the executable or a shared library.
using HMODULE = void*;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_PIN = 0x1;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;
// Only with FROM_ADDRESS: `lpModuleName` is an address inside the module.
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);

// Processes.
DWORD GetCurrentProcessId();

// Windows: the stand-in has no desktop, so no desktop window (null).
using HWND = void*;
HWND GetDesktopWindow();

// COM library.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR pSecDesc, LONG cAuthSvc,
                             SOLE_AUTHENTICATION_SERVICE* asAuthSvc, void* pReserved1,
                             DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthList,
                             DWORD dwCapabilities, void* pReserved3);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc,
                          OLECHAR* pServerPrincName, DWORD dwAuthnLevel, DWORD dwImpLevel,
                          RPC_AUTH_IDENTITY_HANDLE pAuthInfo, DWORD dwCapabilities);

// Automation strings and variants.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);

// The calling thread's last error, as the calls below set it when they fail.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// National language support: the ANSI code page is Windows-1252.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);
int CompareStringA(LCID Locale, DWORD dwCmpFlags, PCNZCH lpString1, int cchCount1, PCNZCH lpString2,
                   int cchCount2);
DWORD CharLowerBuffA(LPSTR lpsz, DWORD cchLength);
LCID GetThreadLocale();
int GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData);
BOOL IsDBCSLeadByte(BYTE TestChar);

// Volumes: "C:\" is the file system mounted at "/".
BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength,
                           LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                           DWORD nFileSystemNameSize);
