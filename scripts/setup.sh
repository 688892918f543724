#!/usr/bin/env bash
# Makes sure the build's tools and libraries are on this (Debian) machine.
# Installs what is missing through apt-get when run as root; otherwise names it.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libncurses-dev libsqlite3-dev libsodium-dev libgtest-dev
          libgmock-dev libbenchmark-dev libcairo2-dev fonts-dejavu-core tmux clang-format clang-tidy
          python3 dialog clang libclang-rt-dev postgresql libpq-dev poppler-utils
          dpkg-dev file man-db)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
else
    echo "setup: missing packages: ${missing[*]}" >&2
    echo "setup: install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
