#!/usr/bin/env bash
# A short run of every libFuzzer target (clang, ASan+UBSan), seeded with
# the sample files: a parser that crashes on a near-miss input fails CI.
# Only the targets are built, and two of them run at a time (two cores).
#   .ci/fuzz-smoke.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
targets=(machine firmware config eui64 image command_line recording)
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}" > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{machine,firmware,config,eui64,image,command_line,recording}
cp examples/*.mem "$work/firmware/"
cp examples/*.ini "$work/config/"
cp examples/*.eui "$work/eui64/"
cp examples/*.txt "$work/machine/" 2>/dev/null || true
printf 'speed 0\ncontroller 04:00.0 revision 4 part MX25L4005A rom a.bin\n' > "$work/machine/seed"
printf 'vxctl-recording 2\ncall 0 InitializeLibrary = 0 #71061f08\ncall 5 OpenDevice 04:00.0 2 - = 0 #bac1084a\ncall 100 PollSromRead 04:00.0 4 p = 0 4 5658524d #8f2690b8\n' > "$work/recording/seed"
printf '\001/srom\0002\000/write\000/tmp/fw.mem\000cfg.ini\000/log' > "$work/command_line/seed"
# fuzz TARGET: runs it for its time; on a failure, the end of its log.
fuzz() {
  build-fuzz/fuzz_$1 -max_total_time="$seconds" -print_final_stats=0 \
    "$work/$1" > "$work/$1.log" 2>&1 || { tail -40 "$work/$1.log"; echo "fuzz_$1 failed"; return 1; }
  echo "fuzz_$1: ${seconds} s"
}
failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for target in "${targets[@]:i:2}"; do
    fuzz "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
done
exit $failed
