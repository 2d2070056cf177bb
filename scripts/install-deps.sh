#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing.
# Safe to run again: it does nothing when everything is there.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

missing=()
while read -r package; do
  [ -n "$package" ] || continue
  case "$package" in \#*) continue ;; esac
  status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
  [ "$status" = "install ok installed" ] || missing+=("$package")
done < "$here/packages.txt"

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests install their npm packages with npm ci. nodejs from some sources
# bundles npm; Debian's nodejs does not, so npm comes from its own package only when missing.
if ! command -v npm > /dev/null 2>&1; then
  echo "Installing: npm"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get install -y -qq --no-install-recommends npm
fi
