#!/usr/bin/env bash
# Builds the Debian package from a build tree, checks its control fields and its files, installs
# it into a throw-away root with dpkg, runs the installed programs, and removes it again, leaving
# nothing behind.
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$(realpath "$1")
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "$*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$work/out/brindlewick_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package at $deb; cpack made: $(ls "$work/out")"

# The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = brindlewick ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "wrong Architecture"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# Depends comes from the libraries the programs link, not from a list written by hand.
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6svg6; do
  field Depends | grep -q "\b$library (>=" || fail "Depends lacks $library: $(field Depends)"
done

# Debian's own checker finds no error and no warning.
if ! lintian --fail-on error,warning "$deb" \
  >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log" >&2
  fail "lintian finds errors or warnings in the package"
fi

# The files.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/files"
for file in usr/bin/brindlewick usr/bin/brindlewick-asm usr/bin/brindlewick-sim \
  usr/bin/brindlewick-debugger \
  usr/share/applications/brindlewick.desktop usr/share/applications/brindlewick-debugger.desktop \
  usr/share/icons/hicolor/scalable/apps/brindlewick.svg \
  usr/share/icons/hicolor/scalable/apps/brindlewick-debugger.svg \
  usr/share/man/man1/brindlewick.1.gz usr/share/man/man1/brindlewick-asm.1.gz \
  usr/share/man/man1/brindlewick-sim.1.gz usr/share/man/man1/brindlewick-debugger.1.gz \
  usr/share/metainfo/org.brindlewick.Brindlewick.metainfo.xml \
  usr/share/metainfo/org.brindlewick.BrindlewickDebugger.metainfo.xml \
  usr/share/bash-completion/completions/brindlewick-asm \
  usr/share/bash-completion/completions/brindlewick-sim \
  usr/share/brindlewick/boards/busicom-141pf.json usr/share/doc/brindlewick/README.md \
  usr/share/doc/brindlewick/boards.md usr/share/doc/brindlewick/examples/hello.asm \
  usr/share/doc/brindlewick/copyright usr/share/doc/brindlewick/changelog.gz; do
  grep -qx "$file" "$work/files" || fail "the package lacks $file"
done

# Installed into an empty root, where its dependencies are not: dpkg is told to go on.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg=(dpkg --root="$root" --log=/dev/null --force-depends)
((EUID == 0)) || dpkg+=(--force-not-root)
"${dpkg[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i failed"; }
dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' brindlewick | grep -q 'installed$' ||
  fail "dpkg does not list brindlewick as installed"

# The installed programs run: versions, and an example assembled and simulated.
[ "$("$root/usr/bin/brindlewick-asm" --version)" = "brindlewick-asm $version" ] ||
  fail "the installed brindlewick-asm gives the wrong version"
"$root/usr/bin/brindlewick-asm" "$root/usr/share/doc/brindlewick/examples/hello.asm" \
  -o "$work/hello.bin" -l "$work/hello.lst"
[ -s "$work/hello.bin" ] || fail "the installed brindlewick-asm wrote no image"
output=$("$root/usr/bin/brindlewick-sim" --image "$work/hello.bin" --serial-tx rom:0:0 \
  --clock 614400 --baud 9600 --until-output HELLO)
[ "$output" = HELLO ] || fail "the installed brindlewick-sim printed '$output'"
for program in brindlewick brindlewick-debugger; do
  "$root/usr/bin/$program" --version | grep -qx "$program $version" ||
    fail "the installed $program gives the wrong version"
done

# Removed again: nothing of it is left outside dpkg's own records.
"${dpkg[@]}" --purge brindlewick >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log" >&2; fail "dpkg --purge failed"; }
left=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib" \
  -not -path "$root/var/lib/dpkg*")
[ -z "$left" ] || fail "left behind after removal: $left"
echo "brindlewick_${version} installs, runs and removes cleanly"
