#!/bin/sh
# Compares two builds of tavro-server in one run: the rounds alternate between them, so that a
# change in the machine's load falls on both alike.
#
#   bench/server/compare.sh CLIENT_BUILD LABEL_A PORT_A LABEL_B PORT_B [ROUNDS] [SECONDS] [CLIENTS]
#
# Both servers must already listen on 127.0.0.1 over stores holding `tavro-server --generate 2000 20`
# data and a user "bench" (password "bench", role confirm); each should have its own copy of the
# store, as the confirmations change it. The load client of CLIENT_BUILD drives both. Per round and
# server: pings, then searches (CLIENTS clients, default 32). Then, per server, one run of
# confirmations until every batch is confirmed or the time is up.
set -eu
build=$1
labels="$2 $4"
port_a=$3
port_b=$5
rounds=${6:-3}
seconds=${7:-5}
clients=${8:-32}

port_of() { if [ "$1" = "${labels%% *}" ]; then echo "$port_a"; else echo "$port_b"; fi; }
load() {
    port=$(port_of "$1")
    shift
    "$build/bin/tavro-loadgen" --url "ws://127.0.0.1:$port" --user bench --password bench --clients "$clients" "$@"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
round=1
while [ "$round" -le "$rounds" ]; do
    for label in $labels; do
        echo "== round $round, $label, load average: $(cut -d' ' -f1-3 /proc/loadavg)"
        load "$label" --seconds "$seconds" --mix ping | grep -E '^(kind|ping|errors)'
        load "$label" --seconds "$seconds" --mix search | grep -E '^(search|errors)'
    done
    round=$((round + 1))
done
for label in $labels; do
    echo "== confirmations, $label, load average: $(cut -d' ' -f1-3 /proc/loadavg)"
    load "$label" --seconds "$seconds" --warmup 0 --mix confirm | grep -E '^(confirm|confirmed|errors)'
done
