#!/usr/bin/env bash
# Power cut: files written on a loop-mounted ext4 must be whole on the disk when the call returns.
# Right after the writes, another program fsyncs an unrelated file (as on any busy machine),
# which commits the journal and with it the renames; then the disk image is copied as it stands,
# which is what a power cut would leave, and the copy is mounted (the journal replayed) and read.
# Each case runs with ext4's defaults and with noauto_da_alloc (how XFS behaves: no data flush
# on a rename over a file). A control writes without syncing and must lose its new file, which
# shows that the copy catches a lost write. Needs root and a loop device; skips without them.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${TESSERA_BUILD_DIR:-build}"  # the build of scripts/test.sh

skip() {
  echo "durability: SKIPPED: $*"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip "not root (loop devices and mounts need root)"
command -v mkfs.ext4 >/dev/null || skip "no mkfs.ext4"
losetup -f >/dev/null 2>&1 || skip "no free loop device (losetup -f found none)"

cmake --build "$build" -j2 --target tessera_replace_probe >/dev/null
probe="$build/tests/hardening/tessera_replace_probe"
work="$(mktemp -d)"
mnt="$work/mnt"
mkdir "$mnt"
device=""
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  [ -z "$device" ] || losetup -d "$device" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

attach() {
  device="$(losetup -f --show "$1")" || skip "cannot attach a loop device to $1"
}
detach() {
  umount "$mnt"
  losetup -d "$device"
  device=""
}

"$probe" door "$work/reference.bmp"
printf 'the old content, on the disk before the call\n' >"$work/old"

# run MOUNT_OPTIONS WRITER: prints "new: STATE, replaced: STATE" as read after the power cut,
# each STATE one of whole (the reference bytes), old, empty (0 bytes), missing, or other.
run() {
  local options=$1 writer=$2
  truncate -s 0 "$work/disk.img"
  truncate -s 64M "$work/disk.img"
  # Inode tables and journal made now, so that no background initialisation writes later.
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$work/disk.img"
  attach "$work/disk.img"
  # No journal commit of its own within the run: only fsyncs commit.
  mount -o "commit=300${options:+,$options}" "$device" "$mnt" || skip "cannot mount ext4 from $device"
  cp "$work/old" "$mnt/replaced.bmp"
  sync -f "$mnt/replaced.bmp"
  for name in new replaced; do
    case $writer in
      door) "$probe" door "$mnt/$name.bmp" ;;
      unsynced) "$probe" unsynced "$work/reference.bmp" "$mnt/$name.bmp" ;;
    esac
  done
  dd if=/dev/zero of="$mnt/unrelated" bs=512 count=1 conv=fsync status=none
  cp --sparse=always "$work/disk.img" "$work/cut.img"  # the power cut
  detach
  attach "$work/cut.img"
  mount "$device" "$mnt"
  local report="" name state
  for name in new replaced; do
    if [ ! -e "$mnt/$name.bmp" ]; then state=missing
    elif cmp -s "$mnt/$name.bmp" "$work/reference.bmp"; then state=whole
    elif cmp -s "$mnt/$name.bmp" "$work/old"; then state=old
    elif [ ! -s "$mnt/$name.bmp" ]; then state=empty
    else state=other
    fi
    report+="${report:+, }$name: $state"
  done
  detach
  echo "$report"
}

failed=0
expect() {
  local options=$1 writer=$2 pattern=$3 seen
  seen="$(run "$options" "$writer")"
  printf '%-16s %-9s %s\n' "${options:-defaults}" "$writer" "$seen"
  if ! [[ "$seen" =~ $pattern ]]; then
    echo "  expected: $pattern"
    failed=1
  fi
}
echo "mount options    writer    after the power cut"
expect "" door '^new: whole, replaced: whole$'
expect noauto_da_alloc door '^new: whole, replaced: whole$'
expect noauto_da_alloc unsynced '^new: (missing|empty), replaced: (old|empty)$'
[ "$failed" -eq 0 ] && echo "durability: every file the door wrote was whole after the power cut"
exit "$failed"
