#!/usr/bin/env bash
# Builds the .deb with cpack from a build folder and checks the files it installs, the library
# packages it depends on (found by dpkg-shlibdeps), its udev rule, and that lintian finds no
# error in it. Exits 77 (skipped) where cpack or dpkg-deb is missing.
#   package_test.sh BUILD_DIR OUT_DIR
set -uo pipefail
build=$1
out=$2
for tool in cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done

rm -rf "$out"
mkdir -p "$out"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
debs=("$out"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "FAIL: expected one .deb in $out, found: ${debs[*]}"
  exit 1
fi
deb=${debs[0]}
echo "built $deb"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# What a user gets: the programs, the menu entry and icon, the software-centre metadata, the
# udev rule and Debian's copyright and changelog.
expected_files=(
  ./usr/bin/karaoke-controller
  ./usr/bin/karaoke-controller-demo
  ./usr/bin/box-sim
  ./usr/bin/karaoke-ctl
  ./usr/share/applications/karaoke-controller.desktop
  ./usr/share/icons/hicolor/scalable/apps/karaoke-controller.svg
  ./usr/share/metainfo/org.karaokecontroller.KaraokeController.metainfo.xml
  ./usr/lib/udev/rules.d/70-karaoke-controller.rules
  ./usr/share/doc/karaoke-controller/copyright
  ./usr/share/doc/karaoke-controller/changelog.gz
)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in "${expected_files[@]}"; do
  grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done
# Nothing of the build or the tests goes in.
if grep -Eq '(_test|_tests|\.a|\.h|CMakeFiles)$' <<<"$files"; then
  fail "build or test files in the package: $(grep -E '(_test|_tests|\.a|\.h)$' <<<"$files")"
fi

# Package dependencies computed from the programs' libraries.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
expected_depends=(libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6
  qt6-qpa-plugins)
depend_names=$(tr ',' '\n' <<<"$depends" | sed -e 's/^ *//' -e 's/ *(.*//')
for d in "${expected_depends[@]}"; do
  grep -qxF "$d" <<<"$depend_names" || fail "Depends lacks $d"
done
[ "$(dpkg-deb -f "$deb" Package)" = karaoke-controller ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0.8 ] || fail "package version"

# The rule gives the seat's user both kinds of adapter.
rule=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/lib/udev/rules.d/70-karaoke-controller.rules)
for kernel in 'ttyUSB\[0-9\]\*' 'ttyACM\[0-9\]\*'; do
  grep -Eq "^SUBSYSTEM==\"tty\", KERNEL==\"$kernel\", TAG\+=\"uaccess\"" <<<"$rule" ||
    fail "udev rule without uaccess for $kernel"
done
# The desktop entry starts the installed program.
entry=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/applications/karaoke-controller.desktop)
grep -qx 'Exec=karaoke-controller' <<<"$entry" || fail "desktop entry does not start karaoke-controller"

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$out/lintian.log" 2>&1
  cat "$out/lintian.log"
  if grep -q '^E: ' "$out/lintian.log"; then fail "lintian reports errors"; fi
else
  echo "lintian is not installed: its check is left out"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
