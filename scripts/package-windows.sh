#!/usr/bin/env bash
# Packs the Windows command-line program for a technician: tessarin-<version>-win64.zip with
# tessarin.exe (stripped), the demo kit, the simulated demo radio's profile and a README.
# Usage: package-windows.sh LINUX_BUILD WINDOWS_BUILD OUT_DIR
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
LINUX_BUILD="$ROOT/${1:-build}"
WINDOWS_BUILD="$ROOT/${2:-build-windows}"
OUT="$ROOT/${3:-build-windows/packages}"
# The version as the Linux packages number it (packaging/CMakeLists.txt makes it).
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$LINUX_BUILD/CPackConfig.cmake")
[ -n "$version" ] || { echo "The Linux build $LINUX_BUILD has no package version." >&2; exit 1; }
name="tessarin-$version-win64"
STAGE="$(mktemp -d)"
trap 'rm -rf "$STAGE"' EXIT
mkdir -p "$STAGE/$name/kits/demo" "$STAGE/$name/sim" "$OUT"

x86_64-w64-mingw32-strip -o "$STAGE/$name/tessarin.exe" "$WINDOWS_BUILD/cli/tessarin.exe"
# The packed kit as the Linux package installs it: the files the build lists as the kit's,
# nothing a run left in its folder.
kit_files=$(sed -n 's/^DEMO_KIT_FILES:INTERNAL=//p' "$LINUX_BUILD/CMakeCache.txt" | tr ';' ' ')
[ -n "$kit_files" ] || { echo "The Linux build $LINUX_BUILD lists no demo kit files." >&2; exit 1; }
# shellcheck disable=SC2086
cp $kit_files "$STAGE/$name/kits/demo/"
cp "$ROOT/sim/profiles/demo.json" "$STAGE/$name/sim/"
# Windows programs read the README with Windows line ends.
sed 's/$/\r/' "$ROOT/packaging/windows/README.txt" >"$STAGE/$name/README.txt"

rm -f "$OUT/$name.zip"
(cd "$STAGE" && cmake -E tar cf "$OUT/$name.zip" --format=zip "$name")
echo "$OUT/$name.zip"
(cd "$STAGE" && find "$name" -type f -printf '  %p  %s bytes\n' | sort)
