#!/usr/bin/env bash
# Makes the install package in a build folder (default: build) and checks it: the files it must
# hold, lintian without errors, and the programs run from the unpacked package.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
rm -f "$build"/instrument-updater_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/instrument-updater_*.deb)
echo "package: $deb"

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
status=0
for file in \
    usr/bin/update usr/bin/update-cli usr/bin/instrument-sim \
    usr/share/applications/instrument-updater.desktop \
    usr/share/icons/hicolor/scalable/apps/instrument-updater.svg \
    usr/share/man/man1/update.1.gz usr/share/man/man1/update-cli.1.gz \
    usr/share/man/man1/instrument-sim.1.gz \
    usr/share/instrument-updater/Update.Deu usr/share/instrument-updater/Update.Eng \
    usr/share/instrument-updater/Firmwareupdate_Messgeraete.pdf \
    usr/share/instrument-updater/Firmwareupdate_meters.pdf \
    usr/share/doc/instrument-updater/README.Debian \
    usr/share/doc/instrument-updater/copyright \
    usr/share/doc/instrument-updater/changelog.Debian.gz; do
  if ! grep -qx "\./$file" <<<"$contents"; then
    echo "missing in the package: /$file"
    status=1
  fi
done
[ $status -eq 0 ] || exit 1

lintian --fail-on error "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
"$scratch/root/usr/bin/update-cli" --help | grep -q -- "--list-ports"
mkdir "$scratch/ports"
listing=$(UPDATE_PORT_DIR="$scratch/ports" "$scratch/root/usr/bin/update-cli" --list-ports)
[ "$listing" = "No serial ports found." ] || { echo "unexpected port list: $listing"; exit 1; }
echo "package checked"
