#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: tools/install-deps.sh [build|test]
#   build: compilers, libraries and what the main job runs
#   test:  build plus what the test suite drives (browser, Wine, cross compiler,
#          package tools)
set -euo pipefail

want=(cmake g++ make pkg-config python3 zlib1g-dev libasio-dev qt6-base-dev libcups2-dev
      nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev hwdata
      libxml2-utils iproute2
      libqt6sql6-sqlite libqt6sql6-psql  # the index database's drivers
      libssl-dev  # the signature check of commands (libcrypto)
      librpm-dev  # the rpm package database (Fedora, RHEL, SUSE machines)
      libsystemd-dev  # a command's message on the desktops: sd-bus and sd-login
      fonts-dejavu-core)  # a monospace font: the console's TAB-aligned views line up
if [[ "${1:-build}" == "test" ]]; then
  want+=(clang xvfb xauth)
  # rpmbuild and rpm: a real rpm database made at test time
  want+=(rpm)
  # the report page in a real browser (reportlib/browsertest)
  want+=(chromium chromium-driver python3-selenium)
  # the Windows agent: cross compiler, zlib for it, Wine (tools/test-windows.sh)
  want+=(g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64)
  # the packages: CPack's dependency list, lintian, systemd-analyze, the MSI
  want+=(dpkg-dev lintian systemd wixl msitools)
  # the index tests start a PostgreSQL server of their own
  want+=(postgresql)
  # a private session bus for the desktop notification tests
  want+=(dbus-daemon)
fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi
echo "Installing missing packages: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
