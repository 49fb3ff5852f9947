#!/usr/bin/env bash
# Installs the built programs into a temporary prefix and runs them from
# there with a private home: RUNPATH, the seeded data folder, --version, the
# desktop program started and closed offscreen, the desktop entry, the man
# pages and the bash completion.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"

for f in bin/lumora bin/lumora-cli lib/liblmtools.so share/lumora/LM_IDS.DAT \
  share/lumora/tips.dat share/lumora/filter.cfg share/lumora/filter2.cfg \
  share/lumora/help/lumora.html share/applications/lumora.desktop \
  share/icons/hicolor/scalable/apps/lumora.svg share/bash-completion/completions/lumora-cli \
  share/man/man1/lumora.1 share/man/man1/lumora-cli.1 share/man/de/man1/lumora.1 \
  share/man/de/man1/lumora-cli.1; do
  [ -s "$f" ] || [ "$f" = share/lumora/filter2.cfg -a -f "$f" ] || fail "missing $f"
done
for p in bin/lumora bin/lumora-cli; do
  [[ $(readelf -d "$p") == *'RUNPATH'*'[$ORIGIN/../lib]'* ]] || fail "$p: RUNPATH"
done
# The library comes from the prefix, not from the build tree.
[[ $(ldd bin/lumora) == *"liblmtools.so => $prefix/bin/../lib/liblmtools.so"* ]] ||
  fail "liblmtools.so not from the prefix"

export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset LD_LIBRARY_PATH
[ "$(bin/lumora-cli --version)" = "lumora-cli $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] ||
  fail "lumora-cli --version: $(bin/lumora-cli --version)"
[[ $(bin/lumora --version) =~ ^lumora\ [0-9.]+$ ]] || fail "lumora --version"

bin/lumora-cli scan "$src/samples" >"$work/list.txt" || fail "installed lumora-cli scan"
grep -q GAME1.ZIP "$work/list.txt" || fail "list lacks GAME1.ZIP"
[ -f "$XDG_DATA_HOME/Lumora/help/lumora.html" ] || fail "data folder not seeded with the help"

# The user's own LM_IDS.DAT survives the desktop program's start.
printf 'MY.DIZ\r\n' >"$XDG_DATA_HOME/Lumora/LM_IDS.DAT"
QT_QPA_PLATFORM=offscreen LUMORA_QUIT_AFTER_MS=300 timeout 60 bin/lumora 2>"$work/gui.err" ||
  { cat "$work/gui.err" >&2; fail "lumora did not start and quit cleanly"; }
grep -q MY.DIZ "$XDG_DATA_HOME/Lumora/LM_IDS.DAT" || fail "user's LM_IDS.DAT replaced"

desktop-file-validate share/applications/lumora.desktop || fail "desktop entry"
for page in share/man/man1/*.1 share/man/de/man1/*.1; do
  warn=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warn" ] || fail "$page: $warn"
done

# Completion offers the commands, and a command's options, from the help.
complete_words() {
  COMP_WORDS=("$@") COMP_CWORD=$(($# - 1))
  _lumora_cli
  echo "${COMPREPLY[*]}"
}
PATH=$prefix/bin:$PATH
# shellcheck disable=SC1091
. share/bash-completion/completions/lumora-cli
[ "$(complete_words lumora-cli sca)" = "scan scan2" ] || fail "command completion"
[ "$(complete_words lumora-cli scan --rec)" = "--recursive" ] || fail "option completion"
echo "install test passed"
