#!/usr/bin/env bash
# The command-line tool end to end: a demo device made with add (its albums
# given covers), copied with its covers, rebuilt from its media files, then
# reset. Needs SONARCHIVE_CLI, ffmpeg and ImageMagick's identify.
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
"$cli" list "$device" | grep -q $'^6\tNight Drive\tMotorway Echo\tNeon Roads\t2017\t[^\t]*\t5\t\xe2\x98\x85\xe2\x98\x85\xe2\x98\x85\xe2\x98\x85\xe2\x98\x85$' ||
  fail "the demo's plays since its last sync: $("$cli" list "$device" | grep 'Night Drive')"

# The twelve album tracks have covers; the AAC file and the film have none.
[[ $("$cli" list --json "$device" | grep -c '"hasCover": true,\?$') -eq 12 ]] || fail "12 tracks with covers"
"$cli" cover "$device" 1 "$work/cover.png" >/dev/null || fail "the cover of track 1"
[[ $(identify -format '%m %wx%h' "$work/cover.png") == "PNG 200x200" ]] || fail "cover.png: $(identify "$work/cover.png")"
[[ $("$cli" cover "$device" 13 "$work/none.jpg" 2>&1) == "sonarchive: track 13 has no cover" ]] || fail "no cover for the AAC file"
# An album in each folder: each gets its cover.jpg; the folder of the tracks without an album none.
out=$("$cli" copy "$device" "$work/copy" --all --covers --name '{artist}/{album}/{track:02} {title}' 2>&1)
[[ $out == "sonarchive: copied without tags: $work/copy/Unknown/Unknown/Chime.aac.AAC (no tags can be written into a .AAC file)
copied 14 of 14 files to $work/copy, copied without tags: 1, 6 album covers written" ]] || fail "copy --covers: $out"
[[ $(cd "$work/copy" && find . -name cover.jpg | sort | tr '\n' '|') == \
   "./Ada Brook/Quiet Hours/cover.jpg|./Claire Dumas/Saisons/cover.jpg|./Motorway Echo/Neon Roads/cover.jpg|./The Lanterns/First Album/cover.jpg|./Нева/Город/cover.jpg|./青い鳥/東京/cover.jpg|" ]] ||
  fail "the album covers: $(cd "$work/copy" && find . -name cover.jpg)"
[[ $(identify -format '%m %wx%h' "$work/copy/Ada Brook/Quiet Hours/cover.jpg") == "JPEG 200x200" ]] || fail "cover.jpg"

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
