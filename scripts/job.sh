# shellcheck shell=sh
# Runs one job of a longer check and says how long it took; sourced by .ci/run and
# scripts/other-debian.sh. Keeps the job's exit status.
#   job NAME COMMAND...
job() {
    job_name=$1
    shift
    echo "=== $job_name"
    job_start=$(date +%s)
    job_status=0
    "$@" || job_status=$?
    job_seconds=$(($(date +%s) - job_start))
    job_result=passed
    [ "$job_status" -eq 0 ] || job_result="FAILED (status $job_status)"
    echo "=== $job_name: $job_result in $((job_seconds / 60))m$((job_seconds % 60))s"
    return "$job_status"
}
