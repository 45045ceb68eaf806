#!/usr/bin/env bash
# Packs the build as the Debian package and lets lintian judge it: no error and no
# warning may remain. Skipped (77) where lintian is not installed.
set -euo pipefail
build_dir="$1"
command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$out" && cpack -G DEB --config "$build_dir/CPackConfig.cmake" >/dev/null)
deb="$(ls "$out"/tarvine_*.deb)"
lintian --fail-on error,warning "$deb"
echo "lintian: $(basename "$deb") clean"
