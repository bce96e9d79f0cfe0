#!/bin/sh
# Compares the frames qev-ir reads from lircd.conf files with LIRC's own.
#   lircd_against_irsimsend.sh QEV_IR FILE...
# For each FILE, qev-ir exports the frames it reads as a Flipper file, which
# holds each record's durations as read, final space included; irsimsend
# (Debian's lirc) sends each key of FILE, and the pulses and spaces must be
# the same (a difference in the final space alone is shown apart from the
# faults in the frames before it). irsimsend -k finds
# the keys of a file's first remote only; the keys of later remotes are
# counted as not compared. A file named driver_*.conf or refused_*.conf
# holds what LIRC does not send (driver codes, an encoding LIRC cannot send,
# keys LIRC refuses): qev-ir must refuse it with a message saying LIRC does
# not send it either, and irsimsend must send no pulse for it. Exits 77
# (skipped) when irsimsend is not installed.
set -u
qev_ir=$1
shift
command -v irsimsend >/dev/null 2>&1 || { echo "irsimsend not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
end_faults=0
keys=0
uncompared=0

# The pulse and space lines irsimsend writes for KEY of FILE (both in $work).
lirc_frame() {
    (cd "$work" && rm -f simsend.out && irsimsend -k "$2" "$1" >/dev/null 2>&1)
    grep -E '^(pulse|space) ' "$work/simsend.out" 2>/dev/null
}

# The same lines for the record KEY of qev-ir's Flipper export, which holds
# each record's durations as read, final space included.
our_frame() {
    awk -v key="$1" '
        /^name: / { on = (substr($0, 7) == key); next }
        /^#/ { on = 0 }
        on && /^data: / { for (i = 2; i <= NF; ++i) print ((n++ % 2 == 0) ? "pulse " : "space ") $i }
    ' "$work/out.ir"
}

for file in "$@"; do
    name=$(basename "$file")
    cp "$file" "$work/in.conf"
    rm -f "$work/out.ir"
    if ! "$qev_ir" convert "$work/in.conf" "$work/out.ir" >"$work/err" 2>&1; then
        case $name in
        driver_* | refused_*)
            (cd "$work" && rm -f simsend.out && irsimsend in.conf >/dev/null 2>&1)
            if ! grep -Eq "LIRC (cannot|does not) send" "$work/err"; then
                echo "$name: refused without saying LIRC does not send it: $(cat "$work/err")"
                faults=$((faults + 1))
            elif grep -q '^pulse' "$work/simsend.out" 2>/dev/null; then
                echo "$name: irsimsend sends pulses for it"
                faults=$((faults + 1))
            fi
            ;;
        *)
            echo "$name: not read: $(cat "$work/err")"
            faults=$((faults + 1))
            ;;
        esac
        continue
    fi
    case $name in driver_* | refused_*)
        echo "$name: read although LIRC does not send it"
        faults=$((faults + 1))
        continue
        ;;
    esac
    for key in $(sed -n 's/^name: //p' "$work/out.ir"); do
        lirc_frame in.conf "$key" >"$work/lirc"
        if [ ! -s "$work/lirc" ]; then
            uncompared=$((uncompared + 1))
            continue
        fi
        keys=$((keys + 1))
        our_frame "$key" >"$work/ours"
        if cmp -s "$work/lirc" "$work/ours"; then continue; fi
        if cmp -s -n "$(sed '$d' "$work/lirc" | wc -c)" "$work/lirc" "$work/ours" &&
            [ "$(wc -l <"$work/lirc")" = "$(wc -l <"$work/ours")" ]; then
            end_faults=$((end_faults + 1))
            echo "$name, $key: final space: LIRC $(tail -n 1 "$work/lirc"), read as $(tail -n 1 "$work/ours")"
            continue
        fi
        echo "$name, $key: LIRC sends $(tr '\n' ' ' <"$work/lirc")"
        echo "$name, $key: read as  $(tr '\n' ' ' <"$work/ours")"
        faults=$((faults + 1))
    done
done
echo "$# files, $keys keys compared ($uncompared not): $faults faults in frames, $end_faults in final spaces alone"
[ "$faults" -eq 0 ] && [ "$end_faults" -eq 0 ]
