#!/usr/bin/env bash
# The bash completion against the tool itself: every command and option that
# `--help` lists is offered, and nothing else. Needs SONARCHIVE_CLI and COMPLETION.
set -euo pipefail
cli=${SONARCHIVE_CLI:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
source "${COMPLETION:?}"

# The sorted words offered for the command line given, the last word being completed.
offered() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _sonarchive
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | sort -u
    return 0
}
# The commands, or one command's options, as its --help lists them.
listed_commands() { "$cli" --help | sed -n '/^Subcommands:/,$p' | sed -n 's/^  \([a-z-]\+\) .*/\1/p' | sort -u; }
listed_options() { "$cli" "$@" --help | sed -n 's/^  \(-[a-z],\)\?\(--[a-z0-9-]\+\).*/\2/p' | sort -u; }

[[ $(offered sonarchive "") == "$(listed_commands)" ]] || fail "commands: $(offered sonarchive "" | xargs)"
[[ $(offered sonarchive --) == "$(listed_options)" ]] || fail "the tool's options: $(offered sonarchive -- | xargs)"
for command in $(listed_commands); do
    # The tool's own options stay valid after the command.
    expected=$( (listed_options "$command"; echo --repair) | sort -u)
    [[ $(offered sonarchive "$command" --) == "$expected" ]] ||
        fail "options of $command: $(offered sonarchive "$command" -- | xargs), expected $(xargs <<<"$expected")"
done

# Values and arguments.
[[ $(offered sonarchive --repair "") == $'no\nrebuild\nreset' ]] || fail "--repair values"
[[ $(offered sonarchive --repair = re) == $'rebuild\nreset' ]] || fail "--repair=re"
[[ $(offered sonarchive modify dev 5 --skip-when-shuffle "") == $'0\n1' ]] || fail "0 or 1"
[[ $(offered sonarchive copy dev out --tags "") == $'db\nfill\nnone' ]] || fail "--tags values"
[[ -z $(offered sonarchive copy dev out --artist "") ]] || fail "a text value offers nothing"
mkdir "$work/ipod" "$work/out"
touch "$work/song.mp3"
cd "$work"
[[ $(offered sonarchive --repair=no list "") == $'auto\nipod\nout' ]] || fail "DEVICE_ROOT: $(offered sonarchive list "" | xargs)"
[[ $(offered sonarchive copy --all ipod "") == $'ipod\nout' ]] || fail "DEST_DIR: $(offered sonarchive copy --all ipod "" | xargs)"
[[ $(offered sonarchive add ipod s) == song.mp3 ]] || fail "FILE"
[[ $(offered sonarchive copy --playlist Mix "") == $'auto\nipod\nout' ]] || fail "an option's value is no argument"
echo ok
