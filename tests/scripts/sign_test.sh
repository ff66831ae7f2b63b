#!/usr/bin/env bash
# sign_test.sh PROGRAM
# Signs a copy of a built program through scripts/sign.sh with a throwaway
# self-signed certificate, as a publisher signs with a real one, and checks
# with osslsigncode that the signature is there with a SHA-256 digest that
# matches, that a refused signing leaves the program as it was, and that one
# changed byte breaks the signature.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/O=Vintal/CN=Vintal test signing" >/dev/null 2>&1
openssl pkcs12 -export -inkey key.pem -in cert.pem -out publisher.p12 \
  -passout pass:throwaway-secret >/dev/null 2>&1

mkdir build
cp "$1" build/program.exe
echo program.exe > build/shipped-programs.txt

fail() { echo "sign_test: $*" >&2; exit 1; }

if osslsigncode verify -CAfile cert.pem -in build/program.exe >/dev/null 2>&1; then
  fail "the unsigned program passes verification"
fi
# A wrong password signs nothing and leaves the program and its folder as
# they were.
before=$(sha256sum build/program.exe)
SETUP_SIGN_PKCS12=publisher.p12 SETUP_SIGN_PASSWORD=wrong "$here/scripts/sign.sh" build \
  >/dev/null 2>&1 && fail "signing with a wrong password succeeded"
[ "$(sha256sum build/program.exe)" = "$before" ] || fail "a refused signing changed the program"
[ "$(ls build)" = "$(printf 'program.exe\nshipped-programs.txt')" ] ||
  fail "a refused signing left files behind: $(ls build)"

SETUP_SIGN_PKCS12=publisher.p12 SETUP_SIGN_PASSWORD=throwaway-secret \
  "$here/scripts/sign.sh" build >/dev/null
report=$(osslsigncode verify -CAfile cert.pem -in build/program.exe 2>&1) ||
  fail "the signed program fails verification: $report"
grep -q "Signature verification: ok" <<<"$report" || fail "no valid signature: $report"
# The signature's own digest line, not "sha256" anywhere (a path, a
# certificate's name), and a digest of SHA-256's length.
grep -Eq '^Message digest algorithm\s*:\s*SHA256\s*$' <<<"$report" ||
  fail "the digest is not SHA-256: $report"
current=$(sed -n 's/^\s*Current message digest\s*:\s*//p' <<<"$report" | tr -d ' ')
calculated=$(sed -n 's/^\s*Calculated message digest\s*:\s*//p' <<<"$report" | tr -d ' ')
[[ $current =~ ^[0-9A-Fa-f]{64}$ ]] && [ "$current" = "$calculated" ] ||
  fail "hash mismatch: $report"

# One byte in the middle of the program (code, not a header field the
# signature leaves out).
offset=$(( $(stat -c %s build/program.exe) / 3 ))
byte=$(od -An -t u1 -j "$offset" -N 1 build/program.exe | tr -d ' ')
printf "\\$(printf '%03o' $(( (byte + 1) % 256 )))" |
  dd of=build/program.exe bs=1 seek="$offset" conv=notrunc status=none
if osslsigncode verify -CAfile cert.pem -in build/program.exe >/dev/null 2>&1; then
  fail "a changed byte at $offset still verifies"
fi
echo "sign_test: signed, verified, and a changed byte is caught"
