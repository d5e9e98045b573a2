# Sourced by the set-up scripts: what a fresh machine needs, in one place.

# Debian packages for building the native core and its tests.
apt_packages=(
  build-essential cmake ninja-build ccache
  libeigen3-dev libutf8proc-dev libopenblas-dev
  libgtest-dev libgmock-dev
  nlohmann-json3-dev
)

# PyPI packages for building the module (the same as pyproject's build requirements, for
# --no-build-isolation builds in the project's virtual environment).
build_python_packages=(scikit-build-core cmake ninja)

# PyPI packages the Python tests use.
test_python_packages=(pytest numpy mypy)

# PyPI packages each peer benchmark compares against (bench/<name>.py); each benchmark gets its
# own virtual environment, since the peers pin clashing versions.
peers_packages=(numpy qulacs qiskit qiskit-aer pennylane pennylane-lightning)
mps_peers_packages=(numpy quimb)
gaussian_peers_packages=("numpy<2" "scipy<1.14" "thewalrus<0.22" strawberryfields)

# Installs the Debian packages when running as root and any is missing; otherwise says what to install.
install_apt_packages() {
  local missing=()
  for p in "${apt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  else
    echo "Missing Debian packages: ${missing[*]} (install them with apt-get as root)" >&2
    return 1
  fi
}

# Creates (or reuses) the virtual environment $1 with a current pip.
make_venv() {
  python3 -m venv "$1"
  "$1/bin/python" -m pip install -q --upgrade pip
}
