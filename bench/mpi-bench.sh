#!/usr/bin/env bash
# Whole runs of a generated N x N plane beach (cells of 2.5 m, closed sides, an 8 s wave
# from the east, two output intervals) with littoral-batch and with littoral-mpi on 1 and
# 2 processes, one thread each: wall time per run, speed-up, the time each process spends
# in halo exchanges, gathers and the step's minimum, and its peak memory.
# usage: bench/mpi-bench.sh BIN_FOLDER [N] [PROCESSES...]   (defaults: 2000, 1 2)
# Options for both programs in BENCH_OPTIONS, e.g. BENCH_OPTIONS="--netcdf --no-csv".
set -euo pipefail
bin=$(cd "${1:?usage: mpi-bench.sh BIN_FOLDER [N] [PROCESSES...]}" && pwd)
n=${2:-2000}
shift $(( $# >= 2 ? 2 : 1 ))
procs=("${@:-1 2}")
[ ${#procs[@]} -eq 1 ] && read -r -a procs <<< "${procs[0]}"
dir=$(mktemp -d /tmp/littoral-mpi-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/data/beach" "$dir/output"
cat > "$dir/data/beach/coef.txt" <<COEF
1,ixs
$n,ixe
2.5,dx
1,jys
$n,jye
2.5,dy
20,nbnd
35,lat
0.01,fric
0.8,brk
0.01,mind
0,spare
0,ts
8,te
0.05,shields
0.0002,d
2650,rho
1e-06,nu
8,qb
1,qs
'endconst
COEF
# Rows i = 0..n+1 of n+2 values j = 0..n+1: depth from 6 m at the east edge to 1 m at the west.
awk -v n="$n" 'BEGIN { for (i = 0; i <= n + 1; ++i) { d = 1 + 5 * i / (n + 1); s = sprintf("%.4f", d);
  line = s; for (j = 1; j <= n + 1; ++j) line = line "," s; print line } }' > "$dir/data/beach/depth.txt"
awk -v n="$n" 'BEGIN { for (i = 0; i <= n + 1; ++i) { line = "";
  for (j = 0; j <= n + 1; ++j) { gi = (i < 1 || i > n); gj = (j < 1 || j > n);
    c = (gi && gj) ? 0 : (i > n ? 17 : 0); line = line (j ? "," : "") c }
  print line } }' > "$dir/data/beach/boundary.txt"
printf '17, input\n0.5, H\n8, T\n180, dir\n%d, px\n1, py\n0, groups\n0, amp\n' "$n" > "$dir/data/beach/wave.txt"
printf '0, tide\n1\n17, 0, 0, 0\n' > "$dir/data/beach/tide.txt"
printf 'beach\\coef.txt\nbeach\\depth.txt\nbeach\\boundary.txt\nbeach\\wave.txt\nbeach\\tide.txt\nbeach\n'"'"'endcnt\n' \
  > "$dir/data/beachcnt.txt"

export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMP_WAIT_POLICY=passive LITTORAL_THREADS=1
echo "$n x $n cells, $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
start=$(date +%s.%N)
"$bin/littoral-batch" ${BENCH_OPTIONS:-} "$dir/data/beachcnt.txt" 2>&1 | grep -v "^  \["
one=$(echo "$(date +%s.%N) - $start" | bc)
printf 'littoral-batch, 1 thread: %.2f s\n' "$one"
rm -rf "$dir/output/beach"
for p in "${procs[@]}"; do
  start=$(date +%s.%N)
  # More processes than cores (to see the memory per process fall): oversubscribed, unbound.
  placing=(--bind-to core)
  [ "$p" -gt "$(nproc)" ] && placing=(--oversubscribe --bind-to none)
  LITTORAL_MPI_TIMES=1 mpirun -q -np "$p" "${placing[@]}" "$bin/littoral-mpi" ${BENCH_OPTIONS:-} "$dir/data/beachcnt.txt" 2>&1 | grep -v '^  \['
  t=$(echo "$(date +%s.%N) - $start" | bc)
  printf 'littoral-mpi, %d processes of 1 thread: %.2f s, speed-up %.2f over littoral-batch\n' "$p" "$t" \
    "$(echo "$one / $t" | bc -l)"
  rm -rf "$dir/output/beach"
done
