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
  # Output is taken whole before it is searched: grep -q stopping early would end the
  # writer with SIGPIPE, which pipefail reports as a failure.
  help="$(QT_QPA_PLATFORM=offscreen "$prefix/bin/$program" --help)"
  [ -n "$help" ] || { echo "$program --help printed nothing"; exit 1; }
  page="$prefix/share/man/man1/$program.1.gz"
  rendered="$(man -l "$page" 2>/dev/null)"
  grep -q -- "--help" <<<"$rendered" || { echo "$page does not render with its options"; exit 1; }
done
entry="$prefix/share/applications/tarvine.desktop"
desktop-file-validate "$entry"
icon="$(sed -n 's/^Icon=//p' "$entry")"
test -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || { echo "icon $icon is not installed"; exit 1; }
test -f "$prefix/share/icons/hicolor/48x48/apps/$icon.png" || { echo "no 48-pixel icon $icon"; exit 1; }
grep -q '^Exec=tarvine --user-data' "$entry" || { echo "the menu entry does not keep the files in the data folder"; exit 1; }
bash -n "$prefix/share/bash-completion/completions/tarvine-cli"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$prefix/share/doc/tarvine/copyright"
[[ "$(zcat "$prefix/share/doc/tarvine/changelog.Debian.gz")" == "tarvine ("* ]] || { echo "the changelog does not start with the package"; exit 1; }
for page in findunit compare trend traffic console cli; do
  grep -q "href=\"$page.html\"" "$prefix/share/doc/tarvine/html/contents.html" || { echo "help contents lack $page"; exit 1; }
done
test -f "$prefix/share/doc/tarvine/html/contents.html"
echo "install tree complete"
