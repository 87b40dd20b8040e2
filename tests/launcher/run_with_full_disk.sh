#!/bin/sh
# Runs launcher_full_disk_tests in a folder on a small file system of its own (a 2 MiB
# tmpfs), which the test fills up to the last byte before it presses START.
# Usage: run_with_full_disk.sh <wine-run> <build dir> <test program>
# Exits 77 (skipped) where no file system can be mounted.
set -eu
wine_run=$1
build=$2
tests=$3
folder=$(mktemp -d /tmp/quarv-full-disk-XXXXXX)
if ! mount -t tmpfs -o size=2m,mode=0777 tmpfs "$folder" 2>/dev/null; then
  rmdir "$folder"
  echo "cannot mount a small file system here: full-disk test skipped" >&2
  exit 77
fi
cleanup() {
  umount "$folder" 2>/dev/null || umount -l "$folder" 2>/dev/null || true
  rmdir "$folder" 2>/dev/null || true
}
trap cleanup EXIT
QUARV_FULL_DISK_FOLDER="Z:$(printf '%s' "$folder" | tr / '\\')" "$wine_run" "$build" "$tests"
