#!/bin/sh
# run_fuzz.sh SOURCE_DIR WORK_DIR SECONDS [osc]: builds the datagram codec's fuzz target (or,
# with "osc", the OSC decoding path's over liblo) with clang and libFuzzer (the project itself
# builds with g++) and runs it for SECONDS.
# Exits 77, which CTest counts as skipped, when clang or its fuzzer runtime is missing.
set -u
src=$1
work=$2
secs=$3
target=${4:-net}

cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
    echo "fuzz_net_datagram skipped: clang++ not found (Debian packages clang-14, libclang-rt-14-dev)"
    exit 77
fi
mkdir -p "$work/corpus"
if [ "$target" = osc ]; then
    if ! "$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
            -fno-sanitize-recover=undefined "$src/tests/net/fuzz_OscPacket.cpp" -llo \
            -o "$work/fuzz_osc_packet" >"$work/build.log" 2>&1; then
        cat "$work/build.log"
        if grep -q -e 'libclang_rt.fuzzer' -e 'fuzzer.*No such file' "$work/build.log"; then
            echo "fuzz_osc_packet skipped: libFuzzer runtime missing (libclang-rt-14-dev)"
            exit 77
        fi
        exit 1
    fi
    # Seeds: a command with a string, a pattern with a float, and a bundle of two messages.
    oscsend_seed() { printf '/tessaro/b/open\000,s\000\000:2\000\000'; }
    oscsend_seed >"$work/corpus/seed-message"
    printf '/tessaro/{a,b}/[p-s]*\000\000\000,f\000\000\077\200\000\000' \
        >"$work/corpus/seed-pattern"
    { printf '#bundle\000\000\000\000\000\000\000\000\001\000\000\000\024'
      printf '/tessaro/a/seek\000,i\000\000\000\000\005\334'
      printf '\000\000\000\020/tessaro/next\000\000\000,\000\000\000'; } >"$work/corpus/seed-bundle"
    exec "$work/fuzz_osc_packet" -max_total_time="$secs" -timeout=5 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 "$work/corpus"
fi
# The codec library is configured on its own here, so it is compiled with the fuzzer's
# instrumentation; the target then links it as the program does.
flags="-g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
if ! { cmake -S "$src/remote/protocol" -B "$work/protocol" -DCMAKE_CXX_COMPILER="$cxx" \
           -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_BUILD_TYPE= >"$work/build.log" 2>&1 &&
       cmake --build "$work/protocol" >>"$work/build.log" 2>&1 &&
       "$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
           -fno-sanitize-recover=undefined -I"$src" \
           "$src/tests/net/fuzz_NetDatagram.cpp" "$work/protocol/libtessaro_protocol.a" \
           -o "$work/fuzz_net_datagram" >>"$work/build.log" 2>&1; }; then
    cat "$work/build.log"
    if grep -q -e 'libclang_rt.fuzzer' -e 'fuzzer.*No such file' "$work/build.log"; then
        echo "fuzz_net_datagram skipped: libFuzzer runtime missing (Debian package libclang-rt-14-dev)"
        exit 77
    fi
    exit 1
fi

# Seeds: a command with a text, a status and a text datagram, sync datagrams.
zeros() { printf '%*s' "$1" '' | tr ' ' '\000'; }
{ printf 'WTRX\001\000\000\000'; zeros 4; printf '\012\000\000\000'; zeros 20; printf ':2'
  zeros 510; } >"$work/corpus/seed-command"
{ printf 'KAVO'; zeros 8; printf '\001\000\000\000'; zeros 516; } >"$work/corpus/seed-status"
{ printf 'KAVO'; zeros 8; printf '\001\000\000\000'; zeros 4; printf '\003\000\000\000'
  zeros 4; printf 'hi'; zeros 510; } >"$work/corpus/seed-text"
# A sync heartbeat, a challenge and a state with one medium.
{ printf 'TSYN\002\002'; zeros 18; printf '\001'; zeros 19; } >"$work/corpus/seed-sync-beat"
{ printf 'TSYN\002\003'; zeros 18; printf '\007'; zeros 11; } >"$work/corpus/seed-sync-challenge"
{ printf 'TSYN\002\001'; zeros 18; zeros 12; printf '\002'; zeros 21
  printf '\001\000\001\000'; zeros 4; printf '/a'; zeros 30; } >"$work/corpus/seed-sync-state"

exec "$work/fuzz_net_datagram" -max_total_time="$secs" -timeout=5 -rss_limit_mb=2048 \
    -print_final_stats=1 "$work/corpus"
