#!/bin/sh
# klomp: starts the show for the user who runs it.
#
# The program reads config.json and assets/ from the folder it runs in. Each user gets a folder
# of their own, ${XDG_DATA_HOME:-~/.local/share}/klomp, holding an editable copy of the default
# config.json and a link to the shared, read-only assets; the launcher sets that folder up (and
# repairs it when a piece is missing or the link is stale), changes into it and runs the show.
# Anything it cannot fix is reported in one line, with exit status 1.
set -u

# Installed as <prefix>/games/klomp: the rest of the installation lies beside it.
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
program="$prefix/lib/games/klomp/klomp"
shared="$prefix/share/games/klomp"

fail() {
    echo "klomp: $*" >&2
    exit 1
}

[ -x "$program" ] || fail "the program $program is missing; reinstall klomp"
[ -d "$shared/assets" ] || fail "the show's data $shared/assets is missing; reinstall klomp"

# XDG_DATA_HOME counts only when it is an absolute path.
case "${XDG_DATA_HOME:-}" in
/*) data_home=$XDG_DATA_HOME ;;
*)
    [ -n "${HOME:-}" ] || fail "neither XDG_DATA_HOME nor HOME is set, so there is no folder for klomp's settings"
    data_home=$HOME/.local/share
    ;;
esac
user="$data_home/klomp"

if [ ! -d "$user" ]; then
    [ -e "$user" ] || [ -L "$user" ] && fail "$user is not a folder; move it away and start klomp again"
    mkdir -p "$user" 2>/dev/null || fail "cannot make the folder $user"
fi

# config.json: the user's own copy, made from the default when there is none (or only a
# dangling link). An existing file is the user's and is never overwritten.
if [ ! -e "$user/config.json" ]; then
    rm -f "$user/config.json" 2>/dev/null
    cp "$shared/config.json" "$user/config.json" 2>/dev/null &&
        chmod u+w "$user/config.json" 2>/dev/null ||
        fail "cannot copy the default settings to $user/config.json"
elif [ -d "$user/config.json" ]; then
    fail "$user/config.json is a folder; remove it and start klomp again for the default settings"
fi

# assets: a link to the shared data, renewed when it points anywhere else. A real folder
# there is the user's own modified copy and is used as it is.
if [ -L "$user/assets" ] || [ ! -e "$user/assets" ]; then
    if [ "$(readlink "$user/assets" 2>/dev/null)" != "$shared/assets" ]; then
        rm -f "$user/assets" 2>/dev/null
        ln -s "$shared/assets" "$user/assets" 2>/dev/null || fail "cannot link $user/assets to $shared/assets"
    fi
elif [ ! -d "$user/assets" ]; then
    fail "$user/assets is a file, not the show's data; remove it and start klomp again"
fi

cd "$user" || fail "cannot enter $user"
exec "$program" "$@"
