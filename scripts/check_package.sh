#!/usr/bin/env bash
# Makes the install packages in a build folder (default: build) and checks them: the files each
# must hold (the programs under their installed names, and nothing of the other package),
# lintian without errors, the manual page that comes from --help, and the programs run from the
# unpacked packages.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
rm -f "$build"/instrument-updater*_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
main_deb=$(ls "$build"/instrument-updater_*.deb)
sim_deb=$(ls "$build"/instrument-updater-sim_*.deb)
echo "packages: $main_deb $sim_deb"

status=0
# holds|lacks, the package, then the files it must (not) hold
check_files() {
  local want=$1 deb=$2
  shift 2
  local contents
  contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
  for file in "$@"; do
    if grep -qx "\./$file" <<<"$contents"; then
      [ "$want" = holds ] && continue
      echo "$(basename "$deb") must not hold /$file"
    else
      [ "$want" = lacks ] && continue
      echo "missing in $(basename "$deb"): /$file"
    fi
    status=1
  done
}

check_files holds "$main_deb" \
  usr/bin/instrument-update usr/bin/instrument-update-cli \
  usr/share/applications/instrument-updater.desktop \
  usr/share/icons/hicolor/scalable/apps/instrument-updater.svg \
  usr/share/man/man1/instrument-update.1.gz usr/share/man/man1/instrument-update-cli.1.gz \
  usr/share/instrument-updater/Update.Deu usr/share/instrument-updater/Update.Eng \
  usr/share/instrument-updater/Firmwareupdate_Messgeraete.pdf \
  usr/share/instrument-updater/Firmwareupdate_meters.pdf \
  usr/share/doc/instrument-updater/README.Debian \
  usr/share/doc/instrument-updater/copyright \
  usr/share/doc/instrument-updater/changelog.Debian.gz
# The generic names of the build are not installed; the simulator has its own package.
check_files lacks "$main_deb" usr/bin/update usr/bin/update-cli usr/bin/instrument-sim
check_files holds "$sim_deb" usr/bin/instrument-sim usr/share/man/man1/instrument-sim.1.gz \
  usr/share/doc/instrument-updater-sim/copyright \
  usr/share/doc/instrument-updater-sim/changelog.Debian.gz
check_files lacks "$sim_deb" usr/bin/instrument-update usr/bin/instrument-update-cli
[ $status -eq 0 ] || exit 1

lintian --fail-on error "$main_deb" "$sim_deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$main_deb" "$scratch/root"
dpkg-deb -x "$sim_deb" "$scratch/root"
grep -q "^Exec=instrument-update$" "$scratch/root/usr/share/applications/instrument-updater.desktop"
cli="$scratch/root/usr/bin/instrument-update-cli"
help=$("$cli" --help)
grep -q -- "Usage: instrument-update-cli" <<<"$help"
# Every option of --help is in the manual page.
page=$(zcat "$scratch/root/usr/share/man/man1/instrument-update-cli.1.gz")
for option in $(grep -o -- '--[a-z-]*' <<<"$help" | sort -u); do
  grep -q -- "${option//-/\\\\-}" <<<"$page" || { echo "manual page lacks $option"; exit 1; }
done
"$scratch/root/usr/bin/instrument-sim" --help >/dev/null
mkdir "$scratch/ports"
# The list speaks the desktop's language: English here.
listing=$(LC_ALL=C UPDATE_PORT_DIR="$scratch/ports" "$cli" --list-ports)
[ "$listing" = "No serial ports found." ] || { echo "unexpected port list: $listing"; exit 1; }
echo "packages checked"
