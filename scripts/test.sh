#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, checks the C++ style with clang-format and the QML with
# qmllint, and runs the whole test suite; then builds the motion core with its scalar reference
# kernels only, as on a target without x86 vector kernels, and runs its tests there; last, the
# tests that need no window, built with the address and undefined behaviour sanitizers.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${OVRA_BUILD_DIR:-$root/build}
scalar_dir=${OVRA_SCALAR_BUILD_DIR:-$build_dir-scalar}

"$root/scripts/build.sh"
# Every C++ source keeps the style .clang-format describes; one that does not fails the run.
git -C "$root" ls-files -z '*.cpp' '*.h' | (cd "$root" && xargs -0 clang-format --dry-run --Werror)
# Any qmllint warning fails. Suppressed line by line ("qmllint disable") are three shortcomings
# of Qt 6.4: its qmllint knows no qlonglong, the type of the qint64 frame numbers and times, and
# takes Qt.callLater for a property that may not be a method ("type"); its Loader cannot load a
# component bound to its document, whose outer ids qmllint then cannot check ("unqualified").
cmake --build "$build_dir" --target all_qmllint
cd "$build_dir"
ctest --output-on-failure --parallel 2 "$@"

cmake -S "$root" -B "$scalar_dir" -G Ninja -DCMAKE_BUILD_TYPE="${OVRA_BUILD_TYPE:-RelWithDebInfo}" \
  -DOVRA_MOTION_VECTOR_KERNELS=OFF >/dev/null
motion_tests=$(cd "$scalar_dir" && ctest -N -L motion_core | sed -n 's/^ *Test *#[0-9]*: //p')
cmake --build "$scalar_dir" --target $motion_tests
ctest --test-dir "$scalar_dir" --output-on-failure --parallel 2 -L motion_core

# AddressSanitizer and UndefinedBehaviorSanitizer over the tests that need no window: the motion
# core, media, the analysis result on disk, the pipeline and the command line, where our code indexes
# planes and FFmpeg's buffers. The ui, app and diagnostics tests drive the same code through Qt
# Quick, which would double the time for little more reach; the emulated-CPU, symbol and
# memcheck tests check other things. Any sanitizer report fails the test and so this script,
# except a mismatch of allocator and deallocator: Qt 6.4's JSON parser (QJsonDocument::fromJson)
# frees with free() what it allocated with new, inside libQt6Core, where no suppression reaches.
sanitize_dir=${OVRA_SANITIZE_BUILD_DIR:-$build_dir-sanitize}
sanitize_flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
launcher=$(command -v ccache || true)
cmake -S "$root" -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_CXX_FLAGS="$sanitize_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize_flags" >/dev/null
sanitize_select=(-R '^(.*motion_.*_test|tst_(libav|frameconversion$|analysisresult|videoprocessingpipeline|cli))'
  -E '_cpu_test|_symbols_test')
sanitize_tests=$(cd "$sanitize_dir" && ctest -N "${sanitize_select[@]}" | sed -n 's/^ *Test *#[0-9]*: //p' \
  | grep -vx generate_test_media)
cmake --build "$sanitize_dir" --target $sanitize_tests
ASAN_OPTIONS=detect_leaks=1:alloc_dealloc_mismatch=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$sanitize_dir" --output-on-failure --parallel 2 "${sanitize_select[@]}"
