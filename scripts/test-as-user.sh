#!/usr/bin/env bash
# Runs the test suite as an ordinary user, the way someone does who installed the packages with
# sudo and runs scripts/test.sh themselves: from a copy of the committed tree in that user's
# home, with a plain login environment (no locale, no bus, their own HOME). Run as root: it makes
# the user (default brimwell-tester) when there is none. --sanitize is handed to scripts/test.sh.
# Usage: scripts/test-as-user.sh [--sanitize] [USER]
set -euo pipefail
cd "$(dirname "$0")/.."
flags=""
if [ "${1:-}" = "--sanitize" ]; then
  flags=" --sanitize"
  shift
fi
user=${1:-brimwell-tester}
if [ "$(id -u)" -ne 0 ]; then
  echo "scripts/test-as-user.sh makes and becomes another user, so it runs as root." >&2
  exit 1
fi
bash scripts/deps.sh
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
tree=$home/brimwell
rm -rf "$tree"
install -d -o "$user" "$tree"
git archive HEAD | runuser -u "$user" -- tar -x -C "$tree"
runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
  PATH=/usr/local/bin:/usr/bin:/bin bash -c "cd '$tree' && bash scripts/test.sh$flags"
