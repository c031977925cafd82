#!/usr/bin/env bash
# The online install end to end: publishes a generated catalogue (2,000 files
# of 1-8 KiB and 4 files of 64 MiB, all compressible), serves it with Debian's
# nginx over HTTPS on 127.0.0.1, installs it into an empty folder under Wine
# with the online provider (tests/e2e/tools/ks_install_probe) and prints the
# wall time, MB/s, files/s and peak memory. In the same run a reference
# pipeline does the same work with ordinary tools: 8 parallel curl downloads,
# then SHA-256 of the compressed and inflated bytes, zlib inflate and the
# write of each file in Python.
#
#   bench/install.sh [WORK_FOLDER]     (default: build/bench/install)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_BUILD:-$root/build}
work=$(realpath -m "${1:-$build/bench/install}")

bash "$root/scripts/bootstrap.sh" nginx curl
[ -f "$build/build.ninja" ] || bash "$root/scripts/build.sh" >/dev/null
cmake --build "$build" --target ks_install_probe ks_trust_ca -- -j4 >/dev/null
tools=$build/tests/e2e/tools

rm -rf "$work"
mkdir -p "$work"/{tls,nginx,served,home}

# ---- Catalogue ----------------------------------------------------------------
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
base=https://localhost:$port
python3 "$root/bench/make_install_tree.py" "$work/source"
python3 "$root/scripts/publish_catalog.py" "$work/source" "$work/served" --base-url "$base" >/dev/null

# ---- TLS: a CA of this run, trusted only in a copy of the build's prefix --------
cd "$work/tls"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Ostrel Bench CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null
printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n' >server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 \
  -extfile server.ext 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der

[ -f "$build/wineprefix/.ready" ] || (cd "$build" && "$root/cmake/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1)
cp -a "$build/wineprefix" "$work/prefix"
export WINEPREFIX=$work/prefix HOME=$work/home WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
/usr/lib/wine/wineserver -p
"$wine" "$tools/ks_trust_ca.exe" "Z:$work/tls/ca.der"

# ---- nginx ------------------------------------------------------------------------
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes 4;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 256; }
http {
  access_log off;
  sendfile on;
  keepalive_requests 100000;
  client_body_temp_path $work/nginx/tmp;
  proxy_temp_path $work/nginx/tmp;
  fastcgi_temp_path $work/nginx/tmp;
  uwsgi_temp_path $work/nginx/tmp;
  scgi_temp_path $work/nginx/tmp;
  server {
    listen 127.0.0.1:$port ssl;
    server_name localhost;
    ssl_certificate $work/tls/server.pem;
    ssl_certificate_key $work/tls/server.key;
    root $work/served;
  }
}
EOF
mkdir -p "$work/nginx/tmp"
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx"
trap 'kill "$(cat "$work/nginx/nginx.pid")" 2>/dev/null || true; /usr/lib/wine/wineserver -k || true' EXIT

# ---- Rounds: our install and the reference, alternately, into empty folders -------
# The machine may be busy with other work: three rounds, and the medians count.
win_work="Z:${work//\//\\}"
: >"$work/rounds.txt"
for round in 1 2 3; do
  rm -rf "$work/app" "$work/localappdata" "$work/reference"
  /usr/bin/time -f "%e %M" -o "$work/ours.time" \
    "$wine" "$tools/ks_install_probe.exe" install --quiet "--localappdata=$win_work\\localappdata" \
    "$base/(\$name)" "$win_work\\app" >"$work/ours.txt"
  grep -q '^INSTALLED' "$work/ours.txt" || { grep -v '^RECORD' "$work/ours.txt"; exit 1; }
  reference=$(python3 "$root/bench/reference_install.py" "$work/served" "$base" "$work/tls/ca.pem" "$work/reference")
  echo "$(cat "$work/ours.time") $(sed -n 's/^PEAK \([0-9]*\).*/\1/p' "$work/ours.txt") $reference" >>"$work/rounds.txt"
done
# What Wine itself takes: the same program started with nothing to do.
/usr/bin/time -f "%M" -o "$work/idle.time" "$wine" "$tools/ks_install_probe.exe" >/dev/null 2>&1 || true

python3 "$root/bench/install_figures.py" "$work"
