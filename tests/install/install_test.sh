#!/usr/bin/env bash
# Installs the build into a staging root and checks the result: the files where the units and the
# helper's constants expect them, an outside project built against the core with find_package and
# with pkg-config, and the systemd units accepted by systemd-analyze.
# Usage: install_test.sh BUILD_DIR WORK_DIR CXX [SANITIZERS]
set -euo pipefail
build=$1
work=$2
cxx=$3
# A sanitized library needs its runtime in whatever links it.
sanitize=${4:+-fsanitize=$4}
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "$*" >&2; exit 1; }
for tool in cmake pkg-config systemd-analyze desktop-file-validate; do
  command -v "$tool" >/dev/null || fail "The install test needs $tool, which is not installed."
done

rm -rf "$work"
mkdir -p "$work"
root=$work/root
DESTDIR=$root cmake --install "$build" >"$work/install.log" || fail "cmake --install failed: $(tail -1 "$work/install.log")"
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[ "$prefix" = /usr ] || fail "The build's install prefix is $prefix; the units and the helper's constants name /usr."

for program in bin/brimwell libexec/brimwell/brimwell-helper; do
  [ -x "$root/usr/$program" ] || fail "The installed tree lacks /usr/$program."
done
for file in lib/systemd/system/com.tallowgate.brimwell.helper.socket \
  lib/systemd/system/com.tallowgate.brimwell.helper.service lib/systemd/user/brimwell.service \
  share/icons/hicolor/scalable/apps/brimwell-phase-{watch,ready,brimwell,landing}.svg \
  include/brimwell/core/storage/brimwell_settings.h share/applications/com.tallowgate.brimwell.desktop \
  share/gnome-shell/extensions/brimwell@tallowgate.com/{metadata.json,extension.js}; do
  [ -f "$root/usr/$file" ] || fail "The installed tree lacks /usr/$file."
done

# KWin grants its fake input to the program the desktop entry's Exec names, by its real path.
entry=$root/usr/share/applications/com.tallowgate.brimwell.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "${exec_line%% *}" = "$prefix/bin/brimwell" ] || fail "The desktop entry runs ${exec_line%% *}, not $prefix/bin/brimwell."
grep -qx 'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' "$entry" || fail "The desktop entry doesn't ask KWin for its fake input."
desktop-file-validate "$entry" || fail "desktop-file-validate found fault with the desktop entry."

# The CMake package.
cmake -S "$here/consumer" -B "$work/cmake" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_PREFIX_PATH="$root/usr" >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log" >&2; fail "find_package(BrimwellCore) failed."; }
cmake --build "$work/cmake" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log" >&2; fail "The consumer did not build against Brimwell::core."; }
"$work/cmake/consumer"

# The pkg-config file, found wherever the library directory is.
pc=$(find "$root/usr" -name brimwell-core.pc -path '*/pkgconfig/*' | head -1)
[ -n "$pc" ] || fail "The installed tree lacks brimwell-core.pc."
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs brimwell-core) || fail "pkg-config can't resolve brimwell-core."
# shellcheck disable=SC2086
"$cxx" -std=c++20 $sanitize "$here/consumer/consumer.cpp" $flags -o "$work/pkg-consumer" || fail "The consumer did not build with pkg-config's flags."
"$work/pkg-consumer"

# The units. systemd-analyze looks up executables and dependencies under --root, so the check
# runs on a copy of the staged tree given the host's targets; the user unit is checked there as a
# unit of that root, beside the session target it belongs to, since the tool can't search user
# units under a root directory.
verify=$work/verify
cp -a "$root/." "$verify/"
mkdir -p "$verify/etc/systemd/system"
targets=(/lib/systemd/system/*.target)
[ -e "${targets[0]}" ] || fail "The host has no systemd targets in /lib/systemd/system to verify against."
cp "${targets[@]}" /usr/lib/systemd/user/graphical-session.target "$verify/etc/systemd/system/"
cp "$root/usr/lib/systemd/user/brimwell.service" "$verify/etc/systemd/system/"
units=("$verify/usr/lib/systemd/system/com.tallowgate.brimwell.helper.socket"
  "$verify/usr/lib/systemd/system/com.tallowgate.brimwell.helper.service"
  "$verify/etc/systemd/system/brimwell.service")
status=0
systemd-analyze verify --root="$verify" "${units[@]}" >"$work/verify.log" 2>&1 || status=$?
# Warnings leave the status at 0, so any output counts as a failure too.
if [ "$status" -ne 0 ] || [ -s "$work/verify.log" ]; then
  cat "$work/verify.log" >&2
  fail "systemd-analyze found fault with the units."
fi
echo "The installed tree builds an outside project and its units verify."
