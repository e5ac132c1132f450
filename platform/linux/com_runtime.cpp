// Linux stand-in only: the COM library calls the tool makes, with WMI served from sysfs.

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/linux/sysfs_wmi.h"
#include "platform/win32.h"

namespace {

// Apartments are per thread, as in COM: the first CoInitializeEx answers S_OK, later ones
// S_FALSE, and each success is balanced by one CoUninitialize.
thread_local int apartmentInitCount = 0;
std::atomic<bool> securityInitialised{false};

constexpr char kSysfsRoot[] = "/sys";

// A BSTR is preceded by its length in bytes, as on Windows, so SysStringLen is exact for strings
// with embedded NULs.
using BstrLength = std::uint32_t;

}  // namespace

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IWbemLocator = {
    0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0, 0xaa, 0, 0x4b, 0x2e, 0x24}};
const IID IID_IWbemServices = {
    0x9556dc99, 0x828c, 0x11cf, {0xa3, 0x7e, 0, 0xaa, 0, 0x32, 0x40, 0xc7}};
const IID IID_IEnumWbemClassObject = {
    0x027947e1, 0xd731, 0x11ce, {0xa3, 0x57, 0, 0, 0, 0, 0, 0x01}};
const IID IID_IWbemClassObject = {
    0xdc12a681, 0x737f, 0x11cf, {0x88, 0x4d, 0, 0xaa, 0, 0x4b, 0x2e, 0x24}};
const CLSID CLSID_WbemLocator = {
    0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0, 0xaa, 0, 0x4b, 0x2e, 0x24}};

bool operator==(const GUID& left, const GUID& right) {
  return std::memcmp(&left, &right, sizeof(GUID)) == 0;
}

HRESULT CoInitializeEx(LPVOID /*pvReserved*/, DWORD /*dwCoInit*/) {
  return apartmentInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (apartmentInitCount > 0) {
    --apartmentInitCount;
  }
}

HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR /*pSecDesc*/, LONG /*cAuthSvc*/,
                             SOLE_AUTHENTICATION_SERVICE* /*asAuthSvc*/, void* /*pReserved1*/,
                             DWORD /*dwAuthnLevel*/, DWORD /*dwImpLevel*/, void* /*pAuthList*/,
                             DWORD /*dwCapabilities*/, void* /*pReserved3*/) {
  if (apartmentInitCount == 0) {
    return CO_E_NOTINITIALIZED;
  }
  // Process-wide security can be set once.
  return securityInitialised.exchange(true) ? RPC_E_TOO_LATE : S_OK;
}

// cppcheck-suppress constParameter ; the signature is the Windows SDK's
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD /*dwClsContext*/, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) {
    return E_POINTER;
  }
  *ppv = nullptr;
  if (apartmentInitCount == 0) {
    return CO_E_NOTINITIALIZED;
  }
  if (!(rclsid == CLSID_WbemLocator) || pUnkOuter != nullptr) {
    return REGDB_E_CLASSNOTREG;
  }
  IWbemLocator* locator = hwid::posix::NewSysfsWbemLocator(kSysfsRoot);
  const HRESULT status = locator->QueryInterface(riid, ppv);
  locator->Release();
  return status;
}

// cppcheck-suppress constParameter ; the signature is the Windows SDK's
HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD /*dwAuthnSvc*/, DWORD /*dwAuthzSvc*/,
                          OLECHAR* /*pServerPrincName*/, DWORD /*dwAuthnLevel*/,
                          DWORD /*dwImpLevel*/, RPC_AUTH_IDENTITY_HANDLE /*pAuthInfo*/,
                          DWORD /*dwCapabilities*/) {
  // In-process objects have no proxy to configure.
  return pProxy == nullptr ? E_INVALIDARG : S_OK;
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  // The prefix counts bytes in 32 bits: a longer string cannot be described, so it is refused as
  // Windows refuses one beyond its limit.
  if (ui > std::numeric_limits<BstrLength>::max() / sizeof(OLECHAR)) {
    return nullptr;
  }
  void* block =
      std::malloc(sizeof(BstrLength) + (static_cast<std::size_t>(ui) + 1) * sizeof(OLECHAR));
  if (block == nullptr) {
    return nullptr;
  }
  const auto bytes = static_cast<BstrLength>(ui * sizeof(OLECHAR));
  std::memcpy(block, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<OLECHAR*>(static_cast<char*>(block) + sizeof(BstrLength));
  if (strIn != nullptr) {
    std::memcpy(text, strIn, ui * sizeof(OLECHAR));
  } else {
    std::memset(text, 0, ui * sizeof(OLECHAR));
  }
  text[ui] = L'\0';
  return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) {
    return nullptr;
  }
  UINT length = 0;
  while (psz[length] != L'\0') {
    ++length;
  }
  return SysAllocStringLen(psz, length);
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) {
    std::free(reinterpret_cast<char*>(bstrString) - sizeof(BstrLength));
  }
}

UINT SysStringLen(BSTR pbstr) {
  if (pbstr == nullptr) {
    return 0;
  }
  BstrLength bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<char*>(pbstr) - sizeof(BstrLength), sizeof bytes);
  return static_cast<UINT>(bytes / sizeof(OLECHAR));
}

void VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = 0;
  pvarg->wReserved2 = 0;
  pvarg->wReserved3 = 0;
  pvarg->ullVal = 0;  // the widest member: the whole payload reads as zero
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) {
    return E_INVALIDARG;
  }
  switch (pvarg->vt) {
    case VT_BSTR:
      SysFreeString(pvarg->bstrVal);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (pvarg->punkVal != nullptr) {
        pvarg->punkVal->Release();
      }
      break;
    default:
      break;
  }
  VariantInit(pvarg);
  return S_OK;
}
