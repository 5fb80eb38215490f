#!/usr/bin/env bash
# Sends an attachment with straatwijs-mail to an SMTP server on loopback, and
# the very bytes it sends after DATA with curl, interleaved run by run; prints
# the median wall time and the largest peak resident memory of each (GNU
# time), and the ratio of the medians. Two servers: smtp_sink (bench/, C++,
# discards at memory speed, so the figures are the senders') and aiosmtpd
# (Python, a real server whose own speed limits both senders).
#   bench/mail_send_vs_curl.sh [BUILD_DIR] [RUNS] [SIZES_MB] [SERVERS]
# e.g. bench/mail_send_vs_curl.sh build-release 5 "20 100"
# Needs python3-aiosmtpd, curl and time (Debian packages).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
sizes=${3:-20 100}
servers=${4:-sink aiosmtpd}
mail=$build/src/app/straatwijs-mail
sink=$build/bench/smtp_sink
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

"$sink" >"$work/sink.port" &
pids+=($!)
aio_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
/usr/bin/python3 - "$aio_port" <<'PY' &
import sys, time
from aiosmtpd.controller import Controller
class Sink:
    async def handle_DATA(self, server, session, envelope):
        return "250 OK %d bytes" % len(envelope.original_content)
c = Controller(Sink(), hostname="127.0.0.1", port=int(sys.argv[1]), data_size_limit=0)
c.start()
time.sleep(3600)
PY
pids+=($!)
sleep 1.5
sink_port=$(cat "$work/sink.port")

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
maximum() { sort -n | tail -1; }

# One run: "seconds kilobytes cpu-seconds" of the command (the wall time to
# the nanosecond clock, GNU time's %e having only hundredths; the processor
# time, user and system, steadier than the wall time on a busy machine).
measure() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%M %U %S" -o "$work/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  read -r kb user sys <"$work/time"
  printf "%.4f %s %.2f\n" "$(echo "$end - $start" | bc -l)" "$kb" "$(echo "$user + $sys" | bc -l)"
}

printf "%-9s %-7s %-16s %10s %12s %10s\n" server size sender "median s" "peak RSS MB" "median cpu"
for size in $sizes; do
  head -c "${size}000000" /dev/urandom >"$work/bijlage.bin"
  args=(--from jan@voorbeeld.nl --to piet@voorbeeld.nl --subject Bijlage --body Hallo
        --attach "$work/bijlage.bin")
  # curl sends the bytes straatwijs-mail sends after DATA, less the final ".".
  "$mail" --print "${args[@]}" | head -c -3 >"$work/bericht.eml"
  for server in $servers; do
    port=$([ "$server" = sink ] && echo "$sink_port" || echo "$aio_port")
    : >"$work/mail.runs"
    : >"$work/curl.runs"
    for i in $(seq "$runs"); do
      measure "$mail" --smtp-host 127.0.0.1 --smtp-port "$port" "${args[@]}" >>"$work/mail.runs"
      measure curl -s "smtp://127.0.0.1:$port" --mail-from jan@voorbeeld.nl \
        --mail-rcpt piet@voorbeeld.nl --upload-file "$work/bericht.eml" >>"$work/curl.runs"
    done
    m=$(cut -d' ' -f1 "$work/mail.runs" | median)
    c=$(cut -d' ' -f1 "$work/curl.runs" | median)
    mr=$(cut -d' ' -f2 "$work/mail.runs" | maximum)
    cr=$(cut -d' ' -f2 "$work/curl.runs" | maximum)
    mc=$(cut -d' ' -f3 "$work/mail.runs" | median)
    cc=$(cut -d' ' -f3 "$work/curl.runs" | median)
    printf "%-9s %-7s %-16s %10s %12.1f %10s\n" "$server" "${size} MB" straatwijs-mail "$m" "$(echo "$mr/1024" | bc -l)" "$mc"
    printf "%-9s %-7s %-16s %10s %12.1f %10s\n" "$server" "${size} MB" curl "$c" "$(echo "$cr/1024" | bc -l)" "$cc"
    printf "%-9s %-7s %-16s %10.2fx %12s %9.2fx\n" "$server" "${size} MB" "ratio" "$(echo "$m/$c" | bc -l)" "" "$(echo "$mc/$cc" | bc -l)"
    [ -n "${VERBOSE:-}" ] && paste "$work/mail.runs" "$work/curl.runs" >&2
  done
done
