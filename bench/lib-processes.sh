# Sourced by the benchmarks that run with many processes: a work folder, helper processes
# started into it, and the median of a list of times. The work folder and every process
# whose id is in pids go when the script exits.
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# start_helpers COUNT: COUNT processes that each hold a few open files of their own, as
# real programs do.
start_helpers() {
    local i
    for ((i = 0; i < $1; i++)); do
        sleep 600 <"$work" 3<"/proc/self/status" &
        pids+=("$!")
    done
}

# median_ms MICROSECONDS...: the median in milliseconds, with three decimals.
median_ms() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'; }
