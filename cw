#!/usr/bin/env bash
# Cardwright's one entry point for developers:
#   ./cw run    install what is missing, build, start the program
#   ./cw test   install what is missing, build, run every test (plus sanitizer, fuzz and thread passes)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libzip-dev libexpat1-dev libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxlsxwriter-dev python3 python3-xlwt python3-vobject
  nettle-dev python3-msoffcrypto-tool libgraphicsmagick++1-dev
  python3-openpyxl liburing-dev
  python3-gi gir1.2-ebookcontacts-1.2 libkf5contacts-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-liberation
  clang-format
  desktop-file-utils appstream dpkg-dev lintian
)

setup() {
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

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build build -j2
}

# Every C++ file laid out as .clang-format says.
format_check() {
  local unformatted
  unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c 'warning:' || true)
  if [ "$unformatted" -gt 0 ]; then
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | cut -d: -f1 | sort -u >&2
    echo "clang-format would change $unformatted places in the files above: run clang-format -i on them." >&2
    exit 1
  fi
  echo "== layout: every file as .clang-format says"
}

# The cores again with clang, AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer:
# their unit tests, the saved corpora, then a short fuzzing run per target. This build also
# leaves out the calls that only later Debian 12 point releases of a library have, so the
# branch for the first releases is compiled and tested on every run.
sanitized() {
  CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCW_BUILD_GUI=OFF -DCW_SANITIZE=ON -DCW_FUZZ=ON -DCW_WERROR=ON -DCW_EXPAT_REPARSE_DEFERRAL_API=OFF >/dev/null
  cmake --build build-asan -j2
  local seconds="${CW_FUZZ_SECONDS:-10}"
  for target in build-asan/fuzz/*/fuzz_*; do
    [ -x "$target" ] || continue
    local name corpus
    name=$(basename "$target")
    corpus=$(mktemp -d)
    cp -r "fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
    echo "== fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
    rm -rf "$corpus"
  done
  ctest --test-dir build-asan --output-on-failure -j2
}

# The run's and the sheet's tests once more, built with clang and ThreadSanitizer: the export's
# writer threads, the read-ahead of rows and the shared strings' loader run there beside the
# run's thread, and any data race between them fails the test command. Only those two test
# binaries are built (without the window); each runs whole, in one process.
threads() {
  CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCW_BUILD_GUI=OFF -DCW_TSAN=ON -DCW_WERROR=ON >/dev/null
  cmake --build build-tsan -j2 --target cw_run_tests cw_sheet_tests
  local tests
  for tests in cw_run_tests cw_sheet_tests; do
    echo "== $tests under ThreadSanitizer"
    # Without address randomisation: clang 14's ThreadSanitizer stops at start-up on kernels
    # that randomise 32 bits of the address space (vm.mmap_rnd_bits), as newer kernels may.
    TSAN_OPTIONS="second_deadlock_stack=1 ${TSAN_OPTIONS:-}" setarch "$(uname -m)" -R \
      "build-tsan/tests/$tests" --gtest_brief=1
  done
}

case "${1:-}" in
  run)
    setup
    build -DCW_WERROR=OFF
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
      echo "Built. Cardwright needs a display: run it on a desktop, or in a virtual one with: xvfb-run -a ./cw run" >&2
      exit 1
    fi
    exec build/app/cardwright
    ;;
  test)
    setup
    format_check
    build -DCW_WERROR=ON
    ctest --test-dir build --output-on-failure -j2
    sanitized
    threads
    ;;
  *)
    echo "usage: ./cw run | ./cw test" >&2
    exit 2
    ;;
esac
