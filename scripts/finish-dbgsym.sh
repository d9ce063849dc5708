#!/usr/bin/env bash
# Finishes the debug symbol packages (.ddeb) that cpack leaves in a folder beside their
# programs' packages, the way a distribution's own are made: their md5sums name the files by
# their path in the package (cpack writes its build folder's path there), and each one's
# documentation folder is a link to that of the package whose programs its symbols belong to
# (which it depends on), so that its copyright file and changelog are that package's.
# Usage: finish-dbgsym.sh PACKAGE_FOLDER
set -euo pipefail
DIR=$1
shopt -s nullglob
for ddeb in "$DIR"/*.ddeb; do
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  package=$(dpkg-deb -f "$ddeb" Package)
  owner=${package%-dbgsym}
  debs=("$DIR/${owner}"_*.deb)
  if [ ${#debs[@]} -ne 1 ]; then
    echo "finish-dbgsym: no single package $owner beside $ddeb" >&2
    exit 1
  fi
  dpkg-deb -R "$ddeb" "$work/root"
  mkdir -p "$work/root/usr/share/doc"
  ln -sfn "$owner" "$work/root/usr/share/doc/$package"
  if ! dpkg-deb -f "$ddeb" Depends | grep -q "^$owner "; then
    echo "finish-dbgsym: $package does not depend on $owner" >&2
    exit 1
  fi
  (cd "$work/root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$work/root/DEBIAN/md5sums"
  chmod 0644 "$work/root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz -b "$work/root" "$ddeb" >/dev/null
  rm -rf "$work"
  trap - EXIT
done
