#!/usr/bin/env bash
# CTest's emulator: runs a test executable under the Wine that ./run started.
exec "${ZELNOR_WINE:-/usr/lib/wine/wine64}" "$@"
