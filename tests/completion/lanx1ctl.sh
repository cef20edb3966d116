#!/usr/bin/env bash
# The completion of lanx1ctl, as bash calls it: words in, offers out.
#   lanx1ctl.sh COMPLETION-FILE
set -uo pipefail
source "$1" || exit 1
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export HOME="$work/home" XDG_DATA_HOME="$work/data"
mkdir -p INI "$HOME"
printf '[Transmitter]\r\nPort=/tmp/lanx1-pty-7\r\nBaudRate=9600\r\n' > INI/ComPort.ini

# Offers for the words of a command line, the last one being completed.
offers() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _lanx1ctl
    printf '%s\n' "${COMPREPLY[@]}"
}

expect() { # NAME WANT GOT
    if [ "$2" != "$3" ]; then
        echo "FAILED: $1"
        echo "  want: $(echo "$2" | tr '\n' ' ')"
        echo "  got:  $(echo "$3" | tr '\n' ' ')"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

ports=$(offers lanx1ctl --port "")
expect "the port of the settings is offered" yes "$(grep -qx /tmp/lanx1-pty-7 <<<"$ports" && echo yes)"
expect "no console is offered" "" "$(grep -E '^/dev/tty[0-9]+$' <<<"$ports")"
expect "only serial devices" "" "$(grep -vE '^(/dev/serial/by-id/|/dev/tty(USB|ACM|S)|/tmp/lanx1-pty-7$)' <<<"$ports")"
expect "--port=VALUE" "--port=/tmp/lanx1-pty-7" "$(offers lanx1ctl --port=/tmp/lan)"
expect "--port = VALUE, split by readline" "/tmp/lanx1-pty-7" "$(offers lanx1ctl --port = /tmp/lan)"
expect "after a comma in --kinds" "$(printf '0,0\n0,3\n0,4\n0,5')" "$(offers lanx1ctl poll --kinds 0,)"
expect "after two commas" "0,3,4" "$(offers lanx1ctl poll --kinds 0,3,4)"
expect "--bauds after a comma" "9600,19200" "$(offers lanx1ctl scan --bauds 9600,19)"
expect "--ports after a comma" "/dev/x,/tmp/lanx1-pty-7" "$(offers lanx1ctl scan --ports /dev/x,/tmp/lanx1)"
expect "a command" "poll" "$(offers lanx1ctl pol)"
expect "options of poll" "--ha-discovery" "$(offers lanx1ctl --port /dev/ttyS0 poll --ha)"
[ "$failures" -eq 0 ]
