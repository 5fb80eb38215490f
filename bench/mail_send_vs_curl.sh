#!/usr/bin/env bash
# Sends a 20 MB attachment with straatwijs-mail to an SMTP server on loopback
# (aiosmtpd), then the same message bytes with curl, and prints wall time and
# peak resident memory of each run (GNU time).
#   bench/mail_send_vs_curl.sh [BUILD_DIR] [RUNS]
# Needs python3-aiosmtpd, curl and time (Debian packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-3}
mail=$build/src/app/straatwijs-mail
work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT

head -c 20000000 /dev/urandom >"$work/bijlage.bin"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
/usr/bin/python3 - "$port" <<'EOF' &
import sys, time
from aiosmtpd.controller import Controller
class Sink:
    async def handle_DATA(self, server, session, envelope):
        return "250 OK %d bytes" % len(envelope.original_content)
c = Controller(Sink(), hostname="127.0.0.1", port=int(sys.argv[1]), data_size_limit=0)
c.start()
time.sleep(3600)
EOF
server=$!
sleep 1.5

args=(--from jan@voorbeeld.nl --to piet@voorbeeld.nl --subject Bijlage --body Hallo
      --attach "$work/bijlage.bin")
# curl sends the very bytes straatwijs-mail sends after DATA, less the final ".".
"$mail" --print "${args[@]}" | head -c -3 >"$work/bericht.eml"
echo "message: $(stat -c %s "$work/bericht.eml") bytes"
for i in $(seq "$runs"); do
  /usr/bin/time -f "straatwijs-mail  %e s  %M KB peak RSS" \
    "$mail" --smtp-host 127.0.0.1 --smtp-port "$port" "${args[@]}" 2>&1 | tail -1
  /usr/bin/time -f "curl             %e s  %M KB peak RSS" \
    curl -s "smtp://127.0.0.1:$port" --mail-from jan@voorbeeld.nl --mail-rcpt piet@voorbeeld.nl \
    --upload-file "$work/bericht.eml" 2>&1 | tail -1
done
