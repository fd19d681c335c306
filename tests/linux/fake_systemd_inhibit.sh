#!/bin/sh
# Stands in for systemd-inhibit: records its options beside itself, marks the lock as held, runs
# the command after "--" as the real one does, and marks the lock released when that ends.
here=$(dirname "$0")
options=""
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  options="$options$1
"
  shift
done
shift
printf '%s' "$options" > "$here/options"
echo held > "$here/lock"
"$@"
echo released > "$here/lock"
