#!/bin/sh
# Measures a tavro-server beside its floors, in rounds that interleave the figures so that a
# change in the machine's load falls on all of them alike.
#
#   bench/server/measure.sh BUILD_DIR DB_URL PORT [ROUNDS] [SECONDS]
#
# The server must already listen on 127.0.0.1:PORT over DB_URL, holding the data of
# `tavro-server --generate 2000 20` and a user "bench" (password "bench", role confirm).
# Each round: pings alone, the search's SQL directly, searches alone (32 clients each). Then one
# run of confirmations (form number + save), which leaves those batches confirmed.
set -eu
build=$1
db=$2
port=$3
rounds=${4:-3}
seconds=${5:-5}
load="$build/bin/tavro-loadgen --url ws://127.0.0.1:$port --user bench --password bench --clients 32"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
round=1
while [ "$round" -le "$rounds" ]; do
    echo "== round $round, load average: $(cut -d' ' -f1-3 /proc/loadavg)"
    $load --seconds "$seconds" --mix ping
    "$build/bin/bench_direct_sql" --db "$db" --runs 3000
    $load --seconds "$seconds" --mix search
    round=$((round + 1))
done
echo "== confirmations, load average: $(cut -d' ' -f1-3 /proc/loadavg)"
$load --seconds "$seconds" --warmup 0 --mix confirm
echo "== mixed steps, load average: $(cut -d' ' -f1-3 /proc/loadavg)"
$load --seconds "$seconds" --mix search,receipt,funds,number --conf T
