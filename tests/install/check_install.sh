#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop and man(1)
# look for: the three programs run, each has a manual page that renders, and the
# menu entry is valid and names an installed icon.
set -euo pipefail
build_dir="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

for program in tarvine tarvine-cli tarvine-sim; do
  QT_QPA_PLATFORM=offscreen "$prefix/bin/$program" --help | grep -q . || { echo "$program --help printed nothing"; exit 1; }
  page="$prefix/share/man/man1/$program.1.gz"
  man -l "$page" 2>/dev/null | grep -q -- "--help" || { echo "$page does not render with its options"; exit 1; }
done
entry="$prefix/share/applications/tarvine.desktop"
desktop-file-validate "$entry"
icon="$(sed -n 's/^Icon=//p' "$entry")"
test -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || { echo "icon $icon is not installed"; exit 1; }
test -f "$prefix/share/doc/tarvine/copyright"
test -f "$prefix/share/doc/tarvine/html/contents.html"
echo "install tree complete"
