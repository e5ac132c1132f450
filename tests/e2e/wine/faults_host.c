/* A host that reads the current identifier through hwid.dll and prints the status's name, the
 * text and the faults of the reading, one per line, so a test can see what the library said. */
#include <hwid/hwid.h>
#include <stdio.h>

int main(void) {
  char text[512];
  char faults[4096];
  const hwid_status status = hwid_identifier(HWID_LAYOUT_CURRENT, text, sizeof text, NULL);
  if (hwid_last_faults(faults, sizeof faults, NULL) != HWID_STATUS_OK) {
    faults[0] = '\0';
  }
  (void)printf("%s\n%s\n%s", hwid_status_name(status),
               status == HWID_STATUS_OK || status == HWID_STATUS_INCOMPLETE ? text : "", faults);
  return 0;
}
