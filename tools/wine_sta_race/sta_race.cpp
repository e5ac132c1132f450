// A plain Win32 program, without any of hwid's code, that shows a hang of Wine's: one thread
// makes the process's first WMI reading while another enters a single-threaded apartment, both
// started at once. On a cold Wine server the process often never ends. See README.md here.
//
// Usage: sta_race.exe [SHAPE [STA_WAIT [DELAY_MS [FIRST]]]]
//   SHAPE     race    an STA thread beside the first WMI reading (the default)
//             mta     an MTA thread there instead
//             alone   the WMI reading with no other thread
//             warm    one WMI reading on the main thread first, then `race`
//   STA_WAIT  how the STA (or MTA) thread waits for the reading to end: pump (a message loop,
//             the default), block (WaitForSingleObject) or cowait (CoWaitForMultipleHandles)
//   DELAY_MS  how long the WMI thread waits after the start before it begins (0 by default); a
//             negative value delays the other thread instead
//   FIRST     none (the default), or desktop: the WMI thread calls GetDesktopWindow before its
//             COM work, which is the sidestep hwid's library takes
// Every thread prints its name, what it got and its elapsed time; the program exits 0 once all
// have ended, 2 on a bad argument.

#include <objbase.h>
#include <wbemidl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HANDLE start;
HANDLE readingDone;
LARGE_INTEGER frequency;
DWORD readingDelay = 0;
DWORD apartmentDelay = 0;
bool desktopFirst = false;

enum class StaWait { Pump, Block, CoWait };
StaWait staWait = StaWait::Pump;
DWORD otherApartment = COINIT_APARTMENTTHREADED;

double MillisecondsSince(const LARGE_INTEGER& from) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// One reading as a WMI client makes it: COM, security, locator, connection, blanket, one query
// enumerated to its end. Answers the number of addresses, or the first failing call's name.
const char* Reading(int& addresses, HRESULT& failure) {
  addresses = 0;
  failure = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(failure)) {
    return "CoInitializeEx";
  }
  const char* failed = nullptr;
  IWbemLocator* locator = nullptr;
  IWbemServices* services = nullptr;
  IEnumWbemClassObject* enumerator = nullptr;
  BSTR wmiNamespace = SysAllocString(L"ROOT\\CIMV2");
  BSTR language = SysAllocString(L"WQL");
  BSTR query =
      SysAllocString(L"select * from Win32_NetworkAdapterConfiguration where MACAddress<>null");
  failure = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  // A second reading in the same process finds the security already set.
  if (FAILED(failure) && failure != RPC_E_TOO_LATE) {
    failed = "CoInitializeSecurity";
  } else if (FAILED(failure =
                        CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWbemLocator, reinterpret_cast<void**>(&locator)))) {
    failed = "CoCreateInstance";
  } else if (FAILED(failure = locator->ConnectServer(wmiNamespace, nullptr, nullptr, nullptr, 0,
                                                     nullptr, nullptr, &services))) {
    failed = "ConnectServer";
  } else if (FAILED(failure = CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                                                nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    failed = "CoSetProxyBlanket";
  } else if (FAILED(failure = services->ExecQuery(
                        language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                        nullptr, &enumerator))) {
    failed = "ExecQuery";
  } else {
    for (;;) {
      IWbemClassObject* object = nullptr;
      ULONG returned = 0;
      failure = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &returned);
      if (returned == 0 || object == nullptr) {
        break;
      }
      ++addresses;
      object->Release();
    }
    enumerator->Release();
  }
  if (services != nullptr) {
    services->Release();
  }
  if (locator != nullptr) {
    locator->Release();
  }
  SysFreeString(query);
  SysFreeString(language);
  SysFreeString(wmiNamespace);
  CoUninitialize();
  return failed;
}

void Report(const char* thread, const char* failed, HRESULT failure, int addresses,
            double milliseconds) {
  if (failed != nullptr) {
    std::printf("%-8s %s failed 0x%08lx, %.0f ms\n", thread, failed,
                static_cast<unsigned long>(failure), milliseconds);
  } else {
    std::printf("%-8s %d address(es), %.0f ms\n", thread, addresses, milliseconds);
  }
  std::fflush(stdout);
}

DWORD WINAPI ReadingThread(void*) {
  WaitForSingleObject(start, INFINITE);
  LARGE_INTEGER began;
  QueryPerformanceCounter(&began);
  Sleep(readingDelay);
  if (desktopFirst) {
    GetDesktopWindow();
  }
  int addresses = 0;
  HRESULT failure = S_OK;
  const char* failed = Reading(addresses, failure);
  Report("reading", failed, failure, addresses, MillisecondsSince(began));
  SetEvent(readingDone);
  return 0;
}

// Enters its apartment at the start, then waits for the reading as STA threads of a host do.
DWORD WINAPI ApartmentThread(void*) {
  WaitForSingleObject(start, INFINITE);
  LARGE_INTEGER began;
  QueryPerformanceCounter(&began);
  Sleep(apartmentDelay);
  const HRESULT entered = CoInitializeEx(nullptr, otherApartment);
  switch (staWait) {
    case StaWait::Pump:
      while (MsgWaitForMultipleObjects(1, &readingDone, FALSE, INFINITE, QS_ALLINPUT) ==
             WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
          DispatchMessageW(&message);
        }
      }
      break;
    case StaWait::Block:
      WaitForSingleObject(readingDone, INFINITE);
      break;
    case StaWait::CoWait: {
      DWORD index = 0;
      CoWaitForMultipleHandles(0, INFINITE, 1, &readingDone, &index);
      break;
    }
  }
  if (SUCCEEDED(entered)) {
    CoUninitialize();
  }
  Report(otherApartment == COINIT_APARTMENTTHREADED ? "sta" : "mta",
         SUCCEEDED(entered) ? nullptr : "CoInitializeEx", entered, 0, MillisecondsSince(began));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* shape = argc > 1 ? argv[1] : "race";
  const char* wait = argc > 2 ? argv[2] : "pump";
  const long delay = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0;
  (delay < 0 ? apartmentDelay : readingDelay) = static_cast<DWORD>(delay < 0 ? -delay : delay);
  desktopFirst = argc > 4 && std::strcmp(argv[4], "desktop") == 0;
  if (argc > 4 && !desktopFirst && std::strcmp(argv[4], "none") != 0) {
    return 2;
  }
  if (std::strcmp(wait, "block") == 0) {
    staWait = StaWait::Block;
  } else if (std::strcmp(wait, "cowait") == 0) {
    staWait = StaWait::CoWait;
  } else if (std::strcmp(wait, "pump") != 0) {
    return 2;
  }
  const bool alone = std::strcmp(shape, "alone") == 0;
  if (std::strcmp(shape, "mta") == 0) {
    otherApartment = COINIT_MULTITHREADED;
  } else if (!alone && std::strcmp(shape, "race") != 0 && std::strcmp(shape, "warm") != 0) {
    return 2;
  }
  QueryPerformanceFrequency(&frequency);
  if (std::strcmp(shape, "warm") == 0) {
    LARGE_INTEGER began;
    QueryPerformanceCounter(&began);
    int addresses = 0;
    HRESULT failure = S_OK;
    const char* failed = Reading(addresses, failure);
    Report("warm-up", failed, failure, addresses, MillisecondsSince(began));
  }
  start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  readingDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE threads[2];
  DWORD count = 0;
  threads[count++] = CreateThread(nullptr, 0, ReadingThread, nullptr, 0, nullptr);
  if (!alone) {
    threads[count++] = CreateThread(nullptr, 0, ApartmentThread, nullptr, 0, nullptr);
  }
  // Both threads exist and wait; release them together.
  SetEvent(start);
  WaitForMultipleObjects(count, threads, TRUE, INFINITE);
  std::printf("completed\n");
  return 0;
}
