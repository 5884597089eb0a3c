# Shared by scripts/run and scripts/test: installs what is missing and builds.
# shellcheck shell=bash

KESTROVA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KESTROVA_PACKAGES=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
                   qt6-base-dev libgl1-mesa-dev libgtest-dev libgmock-dev libbenchmark-dev
                   xvfb libgdal-dev qt6-translations-l10n)

kestrova_jobs() { nproc 2>/dev/null || echo 2; }

kestrova_install_missing() {
    local missing=()
    local p
    for p in "${KESTROVA_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# kestrova_build DIR [cmake options...]
kestrova_build() {
    local dir=$1
    shift
    cmake -S "$KESTROVA_ROOT" -B "$KESTROVA_ROOT/$dir" -G Ninja "$@" >/dev/null
    cmake --build "$KESTROVA_ROOT/$dir" -j "$(kestrova_jobs)"
}
