#!/usr/bin/env bash
# The release tests: release_test.sh STEP WORK, one ctest entry a step.
#   Setup: packages the checked-out commit in a clone (WORK/verifier/clone,
#     reused by the proofs below) three times: signed with a throwaway key
#     from a PKCS#12 file, with the same key on a SoftHSM2 token, and
#     unsigned. The key and the token live in a temporary folder that goes
#     when Setup ends; only the certificate stays in WORK. Then once more
#     unsigned, with an uncommitted change.
#   any other step: one check of those archives (see the cases below).
set -euo pipefail
step=$1 work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
verify=$root/scripts/verify-release.sh

# package_as ARCHIVE: packages the clone with the OSTREL_SIGN_* given, keeps
# the archive as WORK/ARCHIVE.
package_as() {
  (cd "$work/verifier/clone" && ./scripts/package.sh --program-only >"$work/package.log" 2>&1) \
    || { cat "$work/package.log"; exit 1; }
  cp "$work"/verifier/clone/dist/ostrel-*-win32.zip "$work/$1"
}

setup() {
  rm -rf "$work"
  mkdir -p "$work/verifier"
  git -C "$root" rev-parse -q --verify HEAD >/dev/null || { echo "not a git checkout"; exit 77; }
  git clone -q --no-hardlinks "$root" "$work/verifier/clone"
  git -C "$work/verifier/clone" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"

  secret=$(mktemp -d)
  trap 'rm -rf "$secret"' EXIT
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Ostrel release test" \
    -addext extendedKeyUsage=codeSigning -keyout "$secret/key.pem" -out "$work/cert.pem" 2>/dev/null
  head -c 24 /dev/urandom | base64 >"$secret/password"
  openssl pkcs12 -export -inkey "$secret/key.pem" -in "$work/cert.pem" -out "$secret/key.p12" \
    -passout "file:$secret/password"
  OSTREL_SIGN_PKCS12=$secret/key.p12 OSTREL_SIGN_PASSWORD_FILE=$secret/password package_as signed.zip

  mkdir "$secret/tokens"
  export SOFTHSM2_CONF=$secret/softhsm2.conf
  echo "directories.tokendir = $secret/tokens" >"$SOFTHSM2_CONF"
  softhsm2-util --init-token --free --label ostrel --pin 4321 --so-pin 8765 >/dev/null
  openssl pkcs8 -topk8 -nocrypt -in "$secret/key.pem" -out "$secret/key.pk8"
  softhsm2-util --import "$secret/key.pk8" --token ostrel --label signer --id 01 --pin 4321 >/dev/null
  echo 4321 >"$secret/pin"
  OSTREL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so OSTREL_SIGN_CERTS=$work/cert.pem \
    OSTREL_SIGN_PKCS11_KEY="pkcs11:token=ostrel;object=signer" OSTREL_SIGN_PASSWORD_FILE=$secret/pin \
    package_as token.zip
  package_as unsigned.zip
  # From a tree with an uncommitted change: stamped, and never proven.
  echo >>"$work/verifier/clone/LICENSE"
  package_as modified.zip
  git -C "$work/verifier/clone" checkout -q LICENSE
  python3 -m zipfile -e "$work/signed.zip" "$work/signed"
}

# altered NAME CHANGE: WORK/signed.zip with CHANGE run in its unpacked
# folder, packed again with SHA256SUMS made to match.
altered() {
  rm -rf "${work:?}/$1" && python3 -m zipfile -e "$work/signed.zip" "$work/$1"
  (cd "$work/$1" && eval "$2" && rm SHA256SUMS)
  SOURCE_DATE_EPOCH=$(git -C "$work/verifier/clone" log -1 --format=%ct) \
    python3 "$root/scripts/make_package.py" "$work/$1.zip" \
      "$work/$1"/{ostrel.exe,README.txt,LICENSE} >/dev/null
}

# proof ARCHIVE EXPECTED_LAST_LINE: verify-release.sh on it, its status and
# last line as expected (a regular expression).
proof() {
  local status=0
  "$verify" "$work/$1" "$work/verifier" >"$work/proof.log" 2>&1 || status=$?
  cat "$work/proof.log"
  tail -1 "$work/proof.log" | grep -Eq "$2" || { echo "FAIL: expected a last line like: $2"; exit 1; }
  case $2 in ^PROVEN*) [ $status -eq 0 ] ;; *) [ $status -ne 0 ] ;; esac \
    || { echo "FAIL: exit status $status"; exit 1; }
}

# A byte of the DOS stub's text, far from the signature.
flip_program_byte='printf X | dd of=ostrel.exe bs=1 seek=100 conv=notrunc status=none'

case $step in
  Setup) setup ;;
  SignatureVerifies) osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/ostrel.exe" ;;
  TokenSignsAlike) cmp "$work/signed.zip" "$work/token.zip" && ! cmp -s "$work/signed.zip" "$work/unsigned.zip" ;;
  ProvesSigned) proof signed.zip "^PROVEN: .* was built from commit [0-9a-f]{40} \(ostrel.exe signed\)$" ;;
  ProvesUnsigned) proof unsigned.zip "^PROVEN: .* \(ostrel.exe not signed\)$" ;;
  RefusesModifiedTree) proof modified.zip "^NOT PROVEN: built from uncommitted changes to [0-9a-f]{40}:" ;;
  RefusesChangedProgram)
    altered changed-program "$flip_program_byte"
    proof changed-program.zip "^NOT PROVEN: .* in: .*ostrel\.exe" ;;
  RefusesChangedReadme)
    altered changed-readme "sed -i 's/Safety notes/Safety tips/' README.txt"
    proof changed-readme.zip "^NOT PROVEN: .* in: .*README\.txt" ;;
  RefusesWrongSums)
    rm -rf "$work/wrong-sums" && cp -r "$work/signed" "$work/wrong-sums"
    (cd "$work/wrong-sums" && eval "$flip_program_byte" \
      && python3 -m zipfile -c ../wrong-sums.zip ostrel.exe README.txt LICENSE SHA256SUMS)
    proof wrong-sums.zip "^NOT PROVEN: the files above do not match SHA256SUMS$" ;;
  *) echo "unknown step $step" >&2; exit 2 ;;
esac
