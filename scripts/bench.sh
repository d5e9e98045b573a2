#!/usr/bin/env bash
# Runs a benchmark against its peers: bash scripts/bench.sh peers|mps_peers|gaussian_peers [args]
# Installs telm and the peers into the virtual environment .venv-bench first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_apt_packages
name=${1:?usage: scripts/bench.sh peers|mps_peers|gaussian_peers [args]}
shift
python3 -m venv .venv-bench
.venv-bench/bin/python -m pip install -q --upgrade pip
.venv-bench/bin/python -m pip install -q "${bench_python_packages[@]}"
.venv-bench/bin/python -m pip install -q .
.venv-bench/bin/python "bench/$name.py" "$@"
