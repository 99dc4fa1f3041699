#!/usr/bin/env bash
# Power cut: files written on a loop-mounted ext4 must be whole on the disk once they have their
# names. Right after the writes, another program fsyncs an unrelated file (as on any busy machine),
# which commits the journal and with it the names; then the disk image is copied as it stands,
# which is what a power cut would leave, and the copy is mounted (the journal replayed) and read.
# Writers: the library's call, a --split set, and a batch cut while it runs (its lines come from a
# FIFO: once every file has its name, the batch waits for more input, and the cut is taken then).
# Each runs with ext4's defaults or with noauto_da_alloc (how XFS behaves: no data flush on a
# rename over a file). A control writes without syncing and must lose its new file, which shows
# that the copy catches a lost write. Needs root and a loop device; skips without them.
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

cmake --build "$build" -j2 --target tessera_replace_probe tessera_cli >/dev/null
probe="$build/tests/hardening/tessera_replace_probe"
tessera="$build/tessera"
work="$(mktemp -d)"
mnt="$work/mnt"
mkdir "$mnt"
device=""
batch=""
cleanup() {
  [ -z "$batch" ] || kill "$batch" 2>/dev/null || true
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

split_text="one text over two symbols, written all or none"
lines=128  # two groups of files of the batch
seq -f 'line %g of a batch cut by a power cut' "$lines" >"$work/lines"
printf 'the old content, on the disk before the call\n' >"$work/old"

# names WRITER: the files it writes; the last one is there before it, with the old content.
names() {
  case $1 in
    split) echo part1 part2 ;;
    batch) seq -f 'line%g' "$lines" ;;
    *) echo new replaced ;;
  esac
}

# write WRITER FOLDER: writes the writer's files into FOLDER and returns once they are written.
write() {
  local name
  case $1 in
    door) for name in new replaced; do "$probe" door "$2/$name.bmp"; done ;;
    unsynced) for name in new replaced; do "$probe" unsynced "$work/ref/door/new.bmp" "$2/$name.bmp"; done ;;
    split) "$tessera" "$split_text" --split 2 -o "$2/part{n}.bmp" ;;
    batch) "$tessera" --batch "$work/lines" -o "$2/line{n}.bmp" 2>/dev/null ;;
  esac
}

# named WRITER: whether every file of the writer has its name on the mount, with new content.
named() {
  local name
  for name in $(names "$1"); do
    [ -e "$mnt/$name.bmp" ] && ! cmp -s "$mnt/$name.bmp" "$work/old" || return 1
  done
}

# The bytes each writer's files must hold: the same writes into a plain folder.
for writer in door split batch; do
  mkdir -p "$work/ref/$writer"
  write "$writer" "$work/ref/$writer"
done
cp -r "$work/ref/door" "$work/ref/unsynced"

# run MOUNT_OPTIONS WRITER: prints the state of each file as read after the power cut (whole: the
# writer's bytes, old, empty: 0 bytes, missing, or other), by name, or as counts for a batch.
run() {
  local options=$1 writer=$2 name state report="" i
  truncate -s 0 "$work/disk.img"
  truncate -s 64M "$work/disk.img"
  # Inode tables and journal made now, so that no background initialisation writes later.
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$work/disk.img"
  attach "$work/disk.img"
  # No journal commit of its own within the run: only fsyncs commit.
  mount -o "commit=300${options:+,$options}" "$device" "$mnt" || skip "cannot mount ext4 from $device"
  local -a all
  read -r -d '' -a all < <(names "$writer") || true
  cp "$work/old" "$mnt/${all[-1]}.bmp"
  sync -f "$mnt/${all[-1]}.bmp"
  if [ "$writer" = batch ]; then
    rm -f "$work/feed"
    mkfifo "$work/feed"
    "$tessera" --batch "$work/feed" -o "$mnt/line{n}.bmp" 2>/dev/null &
    batch=$!
    exec 3>"$work/feed"
    cat "$work/lines" >&3
    for ((i = 0; i < 1200; i++)); do named batch && break; sleep 0.05; done
  else
    write "$writer" "$mnt"
  fi
  dd if=/dev/zero of="$mnt/unrelated" bs=512 count=1 conv=fsync status=none
  cp --sparse=always "$work/disk.img" "$work/cut.img"  # the power cut
  if [ -n "$batch" ]; then
    exec 3>&-
    wait "$batch" || true
    batch=""
  fi
  detach
  attach "$work/cut.img"
  mount "$device" "$mnt"
  declare -A count=()
  for name in "${all[@]}"; do
    if [ ! -e "$mnt/$name.bmp" ]; then state=missing
    elif cmp -s "$mnt/$name.bmp" "$work/ref/$writer/$name.bmp"; then state=whole
    elif cmp -s "$mnt/$name.bmp" "$work/old"; then state=old
    elif [ ! -s "$mnt/$name.bmp" ]; then state=empty
    else state=other
    fi
    count[$state]=$((${count[$state]:-0} + 1))
    report+="${report:+, }$name: $state"
  done
  detach
  if [ "$writer" = batch ]; then
    report=""
    for state in whole old empty missing other; do
      [ -z "${count[$state]:-}" ] || report+="${report:+, }${count[$state]} $state"
    done
  fi
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
expect noauto_da_alloc split '^part1: whole, part2: whole$'
expect "" batch "^$lines whole$"
expect noauto_da_alloc batch "^$lines whole$"
expect noauto_da_alloc unsynced '^new: (missing|empty), replaced: (old|empty)$'
[ "$failed" -eq 0 ] && echo "durability: every file written was whole after the power cut"
exit "$failed"
