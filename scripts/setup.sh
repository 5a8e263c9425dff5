#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build DormiGuard and run it under Wine.
set -euo pipefail

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64-posix)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v wine >/dev/null 2>&1 || need+=(wine wine64)
[ -e /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null 2>&1 || need+=(wine64)
command -v Xvfb >/dev/null 2>&1 || need+=(xvfb)
command -v xdotool >/dev/null 2>&1 || need+=(xdotool)
command -v convert >/dev/null 2>&1 && convert -version 2>/dev/null | grep -q ImageMagick || need+=(imagemagick)
command -v python3 >/dev/null 2>&1 || need+=(python3)
command -v zip >/dev/null 2>&1 || need+=(zip unzip)
command -v xdpyinfo >/dev/null 2>&1 || need+=(x11-utils)
[ -d /usr/share/fonts/opentype/ipafont-gothic ] || need+=(fonts-ipafont-gothic)
# Wine's own fonts: Marlett draws the caption buttons, Tahoma the dialogs.
[ -d /usr/share/wine/fonts ] && ls /usr/share/wine/fonts/marlett* >/dev/null 2>&1 || need+=(fonts-wine)
[ -d /usr/src/googletest ] || need+=(googletest)
# The release: the installer, code signing and the throwaway certificate of its test.
command -v makensis >/dev/null 2>&1 || need+=(nsis)
command -v osslsigncode >/dev/null 2>&1 || need+=(osslsigncode)
command -v unzip >/dev/null 2>&1 || need+=(unzip)
command -v openssl >/dev/null 2>&1 || need+=(openssl)
command -v sha256sum >/dev/null 2>&1 || need+=(coreutils)
python3 -c 'import yaml' >/dev/null 2>&1 || /usr/bin/python3 -c 'import yaml' >/dev/null 2>&1 || need+=(python3-yaml)
# Japanese and English: the program speaks the language of the user's Windows (LANG under Wine).
command -v locale-gen >/dev/null 2>&1 || need+=(locales)

if [ ${#need[@]} -gt 0 ]; then
    echo "setup: installing ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

generate=0
for wanted in ja_JP en_US; do
    locale -a 2>/dev/null | grep -qi "^$wanted.utf8$" && continue
    sed -i "s/^# *$wanted.UTF-8 UTF-8/$wanted.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" >> /etc/locale.gen
    generate=1
done
[ "$generate" = 0 ] || locale-gen >/dev/null
echo "setup: toolchain ready"
