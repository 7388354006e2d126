#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tarnwick needs.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  locales                           # a comma-decimal locale for the display-text tests
  g++-multilib qemu-user            # the 32-bit test build (and its runner where the kernel has no 32-bit support)
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev          # fuzz targets (libFuzzer, sanitizers)
  clang-format                      # the format check
  libsndfile1-dev                   # audio files in the command-line host
  libjpeg62-turbo-dev libpng-dev    # picture import and PNG snapshots
  libfreetype-dev libfontconfig-dev # text
  fonts-liberation2                 # the face that stands for "MS Sans Serif"
  libx11-dev libxfixes-dev libxext-dev # the X11 editor window
  libxtst-dev                       # synthetic input in the X11 tests
  libxres-dev                       # the X resources of the editor's connection, in the host-conduct test
  ardour sox xvfb xauth             # a real VST 2 host for the integration test
  lv2-dev lilv-utils sordi          # the LV2 plug-in's headers, and the LV2 tools that test it
  qtractor                          # a CLAP host (and its plug-in scanner) for the integration test
  jalv jackd2                       # an LV2 host (GTK, embeds X11 editors through suil) and its JACK server, for the editor's test
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix # the Windows modules, cross-built
  wine wine64 wine32:i386           # running them and their tests (wine32 needs i386 packages)
)
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index or two; try again, and if it
  # still fails go on with the indexes there are: the install below then
  # says whether anything is really missing.
  for try in 1 2 3; do
    $sudo_cmd apt-get update -qq && break
    if [ "$try" = 3 ]; then
      echo "setup: apt-get update failed three times; installing from the package indexes there are"
    else
      sleep 15
    fi
  done
  install() { DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "$@"; }
  if ! install "${missing[@]}"; then
    # The foreign-architecture packages are the ones a half-synced mirror
    # breaks (their versions must match the native ones exactly). Without
    # them only the 32-bit Windows tests cannot run, and that stage says so.
    native=() foreign=()
    for p in "${missing[@]}"; do
      if [[ $p == *:i386 ]]; then foreign+=("$p"); else native+=("$p"); fi
    done
    [ ${#foreign[@]} -gt 0 ] || exit 1
    [ ${#native[@]} -eq 0 ] || install "${native[@]}"
    echo "setup: ${foreign[*]} could not be installed; everything else is"
  fi
fi

# A locale whose decimal point is a comma, for the test that text forms keep
# their own; listed in /etc/locale.gen so that a later locale-gen keeps it.
if ! locale -a 2>/dev/null | grep -qix 'de_DE[.]utf-\?8'; then
  grep -qx 'de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'de_DE.UTF-8 UTF-8' | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  $sudo_cmd locale-gen
fi
