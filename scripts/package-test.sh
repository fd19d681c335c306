#!/usr/bin/env bash
# Installs the Debian package into a fresh minimal Debian 12 root and checks what installing,
# removing and purging do: every file in its place, the dependencies pulled in, the helper's
# socket enabled for the system and the desktop service for every user, then removal (units
# disabled, the helper's records kept) and purge (nothing left under /var/lib/brimwell), with
# users' own data never touched. Root only: it runs debootstrap and chroot. The Debian packages it
# fetches are kept for the next run in /tmp/brimwell-package-test-cache (nothing is kept outside
# /tmp); the root itself is made anew each time and removed. Usage: scripts/package-test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package test: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] ||
  fail "it must run as root, since it builds a Debian root with debootstrap and works in it with chroot."
started=$SECONDS

work=$(mktemp -d /tmp/brimwell-package-test.XXXXXX)
root=$work/root
strap=""
cleanup() {
  [ -n "$strap" ] && kill "$strap" 2>/dev/null && wait "$strap" 2>/dev/null
  mountpoint -q "$root/proc" 2>/dev/null && umount "$root/proc"
  rm -rf "$work"
}
trap cleanup EXIT

# The Debian mirror this machine's apt uses for bookworm, from one-line or deb822 sources.
mirror=$(
  {
    grep -hE '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      sed -E 's/\[[^]]*\]//' | awk '$3 == "bookworm" { print $2 }'
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
      awk 'BEGIN { RS = ""; FS = "\n" } {
        uri = ""; bookworm = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { split($i, u, " "); uri = u[2] }
          if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) bookworm = 1
        }
        if (bookworm && uri != "") print uri
      }'
  } | head -1
)
[ -n "$mirror" ] || fail "no apt source on this machine names bookworm, so there is no mirror to debootstrap from."

cache=/tmp/brimwell-package-test-cache
mkdir -p "$cache"
# The root is fetched and unpacked while the package builds: one waits on the mirror and the
# disk, the other on the processors.
echo "Building a minimal Debian 12 root from $mirror beside the package"
debootstrap --variant=minbase --cache-dir="$cache" bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 &
strap=$!
bash scripts/package.sh "$work/debs"
version=$(dpkg-parsechangelog -S Version)
deb=$work/debs/brimwell_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb
built=0
wait "$strap" || built=$?
strap=""
[ "$built" -eq 0 ] || { tail -20 "$work/debootstrap.log" >&2; fail "debootstrap failed; its log's end is above."; }
# No service starts inside the root; apt there reaches the mirror through this machine's resolver.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" 2>/dev/null || true
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }

status_of() { in_root dpkg-query -W -f='${Status}' "$1" 2>/dev/null || echo "not known"; }
expect_status() {
  local found
  found=$(status_of "$1")
  [ "$found" = "$2" ] || fail "dpkg says $1 is \"$found\", not \"$2\"."
}
expect_enabled() {  # UNIT STATE [--global]
  local found
  found=$(systemctl --root="$root" ${3:-} is-enabled "$1" 2>&1 || true)
  [ "$found" = "$2" ] || fail "systemctl --root ${3:-}is-enabled $1 says \"$found\", not \"$2\"."
}
expect_no_unit_links() {
  local links
  links=$(find "$root/etc/systemd" -lname '*brimwell*' 2>/dev/null; find "$root/etc/systemd" -name '*brimwell*' 2>/dev/null)
  [ -z "$links" ] || fail "$1, units are still enabled through: $links"
}

# What the package must hold, whatever else it brings.
expected=(/usr/bin/brimwell /usr/libexec/brimwell/brimwell-helper /usr/libexec/brimwell/pmset
  /lib/systemd/system/com.tallowgate.brimwell.helper.socket
  /lib/systemd/system/com.tallowgate.brimwell.helper.service
  /usr/lib/systemd/user/brimwell.service
  /usr/share/polkit-1/actions/com.tallowgate.brimwell.helper.policy
  /usr/share/icons/hicolor/scalable/apps/brimwell-phase-{watch,ready,brimwell,landing}.svg
  /usr/share/applications/com.tallowgate.brimwell.desktop
  /usr/share/gnome-shell/extensions/brimwell@tallowgate.com/{metadata.json,extension.js}
  /usr/share/doc/brimwell/copyright /usr/share/doc/brimwell/changelog.gz)
contents=$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }')
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file; it holds: $(grep -v '/$' <<<"$contents" | tr '\n' ' ')"
done
depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libsystemd0 libxcb1 libxcb-ewmh2 liblz4-1 polkitd; do
  grep -qE "(^|, )$dependency( |,|$)" <<<"$depends" || fail "the package doesn't depend on $dependency: Depends: $depends"
done

echo "Installing with dpkg -i and apt-get -f install"
cp "$deb" "$root/tmp/"
cp "$cache"/*.deb "$root/var/cache/apt/archives/" 2>/dev/null || true
in_root dpkg -i "/tmp/$(basename "$deb")" >"$work/dpkg.log" 2>&1 || true  # dependencies come next
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get update failed in the root."; }
in_root apt-get -f install -y -qq --no-install-recommends >>"$work/apt.log" 2>&1 ||
  { cat "$work/dpkg.log" "$work/apt.log" >&2; fail "apt-get -f install did not complete the installation."; }
cp -n "$root"/var/cache/apt/archives/*.deb "$cache/" 2>/dev/null || true
expect_status brimwell "install ok installed"
expect_status polkitd "install ok installed"
while read -r file; do
  [ -n "$file" ] || continue
  [ -e "$root$file" ] || [ -L "$root$file" ] || fail "dpkg installed the package without $file."
done <<<"$contents"
for program in /usr/bin/brimwell /usr/libexec/brimwell/brimwell-helper; do
  [ -x "$root$program" ] || fail "$program is not executable: $(ls -l "$root$program")"
  in_root "$program" --help >"$work/help.log" 2>&1 || { cat "$work/help.log" >&2; fail "$program --help fails in the root."; }
done
expect_enabled com.tallowgate.brimwell.helper.socket enabled
expect_enabled com.tallowgate.brimwell.helper.service static
expect_enabled brimwell.service enabled --global

# Records of the helper and of a user, as use leaves them.
mkdir -p "$root/var/lib/brimwell" "$root/home/user/.local/state/brimwell/Snapshots"
echo '{"kept":true}' >"$root/var/lib/brimwell/helper-state.json"
echo '{"kept":true}' >"$root/home/user/.local/state/brimwell/journal.json"

echo "Removing"
in_root dpkg -r brimwell >"$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "dpkg -r failed."; }
expect_status brimwell "deinstall ok config-files"
[ ! -e "$root/usr/bin/brimwell" ] || fail "removal left /usr/bin/brimwell."
[ -f "$root/var/lib/brimwell/helper-state.json" ] || fail "removal took the helper's records: $(ls -la "$root/var/lib/brimwell" 2>&1)"
expect_no_unit_links "after removal"

echo "Installing again, then purging"
in_root dpkg -i "/tmp/$(basename "$deb")" >"$work/reinstall.log" 2>&1 || { cat "$work/reinstall.log" >&2; fail "installing again failed."; }
expect_enabled com.tallowgate.brimwell.helper.socket enabled
expect_enabled brimwell.service enabled --global
in_root dpkg -P brimwell >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "dpkg -P failed."; }
found=$(status_of brimwell)
case $found in "not known" | "unknown ok not-installed") ;; *) fail "after purge dpkg says brimwell is \"$found\"." ;; esac
[ ! -e "$root/var/lib/brimwell" ] || fail "purge left /var/lib/brimwell: $(find "$root/var/lib/brimwell")"
expect_no_unit_links "after purge"
left=$(find "$root/var/lib/systemd" -name '*brimwell*' 2>/dev/null)
[ -z "$left" ] || fail "purge left the enablement state: $left"
[ -f "$root/home/user/.local/state/brimwell/journal.json" ] || fail "purge touched a user's data."

echo "The package installs, removes and purges cleanly in a fresh Debian 12 root ($((SECONDS - started)) s)."
