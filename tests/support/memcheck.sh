#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test under valgrind's memcheck: memcheck.sh SUPPRESSIONS TEST [ARGUMENTS...]
# Where valgrind cannot emulate this processor (it advertises instructions the host lacks, and
# a library's start-up code then dies of SIGILL before any of our code runs), the check is
# skipped with exit code 77 rather than failed: the fault is the emulator's, not the test's.
set -uo pipefail
suppressions=$1
shift
valgrind --quiet --suppressions="$suppressions" "$1" -functions >/dev/null 2>&1
if [ $? -ge 128 ]; then
  echo "valgrind cannot run the test's libraries on this processor; memcheck skipped"
  exit 77
fi
exec valgrind --quiet --error-exitcode=1 --suppressions="$suppressions" "$@"
