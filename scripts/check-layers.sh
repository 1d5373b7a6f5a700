#!/usr/bin/env bash
# The layers of the sources, each including only those below it:
#   core                                  grids, the model's state types, errors: nothing else
#   input waves flow sediment output      the physics and the files: core and each other
#   run                                   the driver and the public API (include/littoral)
#   plots                                 the pictures, over the driver's reports
#   app batch mpi                         the programs: the desktop over the driver; the batch
#                                         and cluster programs over the public API alone (the
#                                         cluster link implements the engine's process interface)
#   casebuilder                           littoral-case: over the public API alone (with GDAL, toml++)
# The window toolkit only in the desktop's and the pictures' frm* files; MPI only in mpi/; the
# public header includes no source header.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
# folder: the first path components it may include ("-" + a header: that header alone)
declare -A allowed=(
  [core]="core"
  [input]="core input waves flow sediment output"
  [waves]="core input waves flow sediment output"
  [flow]="core input waves flow sediment output"
  [sediment]="core input waves flow sediment output"
  [output]="core input waves flow sediment output"
  [run]="core input waves flow sediment output run littoral"
  [plots]="core output plots run littoral"
  [app]="core input waves flow sediment output run littoral plots app"
  [batch]="littoral batch"
  [mpi]="littoral batch mpi -core/SlabLink.h -core/Allocation.h -core/Error.h"
  [casebuilder]="littoral casebuilder"
)

for dir in "${!allowed[@]}"; do
  [ -d "src/$dir" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include +"([^"]+)".*/\1/' <<<"$line")
    top=${inc%%/*}
    ok=0
    for a in ${allowed[$dir]}; do
      if [ "${a:0:1}" = "-" ]; then [ "$inc" = "${a:1}" ] && ok=1
      elif [ "$top" = "$a" ]; then ok=1; fi
    done
    if [ $ok -eq 0 ]; then
      echo "$file: includes $inc, which lies above or beside its layer ($dir may include: ${allowed[$dir]})"
      status=1
    fi
  done < <(grep -rnE '^#include +"[a-z]+/' "src/$dir" || true)
done

# Every folder of src/ has its layer.
for d in src/*/; do
  d=$(basename "$d")
  if [ -z "${allowed[$d]+x}" ]; then
    echo "src/$d: a folder without a layer: add it to scripts/check-layers.sh"
    status=1
  fi
done

# The window toolkit only in files named frm* and in the desktop program's main.
bad=$(grep -rlE '#include +<(Q[A-Za-z]+|qt)' src | grep -vE '/frm[^/]*$|/main_desktop\.cpp$' || true)
if [ -n "$bad" ]; then
  echo "the window toolkit is included outside the frm* files:"
  echo "$bad"
  status=1
fi
# MPI only in mpi/.
bad=$(grep -rlE '#include +<mpi\.h>' src include | grep -v '^src/mpi/' || true)
if [ -n "$bad" ]; then
  echo "MPI is included outside src/mpi/:"
  echo "$bad"
  status=1
fi
# The public headers stand alone.
bad=$(grep -rnE '#include +"' include | grep -vE '#include +"littoral/' || true)
if [ -n "$bad" ]; then
  echo "a public header includes a source header:"
  echo "$bad"
  status=1
fi

[ $status -eq 0 ] && echo "layers: core -> physics and files -> driver -> front-ends; the window toolkit and MPI where they belong"
exit $status
