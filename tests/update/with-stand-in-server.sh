#!/usr/bin/env bash
# Runs a test program with the update site's stand-in server beside it: a certificate for
# 127.0.0.1 made here with openssl, stand_in_server.py on two ports of 127.0.0.1, a port on which
# nothing listens, and a log for the browser recorder. The test program learns them from the environment (BC_STAND_IN_*), adds
# the certificate to its Wine prefix's root store itself and removes it again.
#   with-stand-in-server.sh PROGRAM [ARGUMENTS...]   (PROGRAM: the Wine runner and the test exe)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/bc-stand-in.XXXXXX)
server=""

cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null
        for _ in $(seq 50); do
            kill -0 "$server" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$server" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost" \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || { echo "stand-in: openssl failed" >&2; exit 1; }
openssl x509 -in "$work/cert.pem" -outform der -out "$work/cert.der" || exit 1
mkdir "$work/site"
: >"$work/requests.log"

python3 "$here/stand_in_server.py" --site "$work/site" --cert "$work/cert.pem" --key "$work/key.pem" \
    --ports "$work/ports" --log "$work/requests.log" </dev/null >/dev/null 2>"$work/server.err" &
server=$!
for _ in $(seq 300); do
    [ -s "$work/ports" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$work/ports" ]; then
    echo "stand-in: the server did not start" >&2
    cat "$work/server.err" >&2
    exit 1
fi
read -r https_port http_port <"$work/ports"
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')

# Wine shows the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export BC_STAND_IN_HTTPS_PORT=$https_port BC_STAND_IN_HTTP_PORT=$http_port BC_STAND_IN_CLOSED_PORT=$closed_port
export BC_STAND_IN_SITE=$(windows_path "$work/site")
export BC_STAND_IN_LOG=$(windows_path "$work/requests.log")
export BC_STAND_IN_CERT=$(windows_path "$work/cert.der")
# Web pages the program opens go to a recorder (the tests register it as Wine's browser).
: >"$work/browser.log"
export BC_BROWSER_LOG="$work/browser.log" BC_BROWSER_RECORDER="$here/record-browser.sh"
export BC_BROWSER_LOG_WINDOWS=$(windows_path "$work/browser.log")
"$@"
