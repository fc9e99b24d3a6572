#!/usr/bin/env bash
# Installs the Debian packages a build needs when they are missing.
#   scripts/setup.sh            what building gridcast and the window needs
#   scripts/setup.sh --test     also what the tests, the sanitizer build and the fuzz build need
#   scripts/setup.sh --scale-out  also what scripts/scale-out-check.sh runs (containers, Slurm,
#                                 sshd, debootstrap, lintian)
# Besides compilers and libraries this names the tools the scripts and tests call: git (the format
# check in a checkout), file (CPack's Debian generator), man-db (the manual page check), gzip.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config dpkg-dev nettle-dev qt6-base-dev qt6-multimedia-dev
          libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev git file gzip)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(clang clang-format libclang-rt-14-dev tidy fonts-dejavu-core parallel
            man-db)
elif [[ "${1:-}" == "--scale-out" ]]; then
  packages+=(podman runc debootstrap slurm-wlm munge openssh-server openssh-client parallel
             lintian python3-yaml man-db)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ "$(id -u)" -ne 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
# Another apt run may hold the lock for a while: wait for it rather than fail.
"${sudo[@]}" apt-get install -o DPkg::Lock::Timeout=600 -y -q --no-install-recommends "${missing[@]}"
