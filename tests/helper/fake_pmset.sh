#!/bin/sh
# A stand-in for the power tool, for tests. It keeps its settings in pmset.state next to itself
# and obeys pmset.control there (shell assignments, all optional):
#   log=PATH        append "start PID ARGS" and "end PID" lines around each run
#   delay=SECONDS   sleep this long inside every run (widens any overlap between runs)
#   fail=STATUS     print a complaint and exit with STATUS
#   stdout_only=1   print the complaint to standard output instead of standard error
#   refuse=KEY      accept changes of KEY (lowpowermode or hibernatemode) without applying them
#   silent=1        print nothing for the settings listings
dir=$(dirname "$0")
battery_lowpowermode=0
ac_lowpowermode=0
battery_hibernatemode=3
ac_hibernatemode=3
sleeps=0
log="" delay="" silent="" fail="" stdout_only="" refuse=""
[ -f "$dir/pmset.state" ] && . "$dir/pmset.state"
[ -f "$dir/pmset.control" ] && . "$dir/pmset.control"

[ -n "$log" ] && echo "start $$ $*" >>"$log"
[ -n "$delay" ] && sleep "$delay"
if [ -n "$fail" ]; then
  [ -n "$log" ] && echo "end $$" >>"$log"
  if [ -n "$stdout_only" ]; then
    printf '  pmset: injected failure  \n\n'
  else
    echo "pmset: injected failure" >&2
  fi
  exit "$fail"
fi

save() {
  printf 'battery_lowpowermode=%s\nac_lowpowermode=%s\nbattery_hibernatemode=%s\nac_hibernatemode=%s\nsleeps=%s\n' \
    "$battery_lowpowermode" "$ac_lowpowermode" "$battery_hibernatemode" "$ac_hibernatemode" \
    "$sleeps" >"$dir/pmset.state.tmp"
  mv "$dir/pmset.state.tmp" "$dir/pmset.state"
}

[ -n "$silent" ] && set -- silent
case "$*" in
  "silent") ;;
  "-g")
    echo "System-wide power settings:"
    echo "Currently in use:"
    echo " standby              1"
    echo " hibernatemode        $battery_hibernatemode"
    echo " lowpowermode         $battery_lowpowermode"
    echo " sleep                1 (sleep prevented by nobody)"
    ;;
  "-g custom")
    echo "Battery Power:"
    echo " lowpowermode         $battery_lowpowermode"
    echo " hibernatemode        $battery_hibernatemode"
    echo " sleep                1"
    echo "AC Power:"
    echo " lowpowermode         $ac_lowpowermode"
    echo " hibernatemode        $ac_hibernatemode"
    echo " sleep                0"
    ;;
  "-a lowpowermode "[01])
    if [ "$refuse" != lowpowermode ]; then
      battery_lowpowermode=$3
      ac_lowpowermode=$3
      save
    fi
    ;;
  "-b lowpowermode "[01])
    [ "$refuse" != lowpowermode ] && battery_lowpowermode=$3 && save
    ;;
  "-b hibernatemode "*)
    [ "$refuse" != hibernatemode ] && battery_hibernatemode=$3 && save
    ;;
  "sleepnow")
    sleeps=$((sleeps + 1))
    save
    echo "Sleeping now..."
    ;;
  *)
    echo "Usage: pmset <options>" >&2
    [ -n "$log" ] && echo "end $$" >>"$log"
    exit 64
    ;;
esac
[ -n "$log" ] && echo "end $$" >>"$log"
exit 0
