#!/bin/sh
# Stand-in for the web browser under Wine that opens pages in a real one: Debian's headless
# Chromium, with our two comparison hosts sent to a local https stand-in server (comparison_server.py
# beside this script) on 127.0.0.1 with a certificate made at test time.
# Installed in Wine's browser list as "/bin/sh chromium-browser.sh LOG-FILE": like record-browser.sh
# it appends each call's arguments to LOG-FILE (one line, tab-separated); call n's server writes
# what it received into the folder post-n beside LOG-FILE. Everything it starts ends by itself:
# the server after one POST or 45 s, Chromium after at most 40 s.
log=$1
shift
IFS=$(printf '\t')
printf '%s\n' "$*" >> "$log"
unset IFS
for url in "$@"; do :; done
here=$(dirname "$0")
dir=$(dirname "$log")
n=$(wc -l < "$log" | tr -d ' ')
out="$dir/post-$n"
mkdir -p "$out"
exec </dev/null >"$out/browser.log" 2>&1

python=$(command -v python3 || echo /usr/bin/python3)
if [ ! -f "$dir/cert.pem" ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 \
        -subj "/CN=brindlecrest.example" \
        -addext "subjectAltName=DNS:www.brindlecrest.example,DNS:de.brindlecrest.example" \
        -keyout "$dir/key.pem.tmp" -out "$dir/cert.pem.tmp" &&
        mv "$dir/key.pem.tmp" "$dir/key.pem" && mv "$dir/cert.pem.tmp" "$dir/cert.pem"
fi
"$python" "$here/comparison_server.py" --folder "$out" --cert "$dir/cert.pem" --key "$dir/key.pem" \
    --port-file "$out/port" --timeout 45 &
server=$!
tries=0
while [ ! -f "$out/port" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
port=$(cat "$out/port")
timeout 40 chromium --headless=new --no-sandbox --disable-gpu --no-first-run --ignore-certificate-errors \
    --user-data-dir="$out/profile" \
    --host-resolver-rules="MAP www.brindlecrest.example 127.0.0.1:$port, MAP de.brindlecrest.example 127.0.0.1:$port" \
    --virtual-time-budget=15000 --dump-dom "$url" >"$out/dom.html" &
browser=$!
wait $server
kill $browser 2>/dev/null
wait $browser 2>/dev/null
rm -rf "$out/profile"
exit 0
