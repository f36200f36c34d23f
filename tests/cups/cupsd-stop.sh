#!/usr/bin/env bash
# Stops the private cupsd that cupsd-start.sh started in DIR (by its pid).
P="${1:?usage: cupsd-stop.sh DIR}"
[ -f "$P/cupsd.pid" ] || exit 0
pid="$(cat "$P/cupsd.pid")"
if [ -n "$pid" ] && [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = cupsd ]; then
  kill "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -9 "$pid" 2>/dev/null || true
fi
rm -f "$P/cupsd.pid"
