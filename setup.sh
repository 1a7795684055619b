#!/usr/bin/env bash
# Sets up, builds and runs imp00000 on a Debian machine.
#   ./setup.sh demo   installs what is missing, builds, and prints the example jobs end to end with previews
#   ./setup.sh test   installs what is missing, builds, and runs the test suite plainly (Release), checks an
#                     install with the C host example and the Debian package, runs the suite under
#                     AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer, then runs each
#                     fuzzer for a short while
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config ccache
  libsqlite3-dev nlohmann-json3-dev libcli11-dev libffi-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  unixodbc-dev unixodbc libsqliteodbc tdsodbc
  libcups2-dev cups-daemon cups-client
  libqrencode-dev libzint-dev libcurl4-openssl-dev openssl
  libfreetype-dev libfontconfig-dev libpng-dev fonts-liberation2 fonts-dejavu-core)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j2
}

run_tests() {  # run_tests DIR
  (cd "$1" && ctest --output-on-failure -j2 --timeout 900)
}

case "${1:-}" in
  demo)
    install_missing
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ./build/imphost demo --host-dir "${DEMO_HOST_DIR:-$PWD/demo-host}"
    ;;
  test)
    install_missing
    # Release: the optimiser's warnings count too; the benchmarks must keep building.
    build build-release -DCMAKE_BUILD_TYPE=Release -DIMP_WERROR=ON -DIMP_BUILD_BENCH=ON
    run_tests build-release
    # Installed into a temporary prefix, the C host of examples/host-c built against it prints the demo
    # order; the Debian package holds what a host needs.
    tests/install/check.sh build-release
    build build-asan -DCMAKE_BUILD_TYPE=Debug -DIMP_WERROR=ON -DIMP_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
    build build-tsan -DCMAKE_BUILD_TYPE=Debug -DIMP_WERROR=ON -DIMP_TSAN=ON
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_tests build-tsan
    # The fuzzers (clang, libFuzzer): 15 s each from their seed corpus; a crash fails the run.
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMP_WERROR=ON -DIMP_FUZZ=ON \
      -DIMP_BUILD_TESTS=OFF >/dev/null
    cmake --build build-fuzz --target imp_fuzzers -j2
    fuzz/run.sh build-fuzz 15
    ;;
  *)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac
