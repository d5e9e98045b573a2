#!/usr/bin/env bash
# Installs telm into the project's virtual environment and runs the quickstart example.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_apt_packages

make_venv .venv
.venv/bin/python -m pip install -q .
.venv/bin/python examples/quickstart.py
