#!/usr/bin/env bash
# Builds the Debian package in a finished build folder and checks it as a user would meet
# it: the files it holds, the unpacked programs keeping every file in the user's folders,
# the manual pages, the desktop file, the shell completion and lintian.
# Usage: scripts/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

rm -f "$build"/quillon_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillon_*_amd64.deb)
echo "package: $(basename "$deb")"

# Every file the install promises.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$tmp/contents"
for f in /usr/bin/quillon /usr/bin/quillon-cli /usr/bin/quillon-virtual-printer \
  /usr/share/quillon/config.ini /usr/share/quillon/language_msg.ini \
  /usr/share/quillon/language_main.ini /usr/share/quillon/language_net_edit.ini \
  /usr/share/quillon/language_wifi.ini /usr/share/quillon/language_serial_number.ini \
  /usr/share/quillon/sample_font.bin /usr/share/applications/quillon.desktop \
  /usr/share/quillon/production/sample-profile.ini /usr/share/quillon/production/sample-logo.png \
  /usr/share/quillon/production/sample-test.txt \
  /usr/share/icons/hicolor/48x48/apps/quillon.png /usr/share/icons/hicolor/256x256/apps/quillon.png \
  /usr/share/icons/hicolor/scalable/apps/quillon.svg /usr/lib/udev/rules.d/60-quillon-printer.rules \
  /usr/share/man/man1/quillon.1.gz /usr/share/man/man1/quillon-cli.1.gz \
  /usr/share/man/man1/quillon-virtual-printer.1.gz \
  /usr/share/bash-completion/completions/quillon-cli /usr/share/doc/quillon/copyright; do
  grep -qx "$f" "$tmp/contents" || fail "$f missing from the package"
done
dpkg-deb -f "$deb" Depends | grep -q libusb || fail "dependencies were not computed"
dpkg-deb -e "$deb" "$tmp/control"
grep -q 'udevadm control --reload-rules' "$tmp/control/postinst" || fail "postinst reloads no rules"

# Unpacked, a new user's files go to the user's folders and nothing under /usr changes.
root=$tmp/root
dpkg-deb -x "$deb" "$root"
find "$root/usr" -printf '%p %s %T@\n' | sort >"$tmp/usr-before"
user=$tmp/user
mkdir -p "$user"
as_user() { env HOME="$user" XDG_CONFIG_HOME="$user/config" XDG_STATE_HOME="$user/state" "$@"; }
cli=$root/usr/bin/quillon-cli
as_user "$cli" --virtual-printer get info >"$tmp/info" || fail "get info failed"
[ -s "$tmp/info" ] || fail "get info printed nothing"
[ -f "$user/config/quillon/config.ini" ] || fail "config.ini was not created in XDG_CONFIG_HOME"
ls "$user/state/quillon/log/"*.txt >/dev/null 2>&1 || fail "no log in XDG_STATE_HOME"
as_user "$cli" --virtual-printer set language 1 >/dev/null
[ "$(as_user "$cli" --virtual-printer get language)" = 1 ] || fail "virtual printer forgot a setting"
[ -f "$user/state/quillon/virtual-printer.state" ] || fail "no virtual printer state"
as_user "$cli" --help | grep -q "installed use" || fail "quillon-cli --help does not say the folders"
# The shipped sample profile runs as it is, and its records go to the user's state folder.
as_user "$cli" --virtual-printer=2 --factory-state --quiet station \
  "$root/usr/share/quillon/production/sample-profile.ini" >/dev/null || fail "sample station failed"
[ -f "$user/state/quillon/records.sqlite" ] || fail "no records in XDG_STATE_HOME"
as_user "$root/usr/bin/quillon" --help | grep -q "$user/config/quillon/" ||
  fail "quillon --help does not say the folders"
find "$root/usr" -printf '%p %s %T@\n' | sort >"$tmp/usr-after"
diff "$tmp/usr-before" "$tmp/usr-after" || fail "files were written under the unpacked /usr"

# Manual pages render without a warning.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

desktop-file-validate "$root/usr/share/applications/quillon.desktop"

# The completion offers commands, setting names and test sequences.
complete_words() {
  bash -c 'source /usr/share/bash-completion/bash_completion
           source "$1"; shift
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
           _quillon_cli; echo "${COMPREPLY[*]}"' _ \
    "$root/usr/share/bash-completion/completions/quillon-cli" "$@"
}
[ "$(complete_words quillon-cli --virtual-printer fa)" = factory-reset ] || fail "command completion"
[ "$(complete_words quillon-cli get lang)" = language ] || fail "setting completion"
[ "$(complete_words quillon-cli records ex)" = export ] || fail "records completion"
[ "$(complete_words quillon-cli --usb c0de:7001 send escpos test)" = test-page ] ||
  fail "test sequence completion"

# lintian: no errors; its warnings are listed.
rc=0
report=$(lintian --tag-display-limit 0 --fail-on error "$deb" 2>&1) || rc=$?
echo "lintian:"
grep -v 'root privileges' <<<"$report" || echo "  (nothing to report)"
[ $rc -eq 0 ] || fail "lintian reports errors"
echo "package checks passed"
