#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the package checks need, where
# they are missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libpugixml-dev libcurl4-openssl-dev qt6-base-dev qt6-charts-dev libgl-dev
    python3-aiosmtpd python3-pyftpdlib time
    libsystemd-dev scdoc
    libsqlite3-dev libinih-dev nlohmann-json3-dev
    libmosquitto-dev mosquitto openssl
    dpkg-dev debhelper file lintian systemd procps
    libcpp-httplib-dev libssl-dev libjs-chart.js chromium curl openssl
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
