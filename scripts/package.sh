#!/usr/bin/env bash
# Builds the Debian packages of this tree, brimwell_<version>_<arch>.deb and the core library's
# libbrimwell-core-dev_<version>_<arch>.deb, with dpkg-buildpackage into OUT (default: packages/),
# and checks them with lintian, failing on any error it finds. Usage: scripts/package.sh [OUT]
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "$*" >&2; exit 1; }
out=$(realpath -m "${1:-packages}")
bash scripts/deps.sh

version=$(dpkg-parsechangelog -S Version)
project=$(sed -n 's/^project(Brimwell VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$version" = "$project" ] ||
  fail "debian/changelog names version $version but CMakeLists.txt names $project."
arch=$(dpkg-architecture -qDEB_HOST_ARCH)

# The tree as git sees it, changes not yet committed included, is copied over the previous copy
# in /tmp/brimwell-package-build with its own times, so the package's build directory there is
# reused and only what changed is compiled again; this tree gains no build products.
work=/tmp/brimwell-package-build
source=$work/brimwell-$version
mkdir -p "$source"
find "$source" -mindepth 1 -maxdepth 1 ! -name 'obj-*' -exec rm -rf {} +
rm -f "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo
git ls-files -z --cached --others --exclude-standard |
  tar -c --null -T - --ignore-failed-read 2>/dev/null | tar -x -C "$source"

echo "Building the packages of brimwell $version in $source"
(cd "$source" && DEB_BUILD_OPTIONS="noddebs nocheck parallel=2" \
  dpkg-buildpackage -us -uc -b -nc >"$work/build.log" 2>&1) ||
  { tail -40 "$work/build.log" >&2; fail "dpkg-buildpackage failed; the log's end is above (all of it: $work/build.log)."; }

mkdir -p "$out"
debs=("brimwell_${version}_${arch}.deb" "libbrimwell-core-dev_${version}_${arch}.deb")
for deb in "${debs[@]}"; do
  [ -f "$work/$deb" ] || fail "The build made no $deb."
  cp "$work/$deb" "$out/"
done

# Errors fail the build; warnings are shown.
report=$(mktemp /tmp/brimwell-lintian.XXXXXX)
trap 'rm -f "$report"' EXIT
status=0
lintian --fail-on error \
  "${debs[@]/#/$out/}" >"$report" 2>&1 || status=$?
cat "$report"
[ "$status" -eq 0 ] || fail "lintian found errors in the packages."
echo "Built ${debs[*]} into $out."
