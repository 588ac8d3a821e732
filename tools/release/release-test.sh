#!/usr/bin/env bash
# Checks the release as people meet it, from the build in $1 (run from the repository root):
# - `cmake --install` into a temporary prefix: the launcher, started from an unrelated folder,
#   sets up the user's folder and plays until Escape is held (exit 0, nothing on standard
#   output, no diagnostics); the menu entry's Exec line does the same and repairs a user
#   folder with a missing config.json and a stale assets link; a user folder it cannot use is
#   reported in one line with status 1;
# - `cpack`: the archive, unpacked, plays from an unrelated folder the same way; the .deb's
#   control fields and contents are as they should be, and lintian reports no errors.
set -u
build=$(readlink -f "$1")
source_dir=$(pwd)
work=$(mktemp -d /tmp/klomp-release-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...: fails with DESCRIPTION unless COMMAND succeeds
    local what=$1
    shift
    "$@" || fail "$what"
}

# play NAME DIR COMMAND...: runs COMMAND from DIR under a private X server, holds Escape 2 s
# after the show's window appeared (past loading, into the show) and expects exit status 0, an
# empty standard output and, on standard error, nothing but the X server's note that it cannot
# set vertical sync.
play() {
    local name=$1 dir=$2
    shift 2
    local out="$work/$name.out" err="$work/$name.err"
    "$source_dir/tools/with-xvfb.sh" bash -c '
        out=$1 err=$2 dir=$3
        shift 3
        cd "$dir" || exit 97
        "$@" >"$out" 2>"$err" &
        pid=$!
        timeout 60 xdotool search --sync --name "klomp\$" >/dev/null 2>&1 || echo "no window in 60 s"
        sleep 2
        kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo "ended by itself with status $? before Escape"; exit 98; }
        xdotool keydown Escape
        for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        xdotool keyup Escape
        if kill -0 "$pid" 2>/dev/null; then kill -9 "$pid"; wait "$pid"; echo "still running 30 s after Escape"; exit 99; fi
        wait "$pid"' _ "$out" "$err" "$dir" "$@"
    local status=$?
    [ "$status" -eq 0 ] || fail "$name: exit status $status; standard error: $(head -c 2000 "$err" 2>/dev/null)"
    [ ! -s "$out" ] || fail "$name: printed on standard output: $(head -c 500 "$out")"
    if grep -v -x 'Setting vertical sync not supported' "$err" >/dev/null 2>&1; then
        fail "$name: diagnostics: $(grep -v -x 'Setting vertical sync not supported' "$err" | head -5)"
    fi
}

mkdir -p "$work/elsewhere" "$work/home"

# --- installed into a prefix ------------------------------------------------------------------
prefix="$work/prefix"
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install failed"
fi
for f in games/klomp lib/games/klomp/klomp; do
    check "$f is not an installed program" test -x "$prefix/$f"
done
for f in share/games/klomp/config.json share/games/klomp/assets/music/klomp.ogg \
    share/games/klomp/assets/sprites.json share/applications/klomp.desktop \
    share/icons/hicolor/48x48/apps/klomp.png share/icons/hicolor/256x256/apps/klomp.png \
    share/man/man6/klomp.6.gz share/doc/klomp/copyright share/doc/klomp/changelog.gz; do
    check "$f is not installed" test -f "$prefix/$f"
done
manual=$(zcat "$prefix/share/man/man6/klomp.6.gz" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$manual" ] || fail "the man page has troff warnings: $manual"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/klomp.desktop")
check "the menu entry runs $exec_line, not the installed launcher" test "$exec_line" = "$prefix/games/klomp"

export HOME="$work/home"
unset XDG_DATA_HOME
user="$HOME/.local/share/klomp"
play installed "$work/elsewhere" "$prefix/games/klomp"
check "the user's config.json is not a copy of the default" cmp -s "$user/config.json" "$prefix/share/games/klomp/config.json"
check "the user's config.json is a link, not their own file" test ! -L "$user/config.json"
check "the user's assets are not linked to the shared data" test "$(readlink "$user/assets")" = "$prefix/share/games/klomp/assets"
check "the launcher left files in the folder it was started from" test -z "$(ls -A "$work/elsewhere")"

# A user's edited settings stay; a lost config.json and a stale link are repaired (started
# through the menu entry's Exec line, as a desktop does).
rm "$user/config.json"
ln -sfn /nonexistent/assets "$user/assets"
play menu-entry "$work/elsewhere" sh -c "$exec_line"
check "a missing config.json was not restored" cmp -s "$user/config.json" "$prefix/share/games/klomp/config.json"
check "a stale assets link was not renewed" test "$(readlink "$user/assets")" = "$prefix/share/games/klomp/assets"
printf '{"music": false, "sound": false}\n' >"$user/config.json"
play edited-settings "$work/elsewhere" "$prefix/games/klomp"
check "the user's edited config.json was overwritten" grep -q '"music": false' "$user/config.json"

# A user folder that cannot be used: one line, status 1, no crash.
mkdir -p "$work/xdg"
touch "$work/xdg/klomp"
(cd "$work/elsewhere" && XDG_DATA_HOME="$work/xdg" "$prefix/games/klomp" >"$work/blocked.out" 2>"$work/blocked.err")
status=$?
check "a file in place of the user folder gave status $status, not 1" test "$status" -eq 1
check "a file in place of the user folder was not reported in one line: $(cat "$work/blocked.err")" \
    test "$(wc -l <"$work/blocked.err")" -eq 1 -a ! -s "$work/blocked.out"
check "the report does not name the folder" grep -q "$work/xdg/klomp" "$work/blocked.err"

# --- the packages ------------------------------------------------------------------------------
if ! (cd "$build" && cpack -B "$work/packages") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack failed"
fi
deb=$(ls "$work"/packages/klomp_*_amd64.deb 2>/dev/null | head -1)
archive=$(ls "$work"/packages/klomp-*-linux-x86_64.tar.gz 2>/dev/null | head -1)
check "cpack made no klomp_<version>_amd64.deb" test -n "$deb"
check "cpack made no klomp-<version>-linux-x86_64.tar.gz" test -n "$archive"

if [ -n "$archive" ]; then
    mkdir -p "$work/unpacked"
    tar -xzf "$archive" -C "$work/unpacked"
    top="$work/unpacked/$(basename "$archive" .tar.gz)"
    for f in klomp bin/klomp; do
        check "the archive has no program $f" test -x "$top/$f"
    done
    for f in config.json README klomp.nfo assets/music/klomp.ogg lib/libsfml-graphics.so.2.5; do
        check "the archive has no $f" test -f "$top/$f"
    done
    play archive "$work/elsewhere" "$top/klomp"
fi

if [ -n "$deb" ]; then
    field() { dpkg-deb --field "$deb" "$1"; }
    check "Package is $(field Package)" test "$(field Package)" = klomp
    check "Architecture is $(field Architecture)" test "$(field Architecture)" = amd64
    check "Section is $(field Section)" test "$(field Section)" = games
    check "Version $(field Version) is not in the file name" test "$(basename "$deb")" = "klomp_$(field Version)_amd64.deb"
    depends=$(field Depends)
    for library in libsfml-graphics2.5 libsfml-audio2.5 libsfml-window2.5 libsfml-system2.5 libc6 libstdc++6; do
        case ", $depends," in
        *", $library "* | *", $library,"*) ;;
        *) fail "Depends lacks $library: $depends" ;;
        esac
    done
    check "no Maintainer" test -n "$(field Maintainer)"
    check "no long description" test "$(field Description | wc -l)" -gt 2
    dpkg-deb --contents "$deb" >"$work/contents"
    for f in ./usr/games/klomp ./usr/lib/games/klomp/klomp ./usr/share/games/klomp/config.json \
        ./usr/share/games/klomp/assets/music/klomp.ogg ./usr/share/applications/klomp.desktop \
        ./usr/share/icons/hicolor/48x48/apps/klomp.png ./usr/share/man/man6/klomp.6.gz \
        ./usr/share/doc/klomp/copyright; do
        check "the package lacks $f" grep -q " $f\$" "$work/contents"
    done
    check "the package holds files outside /usr" test -z "$(awk '{print $6}' "$work/contents" | grep -v '^\./usr/' | grep -v '^\./$')"
    check "the package holds files not owned by root" test -z "$(awk '$2 != "root/root"' "$work/contents")"
    dpkg-deb --extract "$deb" "$work/deb-root"
    check "the menu entry in the package runs $(sed -n 's/^Exec=//p' "$work/deb-root/usr/share/applications/klomp.desktop")" \
        grep -qx 'Exec=/usr/games/klomp' "$work/deb-root/usr/share/applications/klomp.desktop"

    if command -v lintian >/dev/null; then
        lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1
        echo "lintian says:"
        cat "$work/lintian"
        check "lintian reports errors" test -z "$(grep '^E:' "$work/lintian")"
    else
        fail "lintian is not installed (tools/setup.sh installs it)"
    fi
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "release: installed launcher, menu entry, user folder repairs, archive and package all pass"
