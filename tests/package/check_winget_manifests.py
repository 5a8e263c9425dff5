"""Checks a winget manifest set for DormiGuard 1.0.5: the fields winget requires, the switches of
the user-scope nullsoft installer, the portable zip, and the hashes and URLs of the built files.
    python3 check_winget_manifests.py WINGET_DIR SETUP_EXE PORTABLE_ZIP DOWNLOAD_URL"""
import hashlib
import pathlib
import sys

import yaml


def sha256(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest().upper()


def main():
    folder, setup, zip_file, url = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    problems = []

    def expect(condition, message):
        if not condition:
            problems.append(message)

    base = folder / "manifests/d/DormiGuardProject/DormiGuard/1.0.5"
    ident = "DormiGuardProject.DormiGuard"
    files = {kind: base / f"{ident}{suffix}.yaml" for kind, suffix in
             [("version", ""), ("installer", ".installer"), ("defaultLocale", ".locale.en-US")]}
    for kind, path in files.items():
        expect(path.exists(), f"no {kind} manifest at {path}")
    if problems:
        print("\n".join(problems))
        return 1
    manifests = {kind: yaml.safe_load(path.read_text(encoding="utf-8")) for kind, path in files.items()}

    required = {
        "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
        "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
        "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                          "License", "ShortDescription", "ManifestType", "ManifestVersion"],
    }
    for kind, keys in required.items():
        manifest = manifests[kind]
        for key in keys:
            expect(manifest.get(key), f"{kind}: {key} missing")
        expect(manifest.get("ManifestType") == kind, f"{kind}: ManifestType {manifest.get('ManifestType')}")
        expect(manifest.get("PackageIdentifier") == ident, f"{kind}: PackageIdentifier")
        expect(manifest.get("PackageVersion") == "1.0.5", f"{kind}: PackageVersion {manifest.get('PackageVersion')}")
        expect(manifest.get("ManifestVersion") == "1.12.0", f"{kind}: ManifestVersion")
    expect(manifests["version"].get("DefaultLocale") == manifests["defaultLocale"].get("PackageLocale"),
           "the version manifest's DefaultLocale is not the default-locale manifest's locale")

    installers = manifests["installer"].get("Installers", [])
    expect(len(installers) == 2, f"{len(installers)} installers, expected 2")
    by_type = {i.get("InstallerType"): i for i in installers}
    nsis, portable = by_type.get("nullsoft"), by_type.get("zip")
    expect(nsis is not None, "no nullsoft installer")
    expect(portable is not None, "no zip installer")
    if nsis and portable:
        for installer in (nsis, portable):
            for key in ("Architecture", "InstallerUrl", "InstallerSha256"):
                expect(installer.get(key), f"{installer.get('InstallerType')}: {key} missing")
        expect(nsis.get("Scope") == "user", "nullsoft: Scope is not user")
        expect(nsis.get("InstallerSwitches", {}).get("Silent") == "/S", "nullsoft: Silent switch")
        expect(nsis.get("InstallerSwitches", {}).get("SilentWithProgress") == "/S", "nullsoft: SilentWithProgress")
        expect(nsis.get("InstallerSha256") == sha256(setup), "nullsoft: hash is not the installer's")
        expect(nsis.get("InstallerUrl") == url + "/DormiGuard-1.0.5-setup.exe", f"nullsoft: URL {nsis.get('InstallerUrl')}")
        expect(portable.get("NestedInstallerType") == "portable", "zip: NestedInstallerType")
        nested = portable.get("NestedInstallerFiles", [{}])
        expect(nested and nested[0].get("RelativeFilePath") == "DormiGuard\\DormiGuard.exe", "zip: RelativeFilePath")
        expect(portable.get("InstallerSha256") == sha256(zip_file), "zip: hash is not the zip's")
        expect(portable.get("InstallerUrl") == url + "/DormiGuard-1.0.5-portable.zip", "zip: URL")

    print("\n".join(problems) if problems else "manifests ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
