# Sourced by every script here that runs Wine: quiet, and no Mono or Gecko installer dialogs nor
# menu entries on a machine without a desktop. WINEPREFIX is set by the script beforehand.
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
