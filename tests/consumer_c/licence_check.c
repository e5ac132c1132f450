/* Accepts this machine for a licence issued to the identifier argv[1] while it is the same
 * machine, changed or not. */
#include <hwid/hwid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  size_t needed = 0;
  char* mine = NULL;
  /* Ask for the size, then read into a buffer of that size (again if the machine changed). */
  hwid_status status = hwid_identifier(HWID_LAYOUT_CURRENT, NULL, 0, &needed);
  while (status == HWID_STATUS_BUFFER_TOO_SMALL) {
    char* larger = realloc(mine, needed);
    if (larger == NULL) {
      break;
    }
    mine = larger;
    status = hwid_identifier(HWID_LAYOUT_CURRENT, mine, needed, &needed);
  }
  if (status != HWID_STATUS_OK) {
    (void)fprintf(stderr, "cannot read this machine: %s\n", hwid_status_name(status));
    free(mine);
    return 2;
  }
  const char* licensed = argc > 1 ? argv[1] : mine;
  hwid_comparison change;
  /* Only the verdict is wanted: no buffer for the addresses, so "buffer too small" is success. */
  status = hwid_compare(licensed, strlen(licensed), mine, strlen(mine), &change, NULL, 0, NULL);
  const int accepted = (status == HWID_STATUS_OK || status == HWID_STATUS_BUFFER_TOO_SMALL) &&
                       change.verdict != HWID_VERDICT_DIFFERENT;
  printf("%s\n", mine); /* what `hwid x` prints */
  free(mine);
  return accepted ? 0 : 1;
}
