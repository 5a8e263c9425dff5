"""Checks the winget manifest set of DormiGuard 1.0.5: the fields winget requires, the nullsoft
installer per user and per machine with their switches, the portable zip, and the built files'
hashes and URLs.
    python3 check_winget_manifests.py WINGET_DIR SETUP_EXE PORTABLE_ZIP DOWNLOAD_URL"""
import hashlib
import pathlib
import sys

import yaml

folder, setup, portable_zip, url = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
ident = "DormiGuardProject.DormiGuard"
base = folder / "manifests/d/DormiGuardProject/DormiGuard/1.0.5"
suffixes = {"version": "", "installer": ".installer", "defaultLocale": ".locale.en-US"}
manifests = {kind: yaml.safe_load((base / f"{ident}{suffix}.yaml").read_text(encoding="utf-8"))
             for kind, suffix in suffixes.items()}
required = {
    "version": ["DefaultLocale"],
    "installer": ["Installers"],
    "defaultLocale": ["PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"],
}
expected = {"PackageIdentifier": ident, "PackageVersion": "1.0.5", "ManifestVersion": "1.12.0"}
problems = []
for kind, manifest in manifests.items():
    problems += [f"{kind}: no {key}" for key in required[kind] if not manifest.get(key)]
    problems += [f"{kind}: {key} is {manifest.get(key)!r}" for key, value in
                 dict(expected, ManifestType=kind).items() if str(manifest.get(key)) != value]
if manifests["version"].get("DefaultLocale") != manifests["defaultLocale"].get("PackageLocale"):
    problems.append("the default locale is not the default-locale manifest's")


def sha256(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest().upper()


installers = {(i.get("InstallerType"), i.get("Scope")): i for i in manifests["installer"].get("Installers") or []}
wanted = {
    ("nullsoft", "user"): {"Architecture": "x64", "InstallerSha256": sha256(setup),
                           "InstallerUrl": url + "/DormiGuard-1.0.5-setup.exe",
                           "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S"}},
    ("nullsoft", "machine"): {"Architecture": "x64", "InstallerSha256": sha256(setup),
                              "InstallerUrl": url + "/DormiGuard-1.0.5-setup.exe", "ElevationRequirement": "elevatesSelf",
                              "InstallerSwitches": {"Interactive": "/ALLUSERS", "Silent": "/ALLUSERS /S",
                                                    "SilentWithProgress": "/ALLUSERS /S"}},
    ("zip", None): {"Architecture": "x64", "InstallerSha256": sha256(portable_zip), "NestedInstallerType": "portable",
                    "InstallerUrl": url + "/DormiGuard-1.0.5-portable.zip",
                    "NestedInstallerFiles": [{"RelativeFilePath": "DormiGuard\\DormiGuard.exe",
                                              "PortableCommandAlias": "dormiguard"}]},
}
if set(installers) != set(wanted):
    problems.append(f"installers {list(installers)}, expected {list(wanted)}")
for kind, fields in wanted.items():
    problems += [f"{kind}: {key} is {installers.get(kind, {}).get(key)!r}" for key, value in fields.items()
                 if installers.get(kind, {}).get(key) != value]

print("\n".join(problems) if problems else "manifests ok")
sys.exit(1 if problems else 0)
