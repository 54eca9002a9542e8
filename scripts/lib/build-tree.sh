# Sourced by the build scripts, from the top of the source tree.
#
#   build_tree TREE JOBS [CONFIGURE-ARGUMENTS...] [-- BUILD-ARGUMENTS...]
#
# Configures TREE (RelWithDebInfo unless the arguments say otherwise) and
# builds it with JOBS jobs, through ccache when it is installed. Everything
# both steps print goes to TREE/build.log, which stays with the tree it
# describes; on a failure the end of it is shown.

build_tree() {
  local tree=$1 jobs=$2 configure=() build=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  build=("$@")
  if command -v ccache >/dev/null; then
    configure=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache "${configure[@]}")
    # Cache hits across clones and worktrees: paths are kept relative to each.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
  fi
  mkdir -p "$tree"
  local log=$tree/build.log
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" > "$log" 2>&1 || { cat "$log"; return 1; }
  cmake --build "$tree" -j"$jobs" "${build[@]}" >> "$log" 2>&1 || { tail -n 60 "$log"; return 1; }
}
