#!/bin/sh
# Mounts an exFAT image through FUSE on $1 (made here); prints why it cannot
# instead. The loop device goes away with the unmount.
[ -w /dev/fuse ] || { echo "no /dev/fuse to mount a FUSE file system on"; exit; }
command -v mount.exfat-fuse mkfs.exfat losetup > /dev/null || { echo "exfat-fuse or exfatprogs missing (scripts/install-deps)"; exit; }
truncate -s 32M "$1.img" && mkfs.exfat "$1.img" > /dev/null && mkdir "$1" || exit 1
loop=$(losetup -f --show "$1.img" 2> /dev/null) || { echo "no loop device for the image (not root?)"; exit; }
mount.exfat-fuse "$loop" "$1" > /dev/null 2>&1 || { losetup -d "$loop"; echo "the FUSE mount failed"; exit; }
losetup -d "$loop"
