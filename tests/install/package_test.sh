#!/usr/bin/env bash
# Builds the .deb from a finished build tree and checks what a player would
# get from it: the files and where they go, the runtime dependencies, a menu
# entry and manual pages that their tools accept, and no trace of the build.
#   package_test.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d /tmp/orvane-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  echo "FAIL: cpack did not make the package"
  exit 1
}
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb, got: ${debs[*]}"; exit 1; }
deb=${debs[0]}
dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: dpkg-deb cannot unpack $deb"; exit 1; }
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||' >"$work/files"

# -- File list: everything under /usr, each table as one folder.
expected=(
  usr/games/orvane
  usr/bin/orvane-pack
  usr/share/icons/hicolor/32x32/apps/orvane.png
  usr/share/icons/hicolor/48x48/apps/orvane.png
  usr/share/icons/hicolor/64x64/apps/orvane.png
  usr/share/man/man6/orvane.6.gz
  usr/share/man/man1/orvane-pack.1.gz
  usr/share/doc/orvane/README.md
  usr/share/doc/orvane/docs/scripting.md
  usr/share/doc/orvane/copyright
  usr/share/doc/orvane/changelog.gz
  usr/share/doc/orvane/LICENSE
  usr/share/metainfo/org.orvane.orvane.metainfo.xml
)
for table in "$source"/games/*/; do
  name=$(basename "$table")
  expected+=("usr/share/games/orvane/$name/data.dat" "usr/share/games/orvane/$name/game.lua")
  if [ ! -f "$table/save.dat" ] && grep -qx "usr/share/games/orvane/$name/save.dat" "$work/files"; then
    fail "the build's own save.dat of table '$name' was packed"
  fi
done
for f in "${expected[@]}"; do
  grep -qx "$f" "$work/files" || fail "missing from the package: /$f"
done
outside=$(grep -v -e '^usr/' -e '^$' "$work/files")
[ -z "$outside" ] && ! grep -q '^usr/local' "$work/files" || fail "files outside /usr or under /usr/local"
grep -q 'save\.dat\.tmp' "$work/files" && fail "a temporary save file was packed"

# -- Dependencies: runtime packages only, covering every library linked.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# One package per line, alternatives split, versions dropped.
tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | grep -v '^$' | sort -u >"$work/depends"
dev=$(grep -- '-dev$' "$work/depends")
[ -z "$dev" ] || fail "build-time packages in Depends: $dev"
grep -qx libgl1 "$work/depends" || fail "libgl1 (which SDL opens for the OpenGL window) is not in Depends"
for p in libsdl2-2.0-0 libsdl2-mixer-2.0-0; do
  grep -qx "$p" "$work/depends" || fail "$p (SDL2: the window, the keys and the sound) is not in Depends"
done
# SDL 1.2 and its add-ons are libsdl1.2* and libsdl-*; SDL2's are libsdl2*.
old_sdl=$(grep -e '^libsdl1\.2' -e '^libsdl-' "$work/depends")
[ -z "$old_sdl" ] || fail "SDL 1.2 packages in Depends: $old_sdl"
# The package that holds each library the executable links directly, as the
# loader finds it here (dpkg may know it under /lib or /usr/lib).
owner_of() {
  local exe=$1 lib=$2 path
  path=$(ldd "$exe" | awk -v lib="$lib" '$1 == lib {print $3}')
  [ -n "$path" ] || return
  for p in "$path" "${path#/usr}" "/usr${path}"; do
    dpkg -S "$p" 2>/dev/null | head -n1 | cut -d: -f1 && return
  done
}
for exe in usr/games/orvane usr/bin/orvane-pack; do
  for lib in $(readelf -d "$work/root/$exe" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
    owner=$(owner_of "$work/root/$exe" "$lib")
    if [ -z "$owner" ]; then
      fail "/$exe needs $lib, which no installed package holds"
    elif ! grep -qx "$owner" "$work/depends"; then
      fail "/$exe needs $lib from $owner, which is not in Depends"
    fi
  done
done

# -- Nothing points back into the build tree (RPATH, debug info, baked paths).
refs=$(grep -rlF "$build" "$work/root")
[ -z "$refs" ] || fail "files that name the build folder $build: $refs"

# -- The menu entry and the manual pages pass their own tools.
# One entry per table: the default table's is orvane.desktop with the
# engine's icon, each other table's starts it by name, with its own icon
# when its sources ship one.
apps="$work/root/usr/share/applications"
for table in "$source"/games/*/; do
  name=$(basename "$table")
  entry="$apps/orvane-$name.desktop" exec="orvane $name" icon=orvane
  [ "$name" = default ] && entry="$apps/orvane.desktop" exec=orvane
  [ "$name" != default ] && [ -f "$table/icon.png" ] && icon="orvane-$name"
  [ -f "$entry" ] || { fail "no menu entry for table '$name'"; continue; }
  desktop-file-validate "$entry" || fail "desktop-file-validate $(basename "$entry")"
  grep -qx "Exec=$exec" "$entry" || fail "$(basename "$entry") does not start '$exec'"
  grep -qx "Icon=$icon" "$entry" || fail "$(basename "$entry") names another icon than $icon"
  for size in 32 48 64; do
    [ -f "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "no ${size}x${size} icon $icon"
  done
done
for page in man6/orvane.6.gz man1/orvane-pack.1.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/$page" 2>&1 >"$work/page.txt")
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
  grep -q '^NAME' "$work/page.txt" || fail "man $page renders no NAME section"
done

# -- The licence: machine-readable copyright naming the project's licence in
# full, and the package as Debian's own checker and the software centres see it.
doc="$work/root/usr/share/doc/orvane"
head -n1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -q '^License: Zlib$' "$doc/copyright" && grep -q "^ $(head -n1 "$source/LICENSE")\$" "$doc/copyright" ||
  fail "the copyright file does not hold the Zlib licence of LICENSE"
version=$(dpkg-deb -f "$deb" Version)
zcat "$doc/changelog.gz" | head -n1 | grep -qF "orvane ($version)" || fail "the changelog's newest entry is not version $version"
hints=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian reports errors or warnings: $hints"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.orvane.orvane.metainfo.xml" ||
  fail "appstreamcli validate"

# -- Icons are PNGs of the size their folder names.
for size in 32 48 64; do
  icon="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/orvane.png"
  read -r w h < <(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3*256+$4, $7*256+$8}')
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "icon ${size}x${size} is ${w}x${h}"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; package contents:"
  cat "$work/files"
  exit 1
fi
echo "package $(basename "$deb") passed"
