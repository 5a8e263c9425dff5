#!/usr/bin/env bash
# The release artefacts made with a throwaway self-signed certificate: the signatures verify
# against it (and not against another one), the zip holds the program's files, SHA256SUMS and
# the winget manifests carry the built files' hashes, and the manifests have winget's fields.
#   bash tests/package/release_artifacts_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/package-test"
rm -rf "$work"
mkdir -p "$work/cert"
failures=0
check() {   # $1 = what is checked; the rest is the command that must succeed
    local what=$1; shift
    if "$@" >"$work/last.log" 2>&1; then echo "ok: $what"; else echo "FAILED: $what"; cat "$work/last.log"; failures=$((failures + 1)); fi
}
refuse() {   # $1 = what is checked; the rest is the command that must fail
    local what=$1; shift
    if "$@" >"$work/last.log" 2>&1; then echo "FAILED: $what"; failures=$((failures + 1)); else echo "ok: $what"; fi
}

throwaway() {   # $1 = name; a self-signed code-signing certificate and its PKCS#12 file
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=DormiGuard test signing $1" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
        -keyout "$work/cert/$1.key" -out "$work/cert/$1.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$work/cert/$1.key" -in "$work/cert/$1.pem" \
        -out "$work/cert/$1.p12" -passout pass:throwaway-password
}
throwaway signer
throwaway stranger

DORMIGUARD_SIGN_PKCS12="$work/cert/signer.p12" DORMIGUARD_SIGN_PASSWORD=throwaway-password \
DORMIGUARD_DOWNLOAD_URL=https://releases.test.example/dg/ \
    bash "$root/packaging/make_release.sh" "$build" "$work/dist" > "$work/package.log" 2>&1 \
    || { cat "$work/package.log"; exit 1; }
dist="$work/dist"
setup="$dist/DormiGuard-1.0.5-setup.exe"
zip="$dist/DormiGuard-1.0.5-portable.zip"

for file in "$dist/DormiGuard/DormiGuard.exe" "$dist/DormiGuard/DormiGuard.com" "$setup"; do
    check "$(basename "$file") verifies against the signing certificate" \
        osslsigncode verify -CAfile "$work/cert/signer.pem" -in "$file"
    refuse "$(basename "$file") does not verify against another certificate" \
        osslsigncode verify -CAfile "$work/cert/stranger.pem" -in "$file"
done
check "the released program, stripped and signed, stays under 512 KB" \
    test "$(stat -c %s "$dist/DormiGuard/DormiGuard.exe")" -lt 524288
check "the zip holds the program, its console front end, pictures, menu image, licence page and licence" bash -c "
    unzip -Z1 '$zip' | sort > '$work/zip.txt'
    printf '%s\n' DormiGuard/ DormiGuard/DormiGuard.exe DormiGuard/DormiGuard.com DormiGuard/LICENSE.txt DormiGuard/license.html \
        DormiGuard/menu_image.bmp DormiGuard/pirumi_image.png DormiGuard/pirumi_koala1.png \
        DormiGuard/pirumi_koala2.png DormiGuard/sleep_ng.png DormiGuard/sleep_ok.png | sort | diff - '$work/zip.txt'"
check "the templates zip holds the ADMX and its English and Japanese ADML" bash -c "
    [ \"\$(unzip -Z1 '$dist/DormiGuard-1.0.5-policy-templates.zip' | grep -v '/\$' | sort | tr '\n' ' ')\" = \
      'DormiGuard.admx en-US/DormiGuard.adml ja-JP/DormiGuard.adml ' ]"
check "SHA256SUMS lists the three files and matches them" bash -c "
    cd '$dist' && [ \$(wc -l < SHA256SUMS) -eq 3 ] && sha256sum -c SHA256SUMS"
# Debian's python3-yaml serves /usr/bin/python3, which another python3 on the PATH may not see.
python=python3
"$python" -c 'import yaml' >/dev/null 2>&1 || python=/usr/bin/python3
check "the winget manifests have winget's fields and the files' hashes" \
    "$python" "$root/tests/package/check_winget_manifests.py" "$dist/winget" "$setup" "$zip" \
        https://releases.test.example/dg

echo "$failures failed"
[ "$failures" -eq 0 ]
