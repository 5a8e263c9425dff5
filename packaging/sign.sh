#!/usr/bin/env bash
# Signs one Windows executable in place (Authenticode, SHA-256) with osslsigncode:
#   DORMIGUARD_SIGN_PKCS12=cert.p12 DORMIGUARD_SIGN_PASSWORD=... \
#   [DORMIGUARD_SIGN_TIMESTAMP_URL=http://tsa.example/] bash packaging/sign.sh FILE
# The password goes in on standard input, so that it never shows in the process list.
set -euo pipefail
file=$1
: "${DORMIGUARD_SIGN_PKCS12:?names the PKCS#12 certificate file}"
args=(sign -pkcs12 "$DORMIGUARD_SIGN_PKCS12" -readpass - -h sha256 -n DormiGuard)
if [ -n "${DORMIGUARD_SIGN_TIMESTAMP_URL:-}" ]; then
    args+=(-ts "$DORMIGUARD_SIGN_TIMESTAMP_URL")   # RFC 3161
fi
rm -f "$file.signed"
printf '%s' "${DORMIGUARD_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
echo "sign: signed $(basename "$file")"
