#!/usr/bin/env bash
# The engine's folders never include a front-end's headers nor a window toolkit nor MPI:
# app/, batch/, mpi/ and the frm* windows depend on the engine, never the reverse.
set -euo pipefail
cd "$(dirname "$0")/../src"
bad=$(grep -rnE '#include +["<](app/|batch/|mpi/|mpi\.h|plots/frm|Q[A-Za-z]+|qt)' core input waves flow sediment output || true)
if [ -n "$bad" ]; then
  echo "engine sources include a front-end, the window toolkit or MPI:"
  echo "$bad"
  exit 1
fi
echo "layers: the engine includes no front-end"
