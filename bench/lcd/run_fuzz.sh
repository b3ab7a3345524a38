#!/usr/bin/env bash
# Fuzzes the custom font reader natively with clang's libFuzzer and AddressSanitizer/UBSan.
# Not part of CI. Usage: bench/lcd/run_fuzz.sh [seconds]   (default 300)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
secs="${1:-300}"
out="${FUZZ_OUT:-/tmp/lcd-fuzz}"
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root" \
  "$root/bench/lcd/fuzz_custom_font.cpp" "$root/controls/lcd/LCDFont.cpp" \
  "$root/framework/Streams.cpp" "$root/framework/SysUtils.cpp" -o "$out/fuzz_custom_font"
# Seeds: a valid small font, a truncated one, a refused header.
printf '\x03\x00\x00\x00\x02\x00\x00\x00\x41\x00\x00\x00\x42\x00\x00\x00\x00\x01\x00\x01\x00\x01\x01\x01\x01\x00\x00\x00' > "$out/corpus/valid"
printf '\x05\x00\x00\x00\x07\x00\x00\x00\x20\x00\x00\x00\x7e\x00\x00\x00\x00' > "$out/corpus/short"
printf '\x00\x00\x00\x00\x07\x00\x00\x00\x20\x00\x00\x00\x7e\x00\x00\x00' > "$out/corpus/refused"
"$out/fuzz_custom_font" -max_total_time="$secs" -max_len=70000 -rss_limit_mb=1024 -print_final_stats=1 "$out/corpus"
