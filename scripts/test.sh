#!/usr/bin/env bash
# Installs what the tests need and runs every test: the native GoogleTest suites (through CTest)
# and the Python suite (through pytest) against the installed module. Re-running is incremental.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_apt_packages

python3 -m venv .venv
.venv/bin/python -m pip install -q --upgrade pip
.venv/bin/python -m pip install -q "${build_python_packages[@]}" "${test_python_packages[@]}"

# One build serves both: the module that pip installs and the native test binaries beside it.
.venv/bin/python -m pip install -q --no-build-isolation . \
  -Cbuild-dir=build/test -Ccmake.define.TELM_BUILD_TESTS=ON
ctest --test-dir build/test --output-on-failure -j2

# The Python suite imports the installed module, not the source tree.
(cd tests/py && ../../.venv/bin/python -m pytest -q -p no:cacheprovider .)

if [ "${TELM_SKIP_SANITIZERS:-0}" != 1 ]; then
  # The native suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
  cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELM_SANITIZE=ON \
    -DTELM_BUILD_TESTS=ON -DTELM_BUILD_PYTHON=OFF > build/sanitize.log
  cmake --build build/sanitize -j2
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitize --output-on-failure -j2
fi
