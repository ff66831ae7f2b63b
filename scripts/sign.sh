#!/usr/bin/env bash
# sign.sh BUILD-DIR
# Signs every shipped program of a build tree (BUILD-DIR/shipped-programs.txt)
# with Authenticode, in place, through osslsigncode: SHA-256 digest, the
# publisher's certificate and key from a PKCS#12 file.
#   SETUP_SIGN_PKCS12         the PKCS#12 (.p12/.pfx) file (required)
#   SETUP_SIGN_PASSWORD       its password (may be empty)
#   SETUP_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional); a
#                             time-stamped signature stays valid after the
#                             certificate expires
# The password reaches osslsigncode through a pipe, never its command line.
set -euo pipefail
build=${1:?usage: sign.sh BUILD-DIR}
list="$build/shipped-programs.txt"
: "${SETUP_SIGN_PKCS12:?set SETUP_SIGN_PKCS12 to the PKCS#12 file of the signing certificate}"
[ -r "$SETUP_SIGN_PKCS12" ] || { echo "sign: cannot read $SETUP_SIGN_PKCS12" >&2; exit 1; }
[ -f "$list" ] || { echo "sign: no $list (build the tree first)" >&2; exit 1; }
command -v osslsigncode >/dev/null || { echo "sign: osslsigncode is missing (make deps)" >&2; exit 1; }

timestamp=()
[ -n "${SETUP_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SETUP_SIGN_TIMESTAMP_URL")

count=0
while IFS= read -r relative; do
  [ -n "$relative" ] || continue
  program="$build/$relative"
  [ -f "$program" ] || { echo "sign: $program is missing" >&2; exit 1; }
  signed="$program.signing"
  rm -f "$signed"
  # An earlier signature is replaced, not nested.
  if ! osslsigncode sign -pkcs12 "$SETUP_SIGN_PKCS12" \
      -readpass <(printf '%s' "${SETUP_SIGN_PASSWORD:-}") \
      -h sha256 -n "Sorvane～Kelmire～" "${timestamp[@]}" \
      -in "$program" -out "$signed" >/dev/null; then
    rm -f "$signed"
    echo "sign: signing $program failed" >&2
    exit 1
  fi
  mv -f "$signed" "$program"
  echo "sign: signed $program"
  count=$((count + 1))
done < "$list"
[ "$count" -gt 0 ] || { echo "sign: $list names no program" >&2; exit 1; }
