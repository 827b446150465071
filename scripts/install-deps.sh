#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Does nothing when they are present.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libxml2-dev libsndfile1-dev
          googletest libgtest-dev libgmock-dev libbenchmark-dev locales
          clang libclang-rt-14-dev clang-format
          libcairo2-dev libx11-dev xvfb xauth xdotool
          jackd2 libjack-jackd2-dev librtaudio-dev librtmidi-dev libasound2-dev liblo-dev)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    "${sudo_cmd[@]}" apt-get update -qq
    # jackd2 asks whether to enable real-time scheduling; the preseed answers it (no) so that
    # the install never waits for a reply.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo_cmd[@]}" debconf-set-selections
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# The locale tests run the parameter reader under a decimal-comma locale, as some hosts do.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 >&2 || echo "warning: could not generate de_DE.UTF-8" >&2
fi
