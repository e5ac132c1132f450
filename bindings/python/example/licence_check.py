import sys
import time

import hwid

# Accepts this machine for a licence issued to the identifier sys.argv[1] while it is the same
# machine, changed or not. A reading in which a call failed may lack an address or the serial:
# after three tries it neither accepts nor refuses but exits with 3, "cannot verify this machine
# now", so that the product applies its grace period or the identifier it stored at activation.
# Never activate a licence on such a reading.
ACCEPTED, REFUSED, CANNOT_VERIFY = 0, 1, 3


def read_identifier():
    """This machine's identifier, trying again while a reading is incomplete."""
    for attempt in range(1, 4):
        try:
            return hwid.identifier()  # what `hwid x` prints
        except hwid.IncompleteError:
            if attempt == 3:
                raise
            time.sleep(0.3)


try:
    mine = read_identifier()
except hwid.HwidError as error:  # incomplete (error.faults says why), or no answer in time
    print(f"cannot verify this machine now: {error}", file=sys.stderr)
    sys.exit(CANNOT_VERIFY)
print(mine)
try:
    change = hwid.compare(sys.argv[1] if len(sys.argv) > 1 else mine, mine)
except hwid.InvalidIdentifierError as error:
    sys.exit(f"not an identifier: {error}")
sys.exit(ACCEPTED if change.verdict != hwid.Verdict.DIFFERENT else REFUSED)
