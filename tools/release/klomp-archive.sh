#!/bin/sh
# Starts klomp from this unpacked folder. The program reads config.json and assets/ from the
# folder it runs in, so it runs here; the SFML libraries it was built with are in lib/.
here=$(dirname "$(readlink -f "$0")")
cd "$here" || {
    echo "klomp: cannot enter $here" >&2
    exit 1
}
[ -x bin/klomp ] || {
    echo "klomp: $here/bin/klomp is missing; unpack the archive again" >&2
    exit 1
}
LD_LIBRARY_PATH="$here/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" exec "$here/bin/klomp" "$@"
