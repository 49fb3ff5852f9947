#!/usr/bin/env bash
# Makes the Debian package from the built tree, checks its control data and
# runs the lumora-cli unpacked from it on the sample archives.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
deb=$(LUMORA_SKIP_BOOTSTRAP=1 LUMORA_BUILD_DIR=$build "$src/scripts/package" 2>"$work/package.log" | tail -n 1) ||
  { cat "$work/package.log" >&2; fail "scripts/package"; }

depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libstdc++6 libqt6widgets6 libqt6svg6; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
[[ $depends != *lmtools* ]] || fail "Depends names the package's own library: $depends"

dpkg-deb -x "$deb" "$work/root"
[[ $(file "$work/root/usr/lib/liblmtools.so") == *ELF*'shared object'* ]] || fail "liblmtools.so"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data
unset LD_LIBRARY_PATH
"$work/root/usr/bin/lumora-cli" scan "$src/samples" >"$work/list.txt" || fail "unpacked lumora-cli scan"
grep -q GAME1.ZIP "$work/list.txt" || fail "list lacks GAME1.ZIP"
echo "package test passed"
