#!/bin/sh
# strip for the toolchain's PE files. Rewriting a PE file stamps the current time into its header
# (and so into its checksum) unless SOURCE_DATE_EPOCH says otherwise; 0 is what the linker writes
# with --no-insert-timestamp, so `cmake --install --strip` and CPack keep a release's bytes.
SOURCE_DATE_EPOCH=0 exec x86_64-w64-mingw32-strip "$@"
