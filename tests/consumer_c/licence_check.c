/* Accepts this machine for a licence issued to the identifier argv[1] while it is the same
 * machine, changed or not. A reading in which a call failed may lack an address or the serial:
 * after three tries it neither accepts nor refuses but exits with 3, "cannot verify this machine
 * now", so that the product applies its grace period or the identifier it stored at activation.
 * Never activate a licence on such a reading. */
#define _POSIX_C_SOURCE 199309L /* nanosleep */
#include <hwid/hwid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

enum { ACCEPTED = 0, REFUSED = 1, CANNOT_VERIFY = 3 };

/* 300 ms; C itself has no way to pause. */
static void pause_briefly(void) {
#ifdef _WIN32
  Sleep(300);
#else
  const struct timespec pause = {0, 300000000L};
  (void)nanosleep(&pause, NULL);
#endif
}

/* Reads this machine's identifier into *text, trying again while a reading is incomplete. */
static hwid_status read_identifier(char** text) {
  for (int attempt = 1;; ++attempt) {
    size_t needed = 0;
    /* Ask for the size, then read into a buffer of that size (again if the machine changed). */
    hwid_status status = hwid_identifier(HWID_LAYOUT_CURRENT, NULL, 0, &needed);
    while (status == HWID_STATUS_BUFFER_TOO_SMALL) {
      char* larger = realloc(*text, needed);
      if (larger == NULL) {
        return HWID_STATUS_INTERNAL_ERROR;
      }
      *text = larger;
      status = hwid_identifier(HWID_LAYOUT_CURRENT, *text, needed, &needed);
    }
    if (status != HWID_STATUS_INCOMPLETE || attempt == 3) {
      return status;
    }
    pause_briefly();
  }
}

/* What failed in this thread's last reading: one line per failed call, whose last field (after
 * the last tab) is a sentence for a person. */
static void print_faults(void) {
  size_t needed = 0;
  (void)hwid_last_faults(NULL, 0, &needed);
  char* faults = malloc(needed);
  if (faults != NULL && hwid_last_faults(faults, needed, NULL) == HWID_STATUS_OK) {
    for (char* line = faults; *line != '\0';) {
      char* end = strchr(line, '\n');
      *end = '\0';
      (void)fprintf(stderr, "  %s\n", strrchr(line, '\t') + 1);
      line = end + 1;
    }
  }
  free(faults);
}

int main(int argc, char** argv) {
  char* mine = NULL;
  hwid_status status = read_identifier(&mine);
  if (status != HWID_STATUS_OK) {
    (void)fprintf(stderr, "cannot verify this machine now: %s\n", hwid_status_name(status));
    print_faults();
    free(mine);
    return CANNOT_VERIFY;
  }
  const char* licensed = argc > 1 ? argv[1] : mine;
  hwid_comparison change;
  /* Only the verdict is wanted: no buffer for the addresses, so "buffer too small" is success. */
  status = hwid_compare(licensed, strlen(licensed), mine, strlen(mine), &change, NULL, 0, NULL);
  const int accepted = (status == HWID_STATUS_OK || status == HWID_STATUS_BUFFER_TOO_SMALL) &&
                       change.verdict != HWID_VERDICT_DIFFERENT;
  printf("%s\n", mine); /* what `hwid x` prints */
  free(mine);
  return accepted ? ACCEPTED : REFUSED;
}
