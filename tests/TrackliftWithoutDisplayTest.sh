#!/usr/bin/env bash
# Tracklift's --version and --help answered with no display to open, as when
# its manual page is made. Needs TRACKLIFT and VERSION.
set -euo pipefail
tracklift=${TRACKLIFT:?}
fail() { echo "FAIL: $*" >&2; exit 1; }
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb  # would abort without a display

out=$("$tracklift" --version) || fail "--version exited with $?"
[[ $out == "tracklift ${VERSION:?}" ]] || fail "--version printed: $out"
out=$("$tracklift" --help) || fail "--help exited with $?"
[[ $(head -1 <<<"$out") == "Usage: tracklift [options]" ]] || fail "usage line: $(head -1 <<<"$out")"
grep -q -- "--device <dir>" <<<"$out" || fail "--help names no --device: $out"
# Qt's own options still reach it.
out=$("$tracklift" -platform offscreen --version) || fail "-platform offscreen --version exited with $?"
[[ $out == "tracklift ${VERSION:?}" ]] || fail "-platform offscreen --version printed: $out"
status=0
"$tracklift" -platform offscreen --bogus 2>/dev/null || status=$?
[[ $status -eq 2 ]] || fail "an unknown option ended with $status"
echo ok
