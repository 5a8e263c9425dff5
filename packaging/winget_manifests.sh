#!/usr/bin/env bash
# Writes the winget manifest set (version, installer, default locale and a Japanese locale) for
# the NSIS installer, per user and (with /ALLUSERS) per machine, and the portable zip:
#   DG_VERSION=... DG_PUBLISHER=... DG_SETUP_URL=... DG_SETUP_SHA256=... DG_ZIP_URL=... \
#   DG_ZIP_SHA256=... bash packaging/winget_manifests.sh OUT_DIR
set -euo pipefail
out=$1
id=DormiGuardProject.DormiGuard
schema=1.12.0
dir="$out/manifests/d/DormiGuardProject/DormiGuard/$DG_VERSION"
mkdir -p "$dir"

header() {   # $1 = manifest kind as the schema names it
    echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$schema.schema.json"
    echo
    echo "PackageIdentifier: $id"
    echo "PackageVersion: $DG_VERSION"
}

{
    header version
    echo "DefaultLocale: en-US"
    echo "ManifestType: version"
    echo "ManifestVersion: $schema"
} > "$dir/$id.yaml"

{
    header installer
    cat <<YAML
MinimumOSVersion: 10.0.0.0
Installers:
- Architecture: x64
  InstallerType: nullsoft
  Scope: user
  InstallerUrl: $DG_SETUP_URL
  InstallerSha256: $DG_SETUP_SHA256
  InstallModes:
  - interactive
  - silent
  - silentWithProgress
  InstallerSwitches:
    Silent: /S
    SilentWithProgress: /S
  UpgradeBehavior: install
  ProductCode: DormiGuard
  AppsAndFeaturesEntries:
  - DisplayName: DormiGuard
    Publisher: $DG_PUBLISHER
    DisplayVersion: $DG_VERSION
    ProductCode: DormiGuard
- Architecture: x64
  InstallerType: nullsoft
  Scope: machine
  InstallerUrl: $DG_SETUP_URL
  InstallerSha256: $DG_SETUP_SHA256
  InstallModes:
  - interactive
  - silent
  - silentWithProgress
  InstallerSwitches:
    Interactive: /ALLUSERS
    Silent: /ALLUSERS /S
    SilentWithProgress: /ALLUSERS /S
  ElevationRequirement: elevatesSelf
  UpgradeBehavior: install
  ProductCode: DormiGuard
  AppsAndFeaturesEntries:
  - DisplayName: DormiGuard
    Publisher: $DG_PUBLISHER
    DisplayVersion: $DG_VERSION
    ProductCode: DormiGuard
- Architecture: x64
  InstallerType: zip
  NestedInstallerType: portable
  NestedInstallerFiles:
  - RelativeFilePath: DormiGuard\\DormiGuard.exe
    PortableCommandAlias: dormiguard
  InstallerUrl: $DG_ZIP_URL
  InstallerSha256: $DG_ZIP_SHA256
ManifestType: installer
ManifestVersion: $schema
YAML
} > "$dir/$id.installer.yaml"

{
    header defaultLocale
    cat <<YAML
PackageLocale: en-US
Publisher: $DG_PUBLISHER
PackageName: DormiGuard
License: MIT
ShortDescription: Keeps the computer awake while chosen programs run or during marked hours.
Description: A small tray utility. While any program you picked is running, or during hours of the day you marked, it keeps the computer from sleeping and the screen saver from starting.
Tags:
- sleep
- tray
- power
ManifestType: defaultLocale
ManifestVersion: $schema
YAML
} > "$dir/$id.locale.en-US.yaml"

{
    header locale
    cat <<YAML
PackageLocale: ja-JP
Publisher: $DG_PUBLISHER
PackageName: DormiGuard
License: MIT
ShortDescription: 選んだプログラムの起動中や指定した時間帯に、コンピューターのスリープを防ぎます。
ManifestType: locale
ManifestVersion: $schema
YAML
} > "$dir/$id.locale.ja-JP.yaml"
