#!/usr/bin/env bash
# The engine's tests of scripts and replaced files where temporary files must have a name, as on
# NFS and FAT drives: in a mount namespace of the test's own, /proc, through which an unnamed
# file takes its name, is an empty folder. A namespace needs root; for anyone else the test is
# skipped and says so. named_temporaries_test.sh ENGINE-TESTS
set -euo pipefail
tests=$1
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
  echo "skipped: hiding /proc takes root and a mount namespace"
  exit 77
fi
exec unshare --mount --propagation private sh -c \
  'mount -t tmpfs none /proc && exec "$0" --gtest_filter="ReplacementFile*:ScriptStream*:RunConversion*"' \
  "$tests"
