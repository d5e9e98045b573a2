#!/usr/bin/env bash
# Runs a benchmark against its peers: bash scripts/bench.sh peers|mps_peers|gaussian_peers [args]
# Installs telm and that benchmark's peers into its own virtual environment, .venv-bench-<name>.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_apt_packages
name=${1:?usage: scripts/bench.sh peers|mps_peers|gaussian_peers [args]}
shift
packages="${name}_packages[@]"
venv=.venv-bench-$name
make_venv "$venv"
"$venv/bin/python" -m pip install -q "${!packages}"
"$venv/bin/python" -m pip install -q .
"$venv/bin/python" "bench/$name.py" "$@"
