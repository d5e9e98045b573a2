#!/usr/bin/env bash
# Installs what the tests need and runs every test: the native GoogleTest suites (through CTest)
# and the Python suite (through pytest) against the installed module. Re-running is incremental.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_apt_packages

make_venv .venv
.venv/bin/python -m pip install -q "${build_python_packages[@]}" "${test_python_packages[@]}"

# One build serves both: the module that pip installs and the native test binaries beside it.
.venv/bin/python -m pip install -q --no-build-isolation . \
  -Cbuild-dir=build/test -Ccmake.define.TELM_BUILD_TESTS=ON
ctest --test-dir build/test --output-on-failure -j2

# The Python suite imports the installed module, not the source tree.
(cd tests/py && ../../.venv/bin/python -m pytest -q -p no:cacheprovider .)

if [ "${TELM_SKIP_SANITIZERS:-0}" != 1 ]; then
  # The native suites, the Python suite and a short fuzzing run again under AddressSanitizer and
  # UndefinedBehaviorSanitizer: one sanitized build of the libraries, the native tests and the module,
  # which the interpreter loads from that build (scripts/sanitized-python.sh), not from the venv.
  cmake -S . -B build/sanitize-py -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELM_SANITIZE=ON \
    -DTELM_BUILD_TESTS=ON -DTELM_BUILD_PYTHON=ON -DPython_EXECUTABLE="$PWD/.venv/bin/python" > build/sanitize-py.log
  cmake --build build/sanitize-py -j2
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitize-py --output-on-failure -j2
  rm -rf build/sanitize-py/python && cmake --install build/sanitize-py --prefix build/sanitize-py/python > /dev/null
  (cd tests/py && bash ../../scripts/sanitized-python.sh -m pytest -q -p no:cacheprovider .)
  bash scripts/sanitized-python.sh fuzz/fuzz_telm.py --plain --seconds 60 --seed "${TELM_FUZZ_SEED:-1}"
fi
