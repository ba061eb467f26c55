#!/usr/bin/env bash
# Builds the Debian packages with debhelper (debian/) and checks them as an operator would meet
# them: lintian finds nothing, the files land where Debian keeps them, the programs run from an
# unpacked root, the maintainer scripts treat the service as they should, and systemd accepts
# the units. The packages end in build/packages.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
version=$(sed -n 's/^project(Vantrell VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package_version=$(dpkg-parsechangelog -S Version)
[ "${package_version%-*}" = "$version" ] ||
    { echo "debian/changelog is at $package_version, the project at $version" >&2; exit 1; }

out=build/packages
rm -rf "$out"
mkdir -p "$out"
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-parallel=2}
dpkg-buildpackage -b -us -uc >"$out/build.log" 2>&1 ||
    { tail -40 "$out/build.log" >&2; echo "dpkg-buildpackage failed: $out/build.log" >&2; exit 1; }
# dpkg-buildpackage writes beside the source tree, where every checkout of it would meet.
mv ../vantrell*_"${package_version}"_"$(dpkg --print-architecture)".* "$out"/
daemon=$(ls "$out"/vantrell_*.deb)
desktop=$(ls "$out"/vantrell-desktop_*.deb)

for deb in "$daemon" "$desktop"; do
    echo "== $(basename "$deb")"
    dpkg-deb -f "$deb" Package Version Depends
    # Any tag fails the build, down to the informational ones, where the hardening flags show;
    # a tag that has to stay is overridden in debian/*.lintian-overrides with its reason.
    # (lintian's advice not to run as root is no finding on the package.)
    status=0
    lintian --pedantic -I --fail-on error,warning,info,pedantic --tag-display-limit 0 "$deb" \
        >"$out/lintian.log" 2>&1 || status=$?
    grep -v '^running with root privileges' "$out/lintian.log" || true
    ((status == 0)) || { echo "lintian found problems in $(basename "$deb")" >&2; exit 1; }
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$daemon" "$root"
dpkg -x "$desktop" "$root"
expected=(
    usr/bin/vantrelld usr/bin/vantrell-sim usr/bin/vantrell
    usr/lib/systemd/system/vantrelld.service usr/lib/systemd/system/vantrelld@.service
    usr/lib/sysusers.d/vantrell.conf usr/lib/tmpfiles.d/vantrell.conf
    usr/share/man/man8/vantrelld.8.gz usr/share/man/man5/vantrell.conf.5.gz
    usr/share/man/man1/vantrell.1.gz
    usr/share/man/man1/vantrell-sim.1.gz
    usr/share/applications/vantrell.desktop usr/share/icons/hicolor/scalable/apps/vantrell.svg
    usr/share/vantrell/templates/prop.xml
    usr/share/doc/vantrell/copyright usr/share/doc/vantrell/changelog.Debian.gz
    usr/share/doc/vantrell-desktop/copyright usr/share/doc/vantrell-desktop/changelog.Debian.gz
)
for f in "${expected[@]}"; do
    [ -e "$root/$f" ] || { echo "missing from the packages: /$f" >&2; exit 1; }
done
for program in vantrelld vantrell-sim vantrell; do
    shown=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version)
    [ "$shown" = "$program $version" ] || { echo "$program --version: '$shown'" >&2; exit 1; }
done
echo "unpacked root: every file in place, the programs show version $version"

# No systemd runs here, so the maintainer scripts are read instead. Each row: script, what it
# must hold, and why.
scripts=$(mktemp -d)
trap 'rm -rf "$root" "$scripts"' EXIT
dpkg-deb -e "$daemon" "$scripts"
while IFS='|' read -r script text legend; do
    grep -qF -- "$text" "$scripts/$script" ||
        { echo "$script lacks \"$text\": $legend" >&2; exit 1; }
done <<'ROWS'
postinst|systemd-sysusers|the user vantrell exists before anything runs as it
postinst|deb-systemd-helper enable 'vantrelld.service'|an install enables the service
postinst|_dh_action=restart|an upgrade restarts the service, not leaving it on the old program
postinst|try-restart 'vantrelld@*.service'|an upgrade restarts the running stations of the template
prerm|deb-systemd-invoke stop 'vantrelld.service'|a removal stops the service
postrm|deb-systemd-helper purge 'vantrelld.service'|a purge removes its enable links
postrm|/var/lib/vantrell is kept|a purge says that the station's data stays
ROWS
[ ! -e "$scripts/preinst" ] || { echo "preinst: an upgrade must not stop the service first" >&2; exit 1; }
! grep -q "enable 'vantrelld@" "$scripts/postinst" ||
    { echo "postinst enables the template, which has no instance to enable" >&2; exit 1; }
echo "maintainer scripts: install enables and starts, upgrade restarts, remove stops, purge unlinks"
grep -hE "_dh_action=restart|deb-systemd-invoke .*vantrelld" "$scripts/postinst" "$scripts/prerm" |
    sed 's/^\s*/    /'

# systemd-analyze verify checks that each command exists at its path; the programs lie in the
# unpacked root, not in /usr/bin, so the copies checked here point there.
units=$(mktemp -d)
trap 'rm -rf "$root" "$scripts" "$units"' EXIT
# The template is checked as an instance, the way systemd loads it.
for unit in vantrelld.service vantrelld@.service:vantrelld@line1.service; do
    sed "s|/usr/bin/vantrelld|$root/usr/bin/vantrelld|" "$root/usr/lib/systemd/system/${unit%%:*}" \
        >"$units/${unit##*:}"
done
systemd-analyze verify --man=no "$units/vantrelld.service" "$units/vantrelld@line1.service" \
    2>&1 | tee "$units/verify.log"
if [ -s "$units/verify.log" ]; then
    echo "systemd-analyze verify found problems in the units" >&2
    exit 1
fi
echo "systemd-analyze verify: both units accepted"
# The units close all the system the station does not use; a change that opens it again shows
# here. (systemd rates exposure from 0 to 10, 10 being an unconfined service.)
for unit in vantrelld.service vantrelld@line1.service; do
    systemd-analyze security --offline=yes --threshold=45 "$units/$unit" >"$units/security.log" 2>&1 ||
        { cat "$units/security.log" >&2; echo "systemd-analyze security: $unit too exposed" >&2; exit 1; }
    echo "systemd-analyze security: $(tail -1 "$units/security.log" | sed 's/^→ //')"
done
echo "packages: $out"
