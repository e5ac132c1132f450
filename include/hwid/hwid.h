/* The C interface of the hwid library: the three outputs of the `hwid` program for this machine,
 * and reading and comparing identifiers. C99 and C++ alike.
 *
 * - Every function may be called from any thread, in any COM state, at any time; the library does
 *   its WMI work on a thread of its own, so the caller's apartment and COM security do not change
 *   the answer.
 * - No memory crosses the interface: texts go into buffers the caller owns. A function that
 *   writes text takes `buffer` and its `size` in bytes (room for the terminating NUL included)
 *   and stores the size it needs, NUL included, in `*needed` when `needed` is not null. When the
 *   text does not fit, nothing is written to the buffer and the status is
 *   HWID_STATUS_BUFFER_TOO_SMALL; a null buffer with size 0 asks for the size alone. With any
 *   other status but HWID_STATUS_OK and HWID_STATUS_INCOMPLETE, `*needed` is 0. A result structure
 * (`hwid_decoded`, `hwid_comparison`) is filled whether or not the addresses fit.
 * - Lists of addresses are tab-joined texts (addresses never hold a tab); the counts in the
 *   result structures say how many addresses there are, so an empty list is told from a list
 *   holding one empty address.
 * - Every function returns a status; no function aborts on bad arguments.
 */
#ifndef HWID_HWID_H
#define HWID_HWID_H

/* A C header: C's headers and typedefs, whatever C++ would prefer. */
/* NOLINTBEGIN(modernize-deprecated-headers,modernize-use-using) */
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(HWID_BUILDING_LIBRARY)
#define HWID_API __declspec(dllexport)
#else
#define HWID_API
#endif
#else
#define HWID_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum hwid_status {
  HWID_STATUS_OK = 0,
  HWID_STATUS_BUFFER_TOO_SMALL = 1,   /* *needed says how large the buffer must be */
  HWID_STATUS_TIMED_OUT = 2,          /* the machine did not answer within the time limit */
  HWID_STATUS_INVALID_ARGUMENT = 3,   /* a null pointer, a bad size or an unknown enum value */
  HWID_STATUS_INVALID_IDENTIFIER = 4, /* the text is not an identifier in either layout */
  HWID_STATUS_INTERNAL_ERROR = 5,     /* out of memory, or the worker thread could not start */
  HWID_STATUS_INCOMPLETE = 6,         /* the text is written, but a call failed while reading the
                                         machine (WMI or the volume): see hwid_last_faults */
  HWID_STATUS_NOT_RESPONDING = 7      /* at once, without waiting: the library's threads are all
                                         stuck in calls that timed out (see hwid_set_timeout_ms) */
} hwid_status;

typedef enum hwid_layout {
  HWID_LAYOUT_LEGACY = 1,  /* what `hwid oldtrial` prints */
  HWID_LAYOUT_CURRENT = 2, /* what `hwid` with any other argument prints */
  HWID_LAYOUT_EITHER = 3   /* decoding only: no addresses, so both layouts are the same text */
} hwid_layout;

typedef enum hwid_verdict {
  HWID_VERDICT_IDENTICAL = 1,            /* same serial, same addresses */
  HWID_VERDICT_SAME_MACHINE_CHANGED = 2, /* same serial and an address in common, or the same
                                            non-empty set of addresses under a new serial */
  HWID_VERDICT_DIFFERENT = 3
} hwid_verdict;

typedef struct hwid_decoded {
  hwid_layout layout;
  uint32_t serial;
  size_t address_count;  /* addresses in the order the identifier holds them */
  size_t error_position; /* HWID_STATUS_INVALID_IDENTIFIER: length of the longest valid prefix */
} hwid_decoded;

typedef struct hwid_comparison {
  hwid_verdict verdict;
  int serial_changed; /* 1 when the serials differ, else 0 */
  size_t common_count;
  size_t added_count;     /* in the second identifier only */
  size_t removed_count;   /* in the first identifier only */
  int invalid_identifier; /* HWID_STATUS_INVALID_IDENTIFIER: 1 or 2, the one that is invalid */
  size_t error_position;  /* HWID_STATUS_INVALID_IDENTIFIER: as in hwid_decoded */
} hwid_comparison;

/* A fixed English name of `status`, such as "ok" or "timed out"; never null. */
HWID_API const char* hwid_status_name(hwid_status status);

/* The library's version, such as "1.0.0"; never null. */
HWID_API const char* hwid_version(void);

/* The time limit of every call that reads the machine, in milliseconds (default 30000). Zero is
 * HWID_STATUS_INVALID_ARGUMENT. Applies to calls that start after it is set. A call that times
 * out leaves its thread behind, stuck, and the next call starts another; once three are stuck,
 * calls return HWID_STATUS_NOT_RESPONDING at once until one of them returns. */
HWID_API hwid_status hwid_set_timeout_ms(uint32_t milliseconds);
HWID_API uint32_t hwid_timeout_ms(void);

/* The calls that read the machine: a licence check takes only HWID_STATUS_OK for an identifier it
 * may trust. HWID_STATUS_INCOMPLETE still writes the text `hwid` prints (it prints it whatever
 * failed: no addresses when WMI cannot be reached, 0 for an unreadable volume), which may lack
 * what could not be read; retry after a pause, or fall back to the identifier stored at
 * activation, but never activate on it. */

/* What `hwid` prints with no argument: the signed volume serial. */
HWID_API hwid_status hwid_bare_serial(char* buffer, size_t size, size_t* needed);

/* What `hwid oldtrial` (HWID_LAYOUT_LEGACY) or `hwid x` (HWID_LAYOUT_CURRENT) prints. */
HWID_API hwid_status hwid_identifier(hwid_layout layout, char* buffer, size_t size, size_t* needed);

/* What failed in the calling thread's last call of hwid_bare_serial or hwid_identifier: one line
 * per failing call, each field ended by a tab and the last by a line feed: the call
 * ("ConnectServer", "ExecQuery", "GetVolumeInformationA", ...), its code ("0x80041003"; "error 21"
 * for the volume), the adapter's index when the call was about one adapter, the WQL query, the
 * property, the system's words for the code, and one sentence for a person. Empty after a
 * complete reading, and after a call that did not read the machine. */
HWID_API hwid_status hwid_last_faults(char* buffer, size_t size, size_t* needed);

/* Decodes `length` bytes of `identifier` (no NUL needed). Fills `*decoded` and writes the
 * addresses, tab-joined, to `addresses`. */
HWID_API hwid_status hwid_decode(const char* identifier, size_t length, hwid_decoded* decoded,
                                 char* addresses, size_t size, size_t* needed);

/* Compares the identifier a licence was issued to (`first`) with another (`second`). Fills
 * `*comparison` and writes the common, then the added, then the removed addresses, all tab-joined
 * into one text, to `addresses`; the counts say where each group ends. */
HWID_API hwid_status hwid_compare(const char* first, size_t first_length, const char* second,
                                  size_t second_length, hwid_comparison* comparison,
                                  char* addresses, size_t size, size_t* needed);

#ifdef __cplusplus
}
#endif
/* NOLINTEND(modernize-deprecated-headers,modernize-use-using) */

#endif /* HWID_HWID_H */
