#!/usr/bin/env bash
# Runs one fuzz target for ORVANTO_FUZZ_SECONDS seconds (15 unless set) on its seeds from
# the tree and on the corpus it grew in earlier runs. Any crash, leak, hang, sanitizer
# report or broken property fails the run and leaves the input beside the corpus.
# Usage: run_target.sh TARGET SEED_FOLDER WORK_FOLDER
set -euo pipefail
target=$1 seeds=$2 work=$3
seconds=${ORVANTO_FUZZ_SECONDS:-15}

mkdir -p "$work/corpus"
# Files the readers and writers touch go to memory where it exists: writers sync to disk.
scratch_parent=/dev/shm
[ -w "$scratch_parent" ] || scratch_parent=$work
scratch=$(mktemp -d "$scratch_parent/orvanto-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config" "$scratch/tmp" "$scratch/run"
chmod 700 "$scratch/run"
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config TMPDIR=$scratch/tmp XDG_RUNTIME_DIR=$scratch/run

args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix="$work/")
[ -f "$seeds.dict" ] && args+=(-dict="$seeds.dict")
"$target" "${args[@]}" "$work/corpus" "$seeds"
