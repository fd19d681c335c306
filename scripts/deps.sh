#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need, when any is missing.
set -euo pipefail

packages=(
  g++ make cmake pkg-config tzdata
  nlohmann-json3-dev libsimdjson-dev libasio-dev libhowardhinnant-date-dev uuid-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsystemd-dev dbus python3-dbusmock libxml2-utils polkitd systemd
  liblz4-dev libxcb-xtest0-dev libxcb-ewmh-dev emacs-nox xvfb openbox xterm
  libxcb1-dev libxcb-icccm4-dev xclip tmux xdotool
  x11-utils neovim vim-gtk3 kitty chromium firefox-esr
  sway foot xwayland wl-clipboard libwayland-dev libwayland-bin libxkbcommon-dev
  debhelper dpkg-dev lintian debootstrap desktop-file-utils
  kwin-wayland konsole
  gnome-shell
  nautilus
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
# Another installation in progress (a second script, the system's own) is waited for.
wait=(-o DPkg::Lock::Timeout=900)
$sudo apt-get "${wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
