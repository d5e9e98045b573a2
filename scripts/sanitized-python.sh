#!/usr/bin/env bash
# Runs the project's interpreter against the sanitized module of build/sanitize-py (installed into
# build/sanitize-py/python, not the virtual environment's module), e.g.
#   bash scripts/sanitized-python.sh -m pytest tests/py
#   bash scripts/sanitized-python.sh fuzz/fuzz_telm.py -max_total_time=60
# g++'s AddressSanitizer and UndefinedBehaviorSanitizer runtimes are preloaded into the interpreter;
# all its memory goes through malloc so the leak check sees every reference; the leak check runs
# when the program ends, before the interpreter's own teardown (tests/sanitize/sitecustomize.py).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export LD_PRELOAD="$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"
export PYTHONMALLOC=malloc
export PYTHONPATH="$root/build/sanitize-py/python:$root/tests/sanitize${PYTHONPATH:+:$PYTHONPATH}"
# Huge requests from Python code itself (not ours) must fail with MemoryError, not end the process.
export ASAN_OPTIONS="detect_leaks=1:leak_check_at_exit=0:allocator_may_return_null=1:abort_on_error=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/tests/sanitize/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
exec "$root/.venv/bin/python" "$@"
