#!/usr/bin/env bash
# Prepares and runs the Wine side of a cross build:
#   wine-session.sh start BUILD-DIR   create the build's prefixes once (Windows 10), start one
#                                     persistent wineserver per locale and warm Wine's services
#   wine-session.sh stop BUILD-DIR    stop those wineservers
#
# One Wine session (prefix and wineserver) per locale. Wine takes the user locale from LC_ALL,
# but the number format from HKCU\Control Panel\International, and every Wine process rewrites
# that key at its start when its own locale differs. Services (such as rpcss, when the first
# window appears) start on demand with the environment of the session's first process; in a
# shared session an English service starting in the middle of a German test turned its decimal
# comma back into a point. So each locale gets its own session, started in that
# locale: English (United States) in BUILD/wineprefix, any other in BUILD/wineprefix-LOCALE
# (build/mingw/wine-run picks the prefix from LC_ALL by the same rule).
#
# The Unix locales themselves are compiled into BUILD/locales (LOCPATH), so that setlocale()
# succeeds inside Wine: without them Wine still takes the user locale from LC_ALL, but falls back
# to an ASCII Unix code page, and a file name with a non-ASCII letter cannot be created.
#
# Every Wine process started here is cut off from our output pipes: a Wine service holding a pipe
# of ctest would make ctest wait for it until its time-out.
set -euo pipefail

action=${1:?start or stop}
build=$(cd "${2:?build folder}" && pwd)
export WINEDEBUG=-all
# winedbg off: a crashing test ends at once instead of waiting in the debugger until its time-out.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

base_locale=en_US.UTF-8
# The locales the tests run in (every LC_ALL that a test of this build sets), and the caller's own
# when it asks for another one (LC_ALL=fr_FR.UTF-8 scripts/run.sh).
locales=("$base_locale")
for locale in $(grep -rhos 'LC_ALL=[A-Za-z0-9_.@-]*' --include=CTestTestfile.cmake "$build" | cut -d= -f2) ${LC_ALL:-}; do
    if [[ ! " ${locales[*]} " == *" $locale "* ]]; then
        locales+=("$locale")
    fi
done

locpath="$build/locales"

# Compiles the Unix locale $1 (a NAME.UTF-8) into $locpath unless this C library already did.
compile_locale() {
    local locale=$1 stamp
    stamp="$locpath/$locale/.glibc-$(getconf GNU_LIBC_VERSION | tr ' ' -)"
    [ -f "$stamp" ] && return 0
    if [[ "$locale" != *.UTF-8 ]]; then
        echo "wine-session: LC_ALL=$locale: only NAME.UTF-8 locales are supported" >&2
        return 1
    fi
    mkdir -p "$locpath"
    rm -rf "${locpath:?}/$locale"
    if ! localedef -i "${locale%.UTF-8}" -f UTF-8 "$locpath/$locale" >/dev/null 2>&1; then
        echo "wine-session: cannot compile the locale $locale (Debian package locales, /usr/share/i18n)" >&2
        return 1
    fi
    touch "$stamp"
}

prefix_of() {
    if [ "$1" = "$base_locale" ]; then
        echo "$build/wineprefix"
    else
        echo "$build/wineprefix-$1"
    fi
}

# Runs a Wine command in the session of locale $1. LC_ALL is set for Wine only: the shell itself
# may lack the locale.
in_session() {
    local locale=$1
    shift
    WINEPREFIX=$(prefix_of "$locale") LOCPATH=$locpath LC_ALL=$locale "$@" </dev/null
}

stop_all() {
    local prefix
    for prefix in "$build/wineprefix" "$build"/wineprefix-*; do
        [ -d "$prefix" ] || continue
        WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
    done
}

create_base_prefix() {
    local prefix
    prefix=$(prefix_of "$base_locale")
    echo "wine-session: creating the Wine prefix $prefix (once per build folder)"
    rm -rf "$prefix" "$build"/wineprefix-*
    in_session "$base_locale" wineboot -i >/dev/null 2>&1
    in_session "$base_locale" wineserver -w >/dev/null 2>&1 || true
    in_session "$base_locale" winecfg -v win10 >/dev/null 2>&1
    in_session "$base_locale" wineserver -w >/dev/null 2>&1 || true
    touch "$prefix/.brindlecrest-ready"
}

# Wine's own Tahoma and MS Sans Serif (Debian's fonts-wine) lie where this Wine build does not
# look for them, and without them it draws every dialog in a wider font. In the prefix's fonts
# folder, as on Windows, every Wine process finds them; an older prefix gets them here too.
install_fonts() {
    local prefix=$1 wine_fonts=/usr/share/wine/fonts
    if [ -f "$wine_fonts/tahoma.ttf" ]; then
        mkdir -p "$prefix/drive_c/windows/Fonts"
        cp -n "$wine_fonts"/*.ttf "$wine_fonts"/*.fon "$prefix/drive_c/windows/Fonts/"
    fi
}

# Windows draws Chinese and Korean text in Tahoma through font links to its own CJK fonts, which
# a Wine prefix lacks; link Debian's WenQuanYi instead, so those languages show their letters and
# measure as wide as they are. Wine keys the bold face's links by its full name.
link_cjk_font() {
    local locale=$1 prefix key face cjk_font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
    prefix=$(prefix_of "$locale")
    if [ -f "$cjk_font" ] && [ ! -f "$prefix/.brindlecrest-cjk-linked" ]; then
        key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
        for face in "Tahoma" "Tahoma Bold" "Microsoft Sans Serif"; do
            in_session "$locale" wine reg add "$key" /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f \
                >/dev/null 2>&1
        done
        touch "$prefix/.brindlecrest-cjk-linked"
    fi
}

# Starts the persistent server of locale $1's session, warms Wine's services and proves the
# separators before any test relies on them (the check is skipped until it is built). The check's
# output goes to a file, never a pipe: the desktop it starts would hold a pipe open.
warm_session() {
    local locale=$1 check="$build/bin/localeCheck.exe" log
    log="$build/localeCheck-$locale.log"
    # Persistent server: each test process then starts in a fraction of a second.
    (in_session "$locale" setsid wineserver -p >/dev/null 2>&1 &)
    in_session "$locale" wine cmd /c exit >/dev/null 2>&1 || true
    link_cjk_font "$locale"
    if [ -f "$check" ] && ! in_session "$locale" wine "$check" >"$log" 2>&1; then
        echo "wine-session: the Wine session for LC_ALL=$locale failed its locale check:" >&2
        tr -d '\r' <"$log" >&2
        return 1
    fi
}

case "$action" in
start)
    for locale in "${locales[@]}"; do
        if [[ ! "$locale" =~ ^[A-Za-z0-9_.@-]+$ ]]; then
            echo "wine-session: LC_ALL=$locale is not a locale name" >&2
            exit 2
        fi
        compile_locale "$locale" || exit 1
    done
    if [ ! -f "$(prefix_of "$base_locale")/.brindlecrest-ready" ]; then
        create_base_prefix
    fi
    for locale in "${locales[@]}"; do
        prefix=$(prefix_of "$locale")
        if [ ! -f "$prefix/.brindlecrest-ready" ]; then
            # A copy of the English prefix, made while no server runs: the same machine, only the
            # locale differs.
            rm -rf "$prefix"
            cp -a "$(prefix_of "$base_locale")" "$prefix"
        fi
        install_fonts "$prefix"
    done
    # The sessions warm up side by side.
    pids=()
    for locale in "${locales[@]}"; do
        warm_session "$locale" &
        pids+=($!)
    done
    failed=0
    for pid in "${pids[@]}"; do
        wait "$pid" || failed=1
    done
    if [ "$failed" -ne 0 ]; then
        stop_all
        exit 1
    fi
    ;;
stop)
    stop_all
    ;;
*)
    echo "usage: $0 start|stop BUILD-DIR" >&2
    exit 2
    ;;
esac
