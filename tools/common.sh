# Shared by tools/run and tools/test: install what the build needs, then configure and build into build/.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"

# What building the host needs: the compiler and build tools, Qt, Tcl, Boost, zlib and libdeflate,
# and the GoogleTest and Google Benchmark headers that the configuration looks for.
build_packages=(
  g++ cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools
  tcl8.6-dev libboost-system-dev zlib1g-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# What the tests and benchmarks need besides: GMP for a benchmark, the programs that read the
# exported files back, the formatter, strace for the save faults, and the X virtual frame buffer the
# end-to-end scripts run on once more.
test_packages=(libgmp-dev gtkwave imagemagick poppler-utils clang-format strace xvfb xauth)

# install_missing_packages [PACKAGE...]: installs those of the packages (all of both lists by
# default) that are missing.
install_missing_packages() {
  local wanted=("$@") missing=()
  [ ${#wanted[@]} -gt 0 ] || wanted=("${build_packages[@]}" "${test_packages[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ] && [ -f /etc/debian_version ]; then
    echo "Installing missing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them (as root: apt-get install ${missing[*]}) and run this command again." >&2
    exit 1
  fi
}

# configure_and_build [DIR [CMAKE OPTIONS...]]: the plain build goes to build/.
configure_and_build() {
  local dir=${1:-$build}
  shift || true
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}
