#!/usr/bin/env bash
# Installs what the build and the tests need. Quiet and quick when all is present.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUEL_BUILD_DIR:-$root/build}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# Installs the Debian packages given that are not installed yet.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "setup: installing ${missing[*]}" >&2
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# openssl (Linux) makes the SSL tests' certificates and plays their TLS peer;
# gnutls-bin is a second TLS stack to test against.
# python3 draws the tray monitor's artwork at build time and plays the socket
# tests' slow reader.
install_packages cmake g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 xvfb xauth openssl gnutls-bin python3
# iproute2 and kmod give gatecfg's vanishing-controller test its network
# namespace and veth pair.
install_packages iproute2 kmod

# Wine takes the ANSI code page from the Unix locale, and only from one that
# exists: the tests run programs under LANG=ru_RU.UTF-8 for code page 1251.
install_packages locales
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  echo "setup: generating the locale ru_RU.UTF-8" >&2
  $sudo sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  grep -qx 'ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# A kernel with IA-32 emulation off runs no 32-bit program: Wine then runs in a
# software-emulated PC that boots this machine's own kernel (with-ia32.sh).
if "$root/scripts/needs-ia32-vm.sh" 2>/dev/null; then
  install_packages qemu-system-x86 linux-image-amd64 busybox-static
fi

# The genuine OpenSSL 1.0.2n DLLs that the socket library's SSL level binds by
# name at run time: fetched with the npm client, checked against the hashes
# pinned beside this script and placed beside the built programs.
openssl_pins="$root/scripts/openssl-dlls.sha256"
openssl_dir="$build/bin"
if ! (cd "$openssl_dir" 2>/dev/null && sha256sum --status -c "$openssl_pins"); then
  command -v npm >/dev/null || install_packages npm
  echo "setup: fetching the OpenSSL 1.0.2n DLLs (npm openssl.exe@0.0.2)" >&2
  fetch="$(mktemp -d)"
  trap 'rm -rf "$fetch"' EXIT
  (cd "$fetch" && npm pack --silent openssl.exe@0.0.2 >/dev/null &&
     tar xzf openssl.exe-0.0.2.tgz package/bin/libeay32.dll package/bin/ssleay32.dll &&
     cd package/bin && sha256sum --quiet -c "$openssl_pins") ||
    { echo "setup: the OpenSSL DLLs could not be fetched or do not match $openssl_pins" >&2; exit 1; }
  mkdir -p "$openssl_dir"
  cp "$fetch/package/bin/libeay32.dll" "$fetch/package/bin/ssleay32.dll" "$openssl_dir/"
fi
