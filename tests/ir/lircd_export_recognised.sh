#!/bin/sh
# LIRC recognises the keys of a lircd.conf file in what the program exports
# from the Command table it makes of that file.
#   lircd_export_recognised.sh QEV_IR FILE...
# For each FILE, qev-ir reads it into a Command file and writes that back as
# a lircd.conf; irsimsend (Debian's lirc) sends each key of FILE, preceded
# by a second of idle time as a receiver would hear it, and irsimreceive
# must name the same key in the export. Exits 77 (skipped) when irsimsend or
# irsimreceive is not installed. Both tools write files of their own in the
# folder they run in, so they run in a scratch folder.
set -u
qev_ir=$1
shift
for tool in irsimsend irsimreceive; do
    command -v $tool >/dev/null 2>&1 || { echo "$tool not installed: skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
keys=0
unsent=0
for file in "$@"; do
    name=$(basename "$file")
    cp "$file" "$work/in.conf"
    rm -f "$work/table.rmt" "$work/export.conf"
    if ! "$qev_ir" convert "$work/in.conf" "$work/table.rmt" >"$work/err" 2>&1 ||
        ! "$qev_ir" convert "$work/table.rmt" "$work/export.conf" >"$work/err" 2>&1; then
        echo "$name: not converted: $(cat "$work/err")"
        faults=$((faults + 1))
        continue
    fi
    for key in $(sed -n '/begin raw_codes/,/end raw_codes/s/^ *name  *\([^ ]*\).*/\1/p' "$work/export.conf"); do
        keys=$((keys + 1))
        (cd "$work" && rm -f simsend.out && irsimsend -k "$key" in.conf >/dev/null 2>&1)
        # A key LIRC itself does not send says nothing of the export.
        if ! grep -q '^pulse' "$work/simsend.out" 2>/dev/null; then
            keys=$((keys - 1))
            unsent=$((unsent + 1))
            continue
        fi
        { echo "space 1000000"; grep -E '^(pulse|space) ' "$work/simsend.out" 2>/dev/null; } >"$work/heard"
        heard=$(cd "$work" && irsimreceive export.conf heard 2>/dev/null | head -n 1 | cut -d ' ' -f 3)
        if [ "$heard" != "$key" ]; then
            echo "$name, $key: recognised as '${heard}' ($(grep '^ *gap' "$work/export.conf"))"
            faults=$((faults + 1))
        fi
    done
done
echo "$# files, $keys keys LIRC sends ($unsent it does not): $faults not recognised"
[ "$faults" -eq 0 ] && [ "$keys" -gt 0 ]
