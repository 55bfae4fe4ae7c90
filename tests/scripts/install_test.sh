#!/usr/bin/env bash
# `cmake --install` into a temporary prefix, then the installed host renders a short clip
# with no --plugin and no build tree: where the system lets a test make a private mount
# namespace (unshare), the build and source trees are covered by empty folders while it
# runs; elsewhere the prefix is moved and must name no path of the build. Its frames must
# be those of the build tree's host. Only the programs, the toolbox library, the bundle,
# the man page, the docs, the settings command's helper and the frei0r filter are
# installed; no build step or test probe.
#
# usage: install_test.sh BUILD_DIR SOURCE_DIR
# Exits 77 (skipped) when ffmpeg is missing.
set -euo pipefail

build=$(cd "${1:?usage: install_test.sh BUILD_DIR SOURCE_DIR}" && pwd)
source=$(cd "${2:?usage: install_test.sh BUILD_DIR SOURCE_DIR}" && pwd)
command -v ffmpeg >/dev/null || { echo "skipped: ffmpeg is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/prefix"  # the prefix can move after installing
prefix=$work/prefix

# What is there: the programs in bin, the private library folder, the man page, the docs.
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "tonefade-host tonefade-render-farm " ] ||
  fail "bin holds $(ls "$prefix/bin" | tr '\n' ' ')"
libdir=$(dirname "$(find "$prefix" -name libtoolbox.so)")
[ -d "$libdir/Tonefade.bundle/Contents/MacOS" ] || fail "no bundle beside the toolbox library in $libdir"
for f in share/man/man1/tonefade-host.1 share/doc/tonefade/tonefade-manual.pdf share/doc/tonefade/README.md \
         share/doc/tonefade/docs/HOST.md "${libdir#"$prefix"/}/Tonefade.bundle/Contents/Resources/manual.pdf"; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done
grep -q '^\.SH RENDER' "$prefix/share/man/man1/tonefade-host.1" || fail "the man page has no RENDER section"
if find "$prefix" -name 'tonefade-rez' -o -name 'tonefade-*probe' -o -name '*_tests' | grep -q .; then
  fail "build steps or tests were installed"
fi
for elf in "$prefix/bin/tonefade-host" "$libdir/libtoolbox.so" "$libdir/Tonefade.bundle/Contents/MacOS/Tonefade"; do
  if readelf -d "$elf" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then fail "$elf looks in the build tree"; fi
done

# Settings that change the picture, written with the plug-in's own code.
mkdir "$work/prefs"
"$build/libexec/tonefade-write-prefs" "$work/prefs" --amount 80 --rect 0.1,0.2,0.7,0.9
ffmpeg -v error -f lavfi -i testsrc2=size=96x64:rate=10 -frames:v 8 "$work/clip.mkv"
mkdir "$work/built" "$work/installed"
"$build/bin/tonefade-host" render "$work/clip.mkv" "$work/built/%02d.ppm" --prefs-dir "$work/prefs" \
  --fade-in 3 --quiet

run_installed() {
  cd /
  env -u LD_LIBRARY_PATH PATH=/usr/bin:/bin "$prefix/bin/tonefade-host" "$@"
}
# The settings command (its helper in libexec) and the frei0r filter, from the prefix.
# A sanitized filter in ffmpeg, which is not, needs its runtimes loaded first.
preload=$(ldd "$prefix/lib/frei0r-1/tonefade.so" | awk '$1 ~ /^lib(asan|ubsan)\./ {print $3}' | sort | tr '\n' ' ')
export preload
installed_extras() {
  run_installed settings --prefs-dir "$work/prefs" > "$work/settings.txt" &&
    LD_PRELOAD="$preload" ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
      FREI0R_PATH="$prefix/lib/frei0r-1" ffmpeg -v error -i "$work/clip.mkv" -vf frei0r=tonefade:0.8 \
      -f null - 2> "$work/frei0r.txt"
}
hidden=no
if unshare -rm true 2>/dev/null; then
  hidden=yes
  export -f run_installed installed_extras
  export prefix work
  # A private mount namespace: the build and source trees are empty folders in it.
  unshare -rm bash -c 'mount -t tmpfs none "$0" && mount -t tmpfs none "$1" &&
    ! [ -e "$0/bin/tonefade-host" ] &&
    run_installed info --prefs-dir "$work/prefs" > "$work/info.txt" && installed_extras &&
    run_installed render "$work/clip.mkv" "$work/installed/%02d.ppm" --prefs-dir "$work/prefs" \
      --fade-in 3 --quiet' "$build" "$source"
else
  run_installed info --prefs-dir "$work/prefs" > "$work/info.txt"
  installed_extras
  run_installed render "$work/clip.mkv" "$work/installed/%02d.ppm" --prefs-dir "$work/prefs" --fade-in 3 --quiet
fi

grep -qF "plug-in  $libdir/Tonefade.bundle" "$work/info.txt" || fail "the installed host loaded $(head -1 "$work/info.txt")"
grep -q '^amount *80 %' "$work/settings.txt" || fail "the installed settings command showed: $(cat "$work/settings.txt")"
[ -s "$work/frei0r.txt" ] && fail "ffmpeg with the installed frei0r filter: $(cat "$work/frei0r.txt")"
[ "$(ls "$work/installed" | wc -l)" -eq 8 ] || fail "the installed host wrote $(ls "$work/installed" | wc -l) frames"
diff -r "$work/built" "$work/installed" >/dev/null || fail "the installed host's frames differ from the build's"
mkdir "$work/defaults" "$work/unchanged"  # amount 0: the frames as they came
"$build/bin/tonefade-host" render "$work/clip.mkv" "$work/unchanged/%02d.ppm" --prefs-dir "$work/defaults" --quiet
cmp -s "$work/unchanged/05.ppm" "$work/installed/05.ppm" && fail "the frames came out unchanged: no effect applied"
echo "installed host rendered 8 frames with its own bundle (build tree hidden: $hidden)"
