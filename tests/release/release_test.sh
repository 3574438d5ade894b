#!/usr/bin/env bash
# The release tests: release_test.sh STEP WORK, one ctest entry a step.
#   Setup: packages the checked-out commit in a clone (WORK/verifier/clone,
#     whose build the proofs below reuse) three times: signed with a
#     throwaway key from a PKCS#12 file, the kit too, with the same key on a
#     SoftHSM2 token, and unsigned, the kit too (Package.Reproducible
#     compares a build of its own with those); then once more unsigned, with an
#     uncommitted change. The key and the token live in a temporary folder
#     that goes when Setup ends; its certificate stays in WORK, named by the
#     tests' publishers file, beside a program of another build that the key
#     signed and a stranger's throwaway keys, RSA and EC. Two repositories
#     publish the commit: WORK/published on main's first-parent line, with a
#     branch's commit merged beside it, and WORK/tagged by its version's tag.
#   any other step: one check of those archives (see the cases below).
set -euo pipefail
step=$1 work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
clone=$work/verifier/clone
publishers=$work/publishers.txt
# The tests' publishers file, for the proofs that need it.
options=(--publishers "$publishers")
# The unsigned package is compared with another build for reproducibility.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
# The tests' own commits need a name, which CI's user may not have.
export GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@invalid
export GIT_COMMITTER_NAME=test GIT_COMMITTER_EMAIL=test@invalid

# archive LABEL: the archive kept under LABEL; kit_archive LABEL: its kit.
archive() { echo "$work"/archives/"$1"/ostrel-*-win32.zip; }
kit_archive() { echo "$work"/archives/"$1"/ostrel-*-win32-selftest.zip; }

# package_as LABEL OPTION...: packages the clone with the OSTREL_SIGN_* given.
package_as() {
  (cd "$clone" && ./scripts/package.sh "${@:2}" >"$work/package.log" 2>&1) \
    || { cat "$work/package.log"; exit 1; }
  mkdir -p "$work/archives/$1" && cp "$clone"/dist/ostrel-*-win32*.zip "$work/archives/$1/"
}

# new_key FOLDER NAME [KIND OPTION...]: a throwaway key (RSA unless KIND
# says otherwise) and its self-signed certificate.
new_key() {
  mkdir -p "$1"
  openssl req -x509 -newkey "${3:-rsa:2048}" "${@:4}" -nodes -days 2 -subj "/CN=$2" \
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
# on its main's first-parent line, where a branch's commit whose build would
# leave WORK/poison-ran is merged beside it, or by the tag of the archives'
# version, on a main one commit ahead.
publish() {
  local commit version
  commit=$(git -C "$root" rev-parse HEAD)
  version=$(basename "$(archive unsigned)" -win32.zip)
  git clone -q --no-hardlinks "$root" "$1"
  git -C "$1" remote remove origin
  git -C "$1" checkout -q --detach "$commit"
  if [ "$2" = main ]; then
    printf '#!/bin/sh\ntouch "%s"\n' "$work/poison-ran" >"$1/scripts/package.sh"
    git -C "$1" commit -qam "a branch's commit, never reviewed"
    git -C "$1" branch -f main "$(git -C "$1" commit-tree "$commit^{tree}" -p "$commit" -p HEAD -m merge)"
    git -C "$1" checkout -q --detach "$commit"
  else
    git -C "$1" branch -f main "$(git -C "$1" commit-tree "$commit^{tree}" -p "$commit" -m later)"
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
  echo "$(fingerprint "$work/cert.pem")  Ostrel release tests" >"$publishers"
  OSTREL_SIGN_PKCS12=$secret/key.p12 OSTREL_SIGN_PASSWORD_FILE=$secret/password \
    package_as signed "${options[@]}"

  mkdir "$secret/tokens"
  export SOFTHSM2_CONF=$secret/softhsm2.conf
  echo "directories.tokendir = $secret/tokens" >"$SOFTHSM2_CONF"
  softhsm2-util --init-token --free --label ostrel --pin 4321 --so-pin 8765 >/dev/null
  openssl pkcs8 -topk8 -nocrypt -in "$secret/key.pem" -out "$secret/key.pk8"
  softhsm2-util --import "$secret/key.pk8" --token ostrel --label signer --id 01 --pin 4321 >/dev/null
  echo 4321 >"$secret/pin"
  OSTREL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so OSTREL_SIGN_CERTS=$work/cert.pem \
    OSTREL_SIGN_PKCS11_KEY="pkcs11:token=ostrel;object=signer" OSTREL_SIGN_PASSWORD_FILE=$secret/pin \
    OSTREL_SIGN_PKCS11_ENV=SOFTHSM2_CONF package_as token --program-only "${options[@]}"
  package_as unsigned --unsigned
  # From a tree with an uncommitted change: stamped, and never proven.
  echo >>"$clone/LICENSE"
  package_as modified --program-only --unsigned
  git -C "$clone" checkout -q LICENSE
  # The proofs may use the build tree as it is now.
  python3 "$root/scripts/work_folder.py" stamp "$work/verifier"
  python3 -m zipfile -e "$(archive signed)" "$work/signed"
  python3 -m zipfile -e "$(archive unsigned)" "$work/unsigned"

  # Another build's program, signed with the same key.
  python3 -m zipfile -e "$(archive unsigned)" "$work/other"
  printf X | dd of="$work/other/ostrel.exe" bs=1 seek=100 conv=notrunc status=none
  sign_with "$secret" "$work/other/ostrel.exe" "$work/other-signed.exe"
  new_key "$work/stranger" "Stranger"
  new_key "$work/elliptic" "Elliptic" ec -pkeyopt ec_paramgen_curve:P-256
  sign_with "$work/elliptic" "$work/unsigned/ostrel.exe" "$work/elliptic-signed.exe"
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

# rewrapped SIGNED CODE: a change that gives the unpacked ostrel.exe the
# certificate table that CODE, Python statements, make of SIGNED's and
# leave in "table": with SIGNED's table (t), its signature's DER (d),
# scripts/authenticode.py (a) and the folder of the keys (w) at hand.
rewrapped() {
  echo "python3 -c 'import ssl, struct, sys; sys.path[0] = \"$root/scripts\"
import authenticode as a
from copy_signature import certificate_table, with_signature
w, signed = \"$work\", open(\"$1\", \"rb\").read()
t, d = certificate_table(signed), a.signature_der(signed)[0]
$2
image = with_signature(open(\"ostrel.exe\", \"rb\").read(), table)
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
# repository that publishes the commit (published, on main) on the archive,
# with the tests' publishers file (the repository's own when $unnamed is
# set), in the work folder $folder (WORK/verifier); its status and last line
# as expected (a regular expression). A proof that takes longer than $limit
# seconds (600) has hung.
proof() {
  local status=0 options=("${options[@]}")
  [ -z "${unnamed:-}" ] || options=()
  timeout "${limit:-600}" "$work/${3:-published}/scripts/verify-release.sh" "${options[@]}" \
    "$(archive "$1")" "${folder:-$work/verifier}" >"$work/proof.log" 2>&1 || status=$?
  cat -v "$work/proof.log"
  tail -1 "$work/proof.log" | grep -Eq "$2" || { echo "FAIL: expected a last line like: $2"; exit 1; }
  case $2 in ^PROVEN*) [ $status -eq 0 ] ;; *) [ $status -ne 0 ] && [ $status -ne 124 ] ;; esac \
    || { echo "FAIL: exit status $status"; exit 1; }
}

# refuses_to_sign EXPECTED VARIABLE=VALUE...: packaging with those fails,
# saying EXPECTED (a regular expression), and leaves no archive, not even
# the stale ones of an earlier run.
refuses_to_sign() {
  mkdir -p "$clone/dist" && cp "$work"/archives/unsigned/*.zip "$clone/dist/"
  if (cd "$clone" && env "${@:2}" ./scripts/package.sh --program-only "${options[@]}") \
    >"$work/sign.log" 2>&1; then
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
  SignsTheKit)
    # Every program and DLL of the signed kit is signed as ostrel.exe is,
    # none of the unsigned kit's; each kit's README says which it is.
    for label in signed unsigned; do
      rm -rf "$work/kit-$label" && python3 -m zipfile -e "$(kit_archive $label)" "$work/kit-$label"
    done
    cmp "$work/kit-signed/ostrel.exe" "$work/signed/ostrel.exe"
    programs=$(cd "$work/kit-signed" && find . -name '*.exe' -o -name '*.dll' | sort)
    [ "$(wc -l <<<"$programs")" -eq 10 ] || { echo "FAIL: the kit's programs: $programs"; exit 1; }
    for program in $programs; do
      osslsigncode verify -CAfile "$work/cert.pem" -in "$work/kit-signed/$program" >/dev/null \
        || { echo "FAIL: $program of the signed kit"; exit 1; }
      ! osslsigncode verify -in "$work/kit-unsigned/$program" >/dev/null 2>&1 \
        || { echo "FAIL: $program of the unsigned kit is signed"; exit 1; }
    done
    grep -q "signed by Ostrel's publisher" "$work/kit-signed/README.txt" \
      && ! grep -q "Unblock" "$work/kit-signed/README.txt" \
      && grep -q "NOT signed" "$work/kit-unsigned/README.txt" \
      && grep -q 'tick "Unblock"' "$work/kit-unsigned/README.txt" ;;
  TokenSignsAlike)
    cmp "$(archive signed)" "$(archive token)" && ! cmp -s "$(archive signed)" "$(archive unsigned)" ;;
  ProvesSigned)
    proof signed "^PROVEN: ostrel-[0-9.]+-win32\.zip \(SHA-256 $(sha256sum <"$(archive signed)" | cut -c1-64)\) \
is a development build of main, commit [0-9a-f]{40}; ostrel\.exe signed by \"CN=Ostrel release test\" \
\(certificate SHA-256 $(fingerprint "$work/cert.pem")\), publisher \"Ostrel release tests\" in \
$publishers \(--publishers\)$" ;;
  ProvesUnsigned)
    unnamed=1 proof unsigned "^PROVEN: .* is release v[0-9.]+, built from commit [0-9a-f]{40}; \
ostrel\.exe unsigned$" tagged ;;
  RefusesStrippedSignature)
    altered stripped signed "python3 -c 'import sys; sys.path[0] = \"$root/scripts\"
from copy_signature import without_signature
image = without_signature(open(\"ostrel.exe\", \"rb\").read())
open(\"ostrel.exe\", \"wb\").write(image)'"
    proof stripped "${refused}unsigned, but .* names a publisher: the publisher signs releases$" ;;
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
    unnamed=1 proof unsigned "^PROVEN: .* is a development build of main, .*; ostrel\.exe unsigned$"
    [ ! -e "$work/hook-ran" ] || { echo "FAIL: the old clone's hook ran"; exit 1; } ;;
  RefusesModifiedTree) proof modified "^NOT PROVEN: built from uncommitted changes to [0-9a-f]{40}:" ;;
  RefusesChangedProgram)
    altered changed-program unsigned "$flip_program_byte"
    unnamed=1 proof changed-program "^NOT PROVEN: .* in: .*ostrel\.exe" ;;
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
    altered transplanted unsigned "$(rewrapped "$work/other-signed.exe" 'table = t')"
    proof transplanted "${refused}the signature is not over this program" ;;
  RefusesStuffedSignature)
    altered stuffed unsigned "$(rewrapped "$work/signed/ostrel.exe" \
      'table = struct.pack("<I", len(t) + 8) + t[4:] + b"STUFFED!"')"
    proof stuffed "${refused}the certificate entry is [0-9]+ bytes long, its signature [0-9]+: bytes are stuffed" ;;
  RefusesSecondEntry)
    altered second-entry unsigned "$(rewrapped "$work/signed/ostrel.exe" 'table = t + t')"
    proof second-entry "${refused}the certificate table holds [0-9]+ bytes after its signature entry" ;;
  RefusesGarbageTable)
    altered garbage unsigned "$(rewrapped "$work/signed/ostrel.exe" 'table = b"\xff" * len(t)')"
    proof garbage "${refused}the certificate table's entry is not a PKCS#7 signature$" ;;
  RefusesNestedSignature)
    altered nested signed "$(printf 'sign_with %q ostrel.exe n.exe -nest && mv n.exe ostrel.exe' "$work/stranger")"
    proof nested "${refused}the signature carries a nested second signature$" ;;
  RefusesUnreleasedCommits)
    # Each refused before anything of it is built: a commit of a deleted
    # branch, one that reached main only through a merge (whose build leaves
    # poison-ran), and main's own commit before the one its version's tag names.
    deleted=$(git -C "$work/published" commit-tree "HEAD^{tree}" -p HEAD -m "on a branch since deleted")
    while read -r label repository commit expected; do
      altered "$label" unsigned "sed -i 's/^Built from commit [0-9a-f]*/Built from commit $commit/' README.txt"
      proof "$label" "^NOT PROVEN: $expected" "$repository"
      ! grep -q '^building' "$work/proof.log" && [ ! -e "$work/poison-ran" ] || { echo "FAIL: built"; exit 1; }
    done <<EOF
deleted published $deleted commit $deleted is not on main's first-parent line, and no tag
merged published $(git -C "$work/published" rev-parse main^2) commit [0-9a-f]{40} is not on main's first-parent
older tagged $(git -C "$work/tagged" rev-parse HEAD^) tag v[0-9.]+ releases commit [0-9a-f]{40}, not [0-9a-f]{40}:
EOF
    ;;
  RefusesPlantedWorkFolder)
    # Another user's repository and file, linked where a proof writes, and a
    # work folder that others can change: refused, and what is theirs untouched.
    victim=$work/someone-else
    rm -rf "$victim" && git init -q "$victim" && echo theirs >"$victim/file" && echo log >"$victim/log"
    git -C "$victim" add file && git -C "$victim" commit -qm theirs
    for plant in "ln -s $victim clone" "ln -s $victim/log package.log" "chmod 777 ."; do
      rm -rf "$work/planted" && mkdir "$work/planted" && (cd "$work/planted" && $plant)
      folder=$work/planted proof signed "^NOT PROVEN: .*(is a link: the proof writes there|can be changed by other users)$"
    done
    [ "$(cat "$victim/file" "$victim/log")" = $'theirs\nlog' ] && [ "$(git -C "$victim" log --format=%s)" = theirs ] \
      && [ -z "$(git -C "$victim" status --porcelain --untracked-files=no)" ] || { echo "FAIL: theirs touched"; exit 1; }
    # A build tree is used again as the last proof left it, never once changed.
    rm -rf "$work/planted" && mkdir -p "$work/planted/clone/build" && echo ours >"$work/planted/clone/build/tool"
    for change in : "echo planted >$work/planted/clone/build/tool"; do
      python3 "$root/scripts/work_folder.py" stamp "$work/planted" && eval "$change"
      python3 "$root/scripts/work_folder.py" reuse "$work/planted"
    done
    [ ! -e "$work/planted/clone/build" ] || { echo "FAIL: a changed build tree is used again"; exit 1; } ;;
  RefusesRewrappedSignatures)
    # The genuine signature with bytes nobody signed put in or relabelled, as
    # anyone can without the key, and an EC key's signature labelled RSA.
    while IFS='|' read -r label signed change expected; do
      altered "$label" unsigned "$(rewrapped "$work/$signed" "$change")"
      proof "$label" "${refused}$expected"
    done <<'EOF'
extra-certificate|signed/ostrel.exe|s = a.parse(d); table = a.table_entry(a.encode(s._replace(certificates=s.certificates + [ssl.PEM_cert_to_DER_cert(open(w + "/stranger/cert.pem").read())])))|the signature carries a certificate \(SHA-256 [0-9a-f]{64}\) beside its signer.s that .* does not name
time-stamp|signed/ostrel.exe|s = a.parse(d); table = a.table_entry(a.encode(s._replace(unsigned=a.der(0xA1, a.der(0x30, a.der_oid(a.TIME_STAMPS[1]) + a.der(0x31, a.der(0x04, bytes(4096))))))))|the signature carries a time stamp, which no proof checks yet
no-null|signed/ostrel.exe|a.algorithm_identifier = lambda name: a.der(0x30, a.der_oid(name)); table = a.table_entry(a.encode(a.parse(d)))|the signature.s bytes are not those the signing step writes
relabelled|signed/ostrel.exe|a.RSA_ENCRYPTION = "1.2.840.113549.1.1.11"; table = a.table_entry(a.encode(a.parse(d)))|the signature.s bytes are not those the signing step writes
unpadded|signed/ostrel.exe|table = struct.pack("<I", 8 + len(d)) + t[4:8] + d|the signature.s bytes are not those the signing step writes
elliptic|elliptic-signed.exe|a.RSA_LABELS += ("1.2.840.10045.4.3.2", "1.2.840.10045.2.1"); table = a.table_entry(a.encode(a.parse(d)))|the signer.s certificate holds no RSA key
EOF
    ;;
  RefusesMalformedSignatures)
    # The genuine signature cut at every byte, and with every byte changed:
    # each refused, none with a traceback. (The checksum, which a signature
    # does not cover, is left as it is.)
    python3 - "$root/scripts" "$work/signed/ostrel.exe" "$publishers" <<'EOF'
import struct, sys
sys.path[0] = sys.argv[1]
import authenticode, check_published
signed = open(sys.argv[2], "rb").read()
named, (signature, offset) = authenticode.publishers(sys.argv[3]), authenticode.signature_der(signed)
print(check_published.check_signature(signed, named, "publishers"))
variants = [signature[:cut] for cut in range(len(signature))] + [
    signature[:at] + bytes([signature[at] ^ 0x5A]) + signature[at + 1:] for at in range(len(signature))]
accepted = 0
for variant in variants:
    image = bytearray(signed[:offset]) + authenticode.table_entry(variant)
    struct.pack_into("<I", image, authenticode.header_offsets(signed)[1] + 4, len(image) - offset)
    try:
        check_published.check_signature(bytes(image), named, "publishers")
        accepted += 1
    except authenticode.Refused:
        pass
print(f"{len(variants)} cut or changed signatures, {accepted} accepted")
sys.exit(accepted != 0)
EOF
    ;;
  RefusesBombs)
    # 128 MiB of zeros in an entry that declares 1 KiB, bzip2 and deflate:
    # refused before much of it is held, within 96 MiB of memory.
    for method in ZIP_BZIP2 ZIP_DEFLATED; do
      rm -rf "$work/archives/bomb" && mkdir "$work/archives/bomb"
      python3 - "$method" "$work/archives/bomb/$(basename "$(archive signed)")" <<'EOF'
import sys, zipfile
info = zipfile.ZipInfo("ostrel.exe")
info.compress_type = getattr(zipfile, sys.argv[1])
with zipfile.ZipFile(sys.argv[2], "w") as z:
    z.writestr(info, bytes(128 << 20))
data = bytearray(open(sys.argv[2], "rb").read())
for header, at in ((b"PK\x03\x04", 22), (b"PK\x01\x02", 24)):
    data[data.index(header) + at:data.index(header) + at + 4] = (1024).to_bytes(4, "little")
open(sys.argv[2], "wb").write(data)
EOF
      (ulimit -v 98304 && proof bomb "^NOT PROVEN: the archive.s entry ostrel.exe (is compressed with \
method 12: only stored and deflated|holds more than the 1024 bytes it declares)")
    done ;;
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
    refuses_to_sign "no signing key is configured"
    refuses_to_sign "OSTREL_SIGN_PKCS12 is set but empty" OSTREL_SIGN_PKCS12=
    refuses_to_sign "OSTREL_SIGN_PKCS12_FILE is not a signing variable" \
      OSTREL_SIGN_PKCS12_FILE="$work/stranger/key.p12"
    refuses_to_sign "OSTREL_SIGN_PKCS11_KEY carries the PIN" \
      OSTREL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so OSTREL_SIGN_CERTS="$work/cert.pem" \
      OSTREL_SIGN_PKCS11_KEY="pkcs11:token=ostrel;object=signer;pin-value=24680"
    ! grep -q 24680 "$work/sign.log" || { echo "FAIL: the PIN was printed"; exit 1; }
    refuses_to_sign "SHA-256 $(fingerprint "$work/stranger/cert.pem") is not one that .* names" \
      OSTREL_SIGN_PKCS12="$work/stranger/key.p12" OSTREL_SIGN_PASSWORD_FILE="$work/stranger/password"
    # A password, and a whole PKCS#12, put where a file's name belongs.
    while read -r variable value; do
      refuses_to_sign "$variable names no readable file" OSTREL_SIGN_PKCS12="$work/stranger/key.p12" \
        OSTREL_SIGN_PASSWORD_FILE="$work/stranger/password" "$variable=$value"
      ! grep -qF -- "$value" "$work/sign.log" || { echo "FAIL: the value of $variable was printed"; exit 1; }
    done <<EOF
OSTREL_SIGN_PASSWORD_FILE S3cr3t-Passw0rd!
OSTREL_SIGN_PKCS12 $(base64 -w0 "$work/stranger/key.p12")
EOF
    ;;
  *) echo "unknown step $step" >&2; exit 2 ;;
esac
