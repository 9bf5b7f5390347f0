#!/usr/bin/env bash
# Whole-process cost of one `b64num gB` beside /bin/true, the floor of a
# dynamically linked program: instructions executed (callgrind, repeatable)
# and peak resident memory (/usr/bin/time -v). Exits 1 if a goal is missed.
#
# usage: bench/startup.sh [path/to/b64num] [runs]
set -euo pipefail

tool=${1:-build/release/b64num}
runs=${2:-101}
floor=/bin/true

for needed in valgrind /usr/bin/time setarch; do
    command -v "$needed" >/dev/null || { echo "startup.sh: $needed is missing" >&2; exit 2; }
done
[ -x "$tool" ] || { echo "startup.sh: no executable at $tool (cmake --workflow --preset release)" >&2; exit 2; }

# The same small environment for every run, so that both programs start alike.
clean=(env -i PATH=/usr/bin:/bin)

instructions() {
    "${clean[@]}" valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

# Any wrapper goes before /usr/bin/time, which measures only its child.
peak_kb() {
    local wrapper=()
    if [ "$1" = --no-aslr ]; then
        wrapper=(setarch -R)
        shift
    fi
    "${clean[@]}" "${wrapper[@]}" /usr/bin/time -v "$@" 2>&1 >/dev/null |
        sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p'
}

# Address-space randomisation moves libc against the kernel's fault-around
# windows, so peak memory varies by ~200 KiB from run to run: report the mean
# of many runs, taking the two programs in turn so that drift hits both, and
# one run of each with randomisation off, which repeats exactly.
mean_peaks_kb() {
    for _ in $(seq "$runs"); do
        echo "$(peak_kb "$tool" gB) $(peak_kb "$floor")"
    done | awk '{a += $1; b += $2} END {printf "%.0f %.0f\n", a / NR, b / NR}'
}

tool_ins=$(instructions "$tool" gB)
floor_ins=$(instructions "$floor")
read -r tool_mean floor_mean < <(mean_peaks_kb)
tool_fixed=$(peak_kb --no-aslr "$tool" gB)
floor_fixed=$(peak_kb --no-aslr "$floor")

ratio=$(awk -v a="$tool_ins" -v b="$floor_ins" 'BEGIN {printf "%.3f", a / b}')
verdict() { if [ "$1" = 1 ]; then echo met; else echo MISSED; missed=1; fi; }
missed=0

echo "machine: $(uname -m), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
echo "libc:    $(ldd --version | head -1)"
printf '%-28s %12s %12s\n' "" "b64num gB" "/bin/true"
printf '%-28s %12s %12s\n' "instructions" "$tool_ins" "$floor_ins"
printf '%-28s %12s %12s\n' "peak RSS KiB, mean of $runs" "$tool_mean" "$floor_mean"
printf '%-28s %12s %12s\n' "peak RSS KiB, ASLR off" "$tool_fixed" "$floor_fixed"
echo "instruction ratio $ratio (goal <= 1.05: $(verdict "$(awk -v r="$ratio" 'BEGIN {print (r <= 1.05)}')"))"
echo "peak memory (goal: no more than /bin/true): mean $(verdict "$((tool_mean <= floor_mean))"), ASLR off $(verdict "$((tool_fixed <= floor_fixed))")"
exit "$missed"
