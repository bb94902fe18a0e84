#!/usr/bin/env bash
# Runs a command where 32-bit x86 programs run: here, or, on a kernel with
# IA-32 emulation off (Wine's 32-bit loader fails with "Exec format error"), in
# a small virtual machine. QEMU emulates a PC in software, boots this machine's
# own Debian kernel and mounts this machine's root over 9p, so the command sees
# the same tools, sources and build tree; /tmp, /run, /var/tmp and /root are
# the machine's own. The command runs in the current folder with the current
# environment, its output is this script's and so is its exit status.
# Usage: with-ia32.sh COMMAND [ARGUMENTS...]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
if ! "$root/scripts/needs-ia32-vm.sh" 2>/dev/null; then
  exec "$@"
fi

build="${QUEL_BUILD_DIR:-$root/build}"
state="$build/ia32-vm"
mkdir -p "$state"
state="$(cd "$state" && pwd)"
[[ "$state" != *[[:space:]]* ]] || { echo "with-ia32: the build folder's path must hold no spaces: $state" >&2; exit 2; }

kernel_version=""
for k in /boot/vmlinuz-*; do
  [ -d "/lib/modules/${k#/boot/vmlinuz-}" ] && kernel_version="${k#/boot/vmlinuz-}"
done
if [ -z "$kernel_version" ] || ! command -v qemu-system-x86_64 >/dev/null || [ ! -x /bin/busybox ]; then
  echo "with-ia32: this kernel runs no 32-bit x86 programs, and the virtual machine that would needs qemu-system-x86, linux-image-amd64 and busybox-static (scripts/setup.sh installs them)" >&2
  exit 2
fi

# The first stage: busybox, the modules for virtio and 9p, and an init that
# mounts the host's root, runs the job in it and powers off.
modules="virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci 9pnet 9pnet_virtio netfs fscache 9p"
initrd="$state/initrd-$kernel_version-$(sha1sum <"$0" | cut -c1-12).gz"  # made anew when this script changes
if [ ! -f "$initrd" ]; then
  stage="$(mktemp -d)"
  trap 'rm -rf "$stage"' EXIT
  mkdir -p "$stage"/{bin,proc,sys,dev,host}
  cp /bin/busybox "$stage/bin/"
  for m in $modules; do
    file="$(find "/lib/modules/$kernel_version/kernel" -name "$m.ko*" | head -1)"
    case "$file" in
      *.ko) cp "$file" "$stage/$m.ko" ;;
      *.ko.xz) xz -dc "$file" >"$stage/$m.ko" ;;
      *.ko.zst) zstd -qdc "$file" >"$stage/$m.ko" ;;
      *) echo "with-ia32: kernel $kernel_version has no module $m" >&2; exit 2 ;;
    esac
  done
  cat >"$stage/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for m in $modules; do insmod /\$m.ko || echo "vm: module \$m did not load"; done
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose hostroot /host || { echo "vm: the host's root cannot be mounted"; poweroff -f; }
mount -t proc proc /host/proc; mount -t sysfs sys /host/sys; mount -t devtmpfs dev /host/dev
mkdir -p /host/dev/pts /host/dev/shm
mount -t devpts devpts /host/dev/pts; mount -t tmpfs tmpfs /host/dev/shm
# The machine's own /tmp, /run, /var/tmp and /root; a folder of the job's
# (a clone in /tmp) is carried over from the host's.
keep=\$(sed -n 's/.*vmkeep=\([^ ]*\).*/\1/p' /proc/cmdline | tr , ' ')
n=0
for k in \$keep; do mkdir -p /keep\$n; mount -o bind /host\$k /keep\$n; n=\$((n + 1)); done
for d in /tmp /run /var/tmp /root; do mount -t tmpfs tmpfs /host\$d; done
n=0
for k in \$keep; do mkdir -p /host\$k; mount -o move /keep\$n /host\$k; n=\$((n + 1)); done
ip link set lo up
job=\$(sed -n 's/.*vmjob=\([^ ]*\).*/\1/p' /proc/cmdline)
# A controlling terminal, so that Ctrl-C on the console reaches the job.
setsid -c chroot /host /bin/bash "\$job" </dev/ttyS0 >/dev/ttyS0 2>&1
sync
poweroff -f
EOF
  chmod +x "$stage/init"
  (cd "$stage" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.part"
  mv "$initrd.part" "$initrd"
  rm -rf "$stage"
  trap - EXIT
fi

# The job: this folder, this environment, the command, its status in a file.
job="$(mktemp "$state/job.XXXXXX")"  # runs side by side keep their own files
status="$job.status"
trap 'rm -f "$job" "$status"' EXIT
{
  echo '#!/bin/bash'
  export -p | grep -vE '^declare -x (DISPLAY|XAUTHORITY|OLDPWD|PWD|SHLVL|_)='
  printf 'cd %q || exit 2\n' "$PWD"
  printf '%q ' "$@"
  printf '\necho $? >%q\n' "$status"
} >"$job"

# The job's folders that lie where the machine has folders of its own.
keep=""
for folder in "$root" "$build" "$PWD"; do
  folder="$(cd "$folder" && pwd -P)"
  case "$folder" in
    /tmp/*|/run/*|/var/tmp/*|/root/*) keep="${keep:+$keep,}$folder" ;;
  esac
done
[[ "$keep" != *[[:space:]]* ]] || { echo "with-ia32: the folders' paths must hold no spaces: $keep" >&2; exit 2; }

memory=$(( $(awk '/MemTotal/ {print $2}' /proc/meminfo) / 2048 ))
[ "$memory" -le 8192 ] || memory=8192
# -smap/-smep: QEMU 7.2's software CPU faults a 32-bit iret from user mode under SMAP.
qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap,-smep -smp "$(nproc)" -m "$memory" \
  -nodefaults -no-reboot -display none -serial stdio \
  -kernel "/boot/vmlinuz-$kernel_version" -initrd "$initrd" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 vmjob=$job${keep:+ vmkeep=$keep}" \
  -fsdev local,id=root,path=/,security_model=none,multidevs=remap \
  -device virtio-9p-pci,fsdev=root,mount_tag=hostroot
[ -f "$status" ] || { echo "with-ia32: the virtual machine ended without the command's status" >&2; exit 2; }
result="$(cat "$status")"
exit "$result"
