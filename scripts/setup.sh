#!/usr/bin/env bash
# Installs what the build and the tests need. Quiet and quick when all is present.
set -euo pipefail

packages=(cmake g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 xvfb xauth python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
