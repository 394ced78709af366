#!/usr/bin/env bash
# The command-line tool end to end: a demo device made with add, rebuilt from
# its media files, then reset. Needs SONARCHIVE_CLI and ffmpeg.
set -euo pipefail
cli=${SONARCHIVE_CLI:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

device=$work/device
"$(dirname "$0")/../scripts/make-demo-device" "$device" >/dev/null
[[ $("$cli" list "$device" | wc -l) -eq 14 ]] || fail "14 tracks expected after add"
"$cli" list "$device" | grep -q $'Morning Light\tThe Lanterns\tFirst Album' || fail "tags of an added track"
"$cli" list "$device" | grep -q $'夜の街\t青い鳥\t東京\t2020' || fail "tags in Japanese"
[[ $("$cli" playlists "$device" | cut -f2-4 | tr '\t\n' ' |') == "master 14 iPod|normal 4 Road Trip|normal 5 Quiet Evenings|onthego 3 On-The-Go 1|" ]] ||
  fail "the demo playlists: $("$cli" playlists "$device")"
"$cli" list "$device" | grep -q $'Night Drive\tMotorway Echo\tNeon Roads\t2017\t5\t\u2605\u2605\u2605\u2605\u2605\t' ||
  fail "the demo's plays since its last sync: $("$cli" list "$device" | grep 'Night Drive')"

rm "$device/iPod_Control/iTunes/Sonarchive"
out=$("$cli" rebuild "$device")
[[ $(head -1 <<<"$out") == "Loading Current DB..." ]] || fail "rebuild status lines: $out"
[[ $(tail -2 <<<"$out" | tr '\n' '|') == "Writting DB...|DONE|" ]] || fail "rebuild end: $out"
[[ $(grep -c '^Adding File  ' <<<"$out") -eq 14 ]] || fail "every file announced"
[[ $("$cli" list "$device" | wc -l) -eq 14 ]] || fail "14 tracks expected after rebuild"

"$cli" reset "$device" >/dev/null
[[ -f $device/iPod_Control/iTunes/Sonarchive.bak ]] || fail "the replaced database is kept"
[[ $("$cli" list "$device" | wc -l) -eq 0 ]] || fail "no track expected after reset"

# A file that is not media is refused and nothing is written.
echo text >"$work/notes.txt"
if "$cli" add "$device" "$work/notes.txt" 2>/dev/null; then fail "a text file was added"; fi
[[ $("$cli" list "$device" | wc -l) -eq 0 ]] || fail "nothing added"
echo ok
