#!/bin/sh
# Fails when a stand-in library includes a header of a library that is not below it in the
# order of layers written here. Usage: suite_layers.sh SUITE_DIR (one folder per library).
set -eu

# The stand-in libraries, one layer a line, the lowest first. A library includes its own
# headers and those of the layers below its own: never one of its own layer or above.
LAYERS='
biv cfg fio fstr hux mem molq msg nixq omu pgmio rafq ruv thr yab yek yuvr
ksm pirq toz
dev guv sawq wolpa
faj jop prj tevq
daw gen wex
zlmq
'

suite=$1

# The layer of a library, counted from 1 at the bottom; empty for a library not in the order.
layer_of()
{
    printf '%s\n' "$LAYERS" | awk -v lib="$1" 'NF { n++; for (i = 1; i <= NF; i++) if ($i == lib) print n }'
}

# The library whose folder holds the header; empty for a header from outside the stand-ins.
owner_of()
{
    for path in "$suite"/*/"$1"; do
        [ -e "$path" ] && basename "$(dirname "$path")" && return
    done
    return 0
}

status=0
for dir in "$suite"/*/; do
    lib=$(basename "$dir")
    own=$(layer_of "$lib")
    if [ -z "$own" ]; then
        echo "suite/$lib: a library that the order of layers does not name"
        status=1
        continue
    fi
    for file in "$dir"*.h "$dir"*.cpp; do
        [ -e "$file" ] || continue
        for header in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
            owner=$(owner_of "$header")
            [ -n "$owner" ] && [ "$owner" != "$lib" ] || continue
            if [ "$(layer_of "$owner")" -ge "$own" ]; then
                echo "suite/$lib/$(basename "$file") includes $header of $owner, which is not below $lib"
                status=1
            fi
        done
    done
done
exit $status
