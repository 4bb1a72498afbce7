#!/usr/bin/env bash
# Installs, from Debian's archive and the npm registry, whatever the build and the tests need
# and this machine lacks. Safe to run again: it installs nothing that is already there.
# `install-deps.sh play` installs only what `make play` needs to build and play a game (the
# compiler, CMake, Ninja, nlohmann-json, CLI11, cpp-httplib and bubblewrap): no test tools and
# nothing from npm.
set -euo pipefail
mode=${1:-all}
[[ $mode == all || $mode == play ]] || { echo "usage: $0 [play]" >&2; exit 2; }

need_apt=()
want() {  # want COMMAND-OR-PATH PACKAGE
  if [[ $1 == /* ]]; then [[ -e $1 ]] || need_apt+=("$2")
  else command -v "$1" >/dev/null 2>&1 || need_apt+=("$2"); fi
}

want cmake cmake
want ninja ninja-build
want g++ g++
want /usr/include/nlohmann/json.hpp nlohmann-json3-dev  # sprt.json of zarvo-arena sprt
want /usr/include/CLI/CLI.hpp libcli11-dev  # zarvo-arena's command lines
want /usr/include/httplib.h libcpp-httplib-dev  # the page of zarvo-arena play-human
want bwrap bubblewrap             # sandboxed players (namespaces and mounts)
want /usr/include/seccomp.h libseccomp-dev  # the players' system-call filter
want pkg-config pkg-config         # finds libseccomp for CMake
if [[ $mode == all ]]; then
  want clang-format clang-format  # make test checks the layout of our C++
  want gcc gcc                       # zarvo-arena build: C entries (and their tests)
  want /usr/bin/python3 python3      # zarvo-arena build: Python entries (the sandbox's python3)
  want /usr/bin/node nodejs          # zarvo-arena build: JavaScript entries (the sandbox's node)
  want /usr/bin/cargo cargo          # zarvo-arena build: Rust crates
  want /usr/bin/rustc rustc          # zarvo-arena build: Rust entries
  want /usr/bin/go golang-go         # zarvo-arena build: Go modules
  want /usr/include/gtest/gtest.h libgtest-dev
  want /usr/include/benchmark/benchmark.h libbenchmark-dev
  want javac default-jdk-headless    # the Java launcher and the Java sample bot
  want parallel parallel             # the tournament test runs emitted jobs with GNU parallel
  want clang++ clang                 # make fuzz: libFuzzer targets
  want /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
  # zarvo-ladder: its database through SOCI (SQLite and PostgreSQL back ends; Debian's SOCI
  # headers include Boost), its HTTP server and client, entry archives, SHA-256; the ladder's
  # tests start a scratch PostgreSQL 15.
  want /usr/include/soci/soci.h libsoci-dev
  want /usr/include/boost/fusion/include/for_each.hpp libboost-dev
  want /usr/include/sqlite3.h libsqlite3-dev
  want /usr/include/postgresql/libpq-fe.h libpq-dev
  want /usr/lib/postgresql/15/bin/initdb postgresql
  want /usr/include/httplib.h libcpp-httplib-dev
  want /usr/include/archive.h libarchive-dev
  want /usr/include/openssl/evp.h libssl-dev
  want curl curl
  # Replay viewer tests: Node's test runner drives Debian's Chromium through playwright-core.
  want /usr/bin/chromium chromium
  want node nodejs
  want npm npm
fi

if ((${#need_apt[@]})); then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "$0: missing Debian packages, and neither root nor sudo to install them; as root run:" >&2
      echo "  apt-get install ${need_apt[*]}" >&2
      exit 1
    fi
    sudo_cmd=(sudo)
  fi
  echo "installing: ${need_apt[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${need_apt[@]}"
fi

[[ $mode == all ]] || exit 0
# playwright-core never downloads a browser of its own; the tests use /usr/bin/chromium.
viewer_tests="$(dirname "$0")/../tests/viewer"
if [[ ! -f $viewer_tests/node_modules/playwright-core/package.json ]]; then
  echo "installing: playwright-core for the viewer tests"
  (cd "$viewer_tests" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
