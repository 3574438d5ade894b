#!/usr/bin/env bash
# The release tests: release_test.sh STEP WORK, one ctest entry a step.
#   Setup: packages the checked-out commit in a clone (WORK/verifier/clone,
#     whose build the proofs below reuse) three times: signed with a
#     throwaway key from a PKCS#12 file, with the same key on a SoftHSM2
#     token, and unsigned; then once more unsigned, with an uncommitted
#     change. The key and the token live in a temporary folder that goes
#     when Setup ends; its certificate stays in WORK, named by the tests'
#     publishers file, beside a program of another build that the key signed
#     and a stranger's throwaway key. Two repositories publish the commit:
#     WORK/published on main, WORK/tagged by its version's tag alone.
#   any other step: one check of those archives (see the cases below).
set -euo pipefail
step=$1 work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
clone=$work/verifier/clone
export OSTREL_PUBLISHERS_FILE=$work/publishers.txt
# The tests' own commits need a name, which CI's user may not have.
export GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@invalid
export GIT_COMMITTER_NAME=test GIT_COMMITTER_EMAIL=test@invalid

# archive LABEL: the archive kept under LABEL.
archive() { echo "$work"/archives/"$1"/ostrel-*-win32.zip; }

# package_as LABEL: packages the clone with the OSTREL_SIGN_* given.
package_as() {
  (cd "$clone" && ./scripts/package.sh --program-only >"$work/package.log" 2>&1) \
    || { cat "$work/package.log"; exit 1; }
  mkdir -p "$work/archives/$1" && cp "$clone"/dist/ostrel-*-win32.zip "$work/archives/$1/"
}

# new_key FOLDER NAME: a throwaway RSA key and its self-signed certificate.
new_key() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" \
    -addext extendedKeyUsage=codeSigning -keyout "$1/key.pem" -out "$1/cert.pem" 2>/dev/null
  head -c 24 /dev/urandom | base64 >"$1/password"
  openssl pkcs12 -export -inkey "$1/key.pem" -in "$1/cert.pem" -out "$1/key.p12" \
    -passout "file:$1/password"
}

fingerprint() { openssl x509 -noout -fingerprint -sha256 -in "$1" | sed 's/.*=//; s/://g' | tr A-F a-f; }

# sign_with FOLDER IN OUT [OPTION...]: IN signed with FOLDER's key, dated as
# a release is.
sign_with() {
  osslsigncode sign -h sha256 -time "$(git -C "$root" log -1 --format=%ct)" -pkcs12 "$1/key.p12" \
    -readpass "$1/password" "${@:4}" -in "$2" -out "$3" >/dev/null
}

# publish REPOSITORY main|tag: a clone of this one that publishes the commit
# on its main, or only by the tag of the archives' version.
publish() {
  local commit version
  commit=$(git -C "$root" rev-parse HEAD)
  version=$(basename "$(archive unsigned)" -win32.zip)
  git clone -q --no-hardlinks "$root" "$1"
  git -C "$1" remote remove origin
  git -C "$1" checkout -q --detach "$commit"
  if [ "$2" = main ]; then
    git -C "$1" branch -f main "$commit"
  else
    git -C "$1" branch -f main "$(git -C "$1" commit-tree "$(git -C "$1" mktree </dev/null)" -m other)"
    git -C "$1" tag "v${version#ostrel-}" "$commit"
  fi
}

setup() {
  rm -rf "$work"
  mkdir -p "$work/verifier"
  git -C "$root" rev-parse -q --verify HEAD >/dev/null || { echo "not a git checkout"; exit 77; }
  git clone -q --no-hardlinks "$root" "$clone"
  git -C "$clone" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"

  secret=$(mktemp -d)
  trap 'rm -rf "$secret"' EXIT
  new_key "$secret" "Ostrel release test"
  cp "$secret/cert.pem" "$work/cert.pem"
  echo "$(fingerprint "$work/cert.pem")  Ostrel release tests" >"$OSTREL_PUBLISHERS_FILE"
  OSTREL_SIGN_PKCS12=$secret/key.p12 OSTREL_SIGN_PASSWORD_FILE=$secret/password package_as signed

  mkdir "$secret/tokens"
  export SOFTHSM2_CONF=$secret/softhsm2.conf
  echo "directories.tokendir = $secret/tokens" >"$SOFTHSM2_CONF"
  softhsm2-util --init-token --free --label ostrel --pin 4321 --so-pin 8765 >/dev/null
  openssl pkcs8 -topk8 -nocrypt -in "$secret/key.pem" -out "$secret/key.pk8"
  softhsm2-util --import "$secret/key.pk8" --token ostrel --label signer --id 01 --pin 4321 >/dev/null
  echo 4321 >"$secret/pin"
  OSTREL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so OSTREL_SIGN_CERTS=$work/cert.pem \
    OSTREL_SIGN_PKCS11_KEY="pkcs11:token=ostrel;object=signer" OSTREL_SIGN_PASSWORD_FILE=$secret/pin \
    package_as token
  package_as unsigned
  # From a tree with an uncommitted change: stamped, and never proven.
  echo >>"$clone/LICENSE"
  package_as modified
  git -C "$clone" checkout -q LICENSE
  python3 -m zipfile -e "$(archive signed)" "$work/signed"

  # Another build's program, signed with the same key.
  python3 -m zipfile -e "$(archive unsigned)" "$work/other"
  printf X | dd of="$work/other/ostrel.exe" bs=1 seek=100 conv=notrunc status=none
  sign_with "$secret" "$work/other/ostrel.exe" "$work/other-signed.exe"
  mkdir "$work/stranger"
  new_key "$work/stranger" "Stranger"
  publish "$work/published" main
  publish "$work/tagged" tag
}

# altered LABEL FROM CHANGE: the archive FROM with CHANGE run in its unpacked
# folder, packed again as LABEL with SHA256SUMS made to match.
altered() {
  local files=$work/$1-files name
  name=$(basename "$(archive "$2")")
  rm -rf "$files" "${work:?}/archives/$1" && python3 -m zipfile -e "$(archive "$2")" "$files"
  (cd "$files" && eval "$3" && rm SHA256SUMS)
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) \
    python3 "$root/scripts/make_package.py" "$work/archives/$1/$name" \
      "$files"/{ostrel.exe,README.txt,LICENSE} >/dev/null
}

# rewrapped SIGNED TABLE: a change that gives the unpacked ostrel.exe the
# certificate table of SIGNED as TABLE, a Python expression of it (t), makes it.
rewrapped() {
  echo "python3 -c 'import struct, sys; sys.path[0] = \"$root/scripts\"
from copy_signature import certificate_table, with_signature
t = certificate_table(open(\"$1\", \"rb\").read())
image = with_signature(open(\"ostrel.exe\", \"rb\").read(), $2)
open(\"ostrel.exe\", \"wb\").write(image)'"
}

# zipped LABEL FOLDER [NAME]: FOLDER's files packed as they are, SHA256SUMS
# and all, as the archive LABEL, with an empty entry NAME besides if given.
zipped() {
  rm -rf "${work:?}/archives/$1" && mkdir "$work/archives/$1"
  (cd "$2" && python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in ("ostrel.exe", "README.txt", "LICENSE", "SHA256SUMS"):
        z.write(name)
    for name in sys.argv[2:]:
        z.writestr(name, b"")' "$work/archives/$1/$(basename "$(archive signed)")" "${@:3}")
}

# proof LABEL EXPECTED_LAST_LINE [REPOSITORY]: verify-release.sh of the
# repository that publishes the commit (published, on main) on the archive;
# its status and last line as expected (a regular expression). A proof that
# takes longer than $limit seconds (600) has hung.
proof() {
  local status=0
  timeout "${limit:-600}" "$work/${3:-published}/scripts/verify-release.sh" "$(archive "$1")" "$work/verifier" \
    >"$work/proof.log" 2>&1 || status=$?
  cat -v "$work/proof.log"
  tail -1 "$work/proof.log" | grep -Eq "$2" || { echo "FAIL: expected a last line like: $2"; exit 1; }
  case $2 in ^PROVEN*) [ $status -eq 0 ] ;; *) [ $status -ne 0 ] && [ $status -ne 124 ] ;; esac \
    || { echo "FAIL: exit status $status"; exit 1; }
}

# refuses_to_sign EXPECTED VARIABLE=VALUE...: packaging with those fails,
# saying EXPECTED (a regular expression), and leaves no archive.
refuses_to_sign() {
  rm -rf "$clone/dist"
  if (cd "$clone" && env "${@:2}" ./scripts/package.sh --program-only) >"$work/sign.log" 2>&1; then
    cat "$work/sign.log"; echo "FAIL: packaged with ${*:2}"; exit 1
  fi
  cat "$work/sign.log"
  grep -Eq "$1" "$work/sign.log" || { echo "FAIL: no message like: $1"; exit 1; }
  if ls "$clone"/dist/*.zip 2>/dev/null; then echo "FAIL: an archive is left"; exit 1; fi
}

# A byte of the DOS stub's text, far from the signature.
flip_program_byte='printf X | dd of=ostrel.exe bs=1 seek=100 conv=notrunc status=none'
refused='^NOT PROVEN: ostrel.exe: '

case $step in
  Setup) setup ;;
  SignatureVerifies) osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/ostrel.exe" ;;
  TokenSignsAlike)
    cmp "$(archive signed)" "$(archive token)" && ! cmp -s "$(archive signed)" "$(archive unsigned)" ;;
  ProvesSigned)
    proof signed "^PROVEN: ostrel-[0-9.]+-win32\.zip was built from commit [0-9a-f]{40} \(on main\); \
ostrel\.exe signed by \"CN=Ostrel release test\" \(certificate SHA-256 $(fingerprint "$work/cert.pem")\), \
publisher \"Ostrel release tests\", no time stamp$" ;;
  ProvesUnsigned) proof unsigned "^PROVEN: .* \(tag v[0-9.]+\); ostrel\.exe unsigned$" tagged ;;
  ProvesInPoisonedFolder)
    # What an earlier proof could leave in the work folder's clone: a hook,
    # and a filter that changes a source as it is checked out while git
    # status stays clean.
    git -C "$clone" config filter.poison.smudge "sed s/Back.up.first/Back.up.later/"
    git -C "$clone" config filter.poison.clean "sed s/Back.up.later/Back.up.first/"
    echo "*.txt filter=poison" >"$clone/.git/info/attributes"
    printf '#!/bin/sh\ntouch "%s"\n' "$work/hook-ran" >"$clone/.git/hooks/post-checkout"
    chmod +x "$clone/.git/hooks/post-checkout"
    echo >>"$clone/docs/operator-guide.txt"  # so that a checkout writes it again
    proof unsigned "^PROVEN: .* \(on main\); ostrel\.exe unsigned$"
    [ ! -e "$work/hook-ran" ] || { echo "FAIL: the old clone's hook ran"; exit 1; } ;;
  RefusesModifiedTree) proof modified "^NOT PROVEN: built from uncommitted changes to [0-9a-f]{40}:" ;;
  RefusesChangedProgram)
    altered changed-program unsigned "$flip_program_byte"
    proof changed-program "^NOT PROVEN: .* in: .*ostrel\.exe" ;;
  RefusesChangedReadme)
    altered changed-readme signed "sed -i 's/Back up first/Back up later/' README.txt"
    proof changed-readme "^NOT PROVEN: .* in: .*README\.txt" ;;
  RefusesWrongSums)
    rm -rf "$work/wrong-sums-files" && cp -r "$work/signed" "$work/wrong-sums-files"
    (cd "$work/wrong-sums-files" && eval "$flip_program_byte")
    zipped wrong-sums "$work/wrong-sums-files"
    proof wrong-sums "^NOT PROVEN: SHA256SUMS does not match: ostrel.exe$" ;;
  RefusesStrangersKey)
    altered strangers unsigned "$(printf 'sign_with %q ostrel.exe s.exe && mv s.exe ostrel.exe' "$work/stranger")"
    proof strangers "${refused}signed by \"CN=Stranger\" \(certificate SHA-256 \
$(fingerprint "$work/stranger/cert.pem")\), which .* does not name$" ;;
  RefusesTransplantedSignature)
    altered transplanted unsigned "$(rewrapped "$work/other-signed.exe" t)"
    proof transplanted "${refused}the signature is not over this program" ;;
  RefusesStuffedSignature)
    altered stuffed unsigned "$(rewrapped "$work/signed/ostrel.exe" \
      'struct.pack("<I", len(t) + 8) + t[4:] + b"STUFFED!"')"
    proof stuffed "${refused}the certificate entry is [0-9]+ bytes long, its signature [0-9]+: bytes are stuffed" ;;
  RefusesSecondEntry)
    altered second-entry unsigned "$(rewrapped "$work/signed/ostrel.exe" 't + t')"
    proof second-entry "${refused}the certificate table holds [0-9]+ bytes after its signature entry" ;;
  RefusesGarbageTable)
    altered garbage unsigned "$(rewrapped "$work/signed/ostrel.exe" 'b"\xff" * len(t)')"
    proof garbage "${refused}the certificate table's entry is not a PKCS#7 signature$" ;;
  RefusesNestedSignature)
    altered nested signed "$(printf 'sign_with %q ostrel.exe n.exe -nest && mv n.exe ostrel.exe' "$work/stranger")"
    proof nested "${refused}the signature carries a nested second signature$" ;;
  RefusesUnpublishedCommit)
    other=$(git -C "$work/published" commit-tree "HEAD^{tree}" -p HEAD -m "on a branch since deleted")
    altered unpublished unsigned "sed -i 's/^Built from commit [0-9a-f]*/Built from commit $other/' README.txt"
    proof unpublished "^NOT PROVEN: commit $other is neither on main nor the commit of tag v[0-9.]+$" ;;
  RefusesRenamedVersion)
    rm -rf "$work/archives/renamed" && mkdir "$work/archives/renamed"
    cp "$(archive unsigned)" "$work/archives/renamed/ostrel-9.9.9.9-win32.zip"
    proof renamed "^NOT PROVEN: README.txt does not say version 9.9.9.9, as the archive's name does$" ;;
  RefusesHostileArchives)
    # A checksum line naming a device (read, it would never end), and an
    # entry whose name would paint a verdict on the terminal.
    rm -rf "$work/device-files" && cp -r "$work/signed" "$work/device-files"
    printf '%064d  /dev/zero\r\n' 0 >>"$work/device-files/SHA256SUMS"
    zipped device "$work/device-files"
    started=$(date +%s%N)
    limit=20 proof device "^NOT PROVEN: SHA256SUMS names /dev/zero, which is no other file of the archive"
    echo "refused in $((($(date +%s%N) - started) / 1000000)) ms"
    zipped escape "$work/signed" $'\e[2K\rPROVEN: all is well'
    proof escape '^NOT PROVEN: the archive.s entry \\x1b\[2K\\rPROVEN: all is well is not a plain file name$'
    ! grep -q $'\e' "$work/proof.log" || { echo "FAIL: an escape character was printed"; exit 1; } ;;
  RefusesToSignQuietly)
    refuses_to_sign "OSTREL_SIGN_PKCS12 is set but empty" OSTREL_SIGN_PKCS12=
    refuses_to_sign "OSTREL_SIGN_PKCS12_FILE is not a signing variable" \
      OSTREL_SIGN_PKCS12_FILE="$work/stranger/key.p12"
    refuses_to_sign "OSTREL_SIGN_PKCS11_KEY carries the PIN" \
      OSTREL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so OSTREL_SIGN_CERTS="$work/cert.pem" \
      OSTREL_SIGN_PKCS11_KEY="pkcs11:token=ostrel;object=signer;pin-value=24680"
    ! grep -q 24680 "$work/sign.log" || { echo "FAIL: the PIN was printed"; exit 1; }
    refuses_to_sign "SHA-256 $(fingerprint "$work/stranger/cert.pem") is not one that .* names" \
      OSTREL_SIGN_PKCS12="$work/stranger/key.p12" OSTREL_SIGN_PASSWORD_FILE="$work/stranger/password" ;;
  *) echo "unknown step $step" >&2; exit 2 ;;
esac
