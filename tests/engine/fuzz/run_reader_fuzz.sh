#!/usr/bin/env bash
# Builds the reader fuzz target with clang and runs it for a fixed time.
#   run_reader_fuzz.sh SOURCE_DIR WORK_DIR SECONDS
# Exit 77 (skipped) when clang++ or its fuzzer runtime is missing.
set -euo pipefail
src="$1"
work="$2"
seconds="${3:-20}"
here="$src/tests/engine/fuzz"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "reader fuzz skipped: clang++ is not installed (scripts/bootstrap installs clang and libclang-rt-dev)"
  exit 77
fi
mkdir -p "$work/corpus"
bin="$work/reader_fuzz"
sources=("$here/reader_fuzz.cpp" "$src/engine/plot_reader.cpp" "$src/engine/plot_writer.cpp" "$src/engine/machine_marks.cpp"
         "$src/platform/numbers.cpp" "$src/platform/files.cpp")
stale=0
[ -x "$bin" ] || stale=1
for f in "${sources[@]}" "$src"/engine/*.h "$src"/platform/*.h; do
  [ "$f" -nt "$bin" ] && stale=1
done
if [ "$stale" -eq 1 ]; then
  if ! clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
      -I "$src" "${sources[@]}" -o "$bin.tmp" 2>"$work/build.log"; then
    if grep -q "libclang_rt.fuzzer\|cannot find.*fuzzer" "$work/build.log"; then
      echo "reader fuzz skipped: the clang fuzzer runtime is missing (install libclang-rt-dev)"
      exit 77
    fi
    cat "$work/build.log"
    exit 1
  fi
  mv "$bin.tmp" "$bin"
fi
cd "$work"
exec "$bin" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -timeout=10 \
  -dict="$here/hpgl.dict" -print_final_stats=1 corpus "$here/seeds"
