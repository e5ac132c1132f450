import sys

import hwid

# Accepts this machine for a licence issued to the identifier sys.argv[1] while it is the same
# machine, changed or not.
mine = hwid.identifier()  # what `hwid x` prints
print(mine)
try:
    change = hwid.compare(sys.argv[1] if len(sys.argv) > 1 else mine, mine)
except hwid.InvalidIdentifierError as error:
    sys.exit(f"not an identifier: {error}")
sys.exit(0 if change.verdict != hwid.Verdict.DIFFERENT else 1)
