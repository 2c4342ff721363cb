# shellcheck shell=bash disable=SC2034
# Sourced by the build scripts: every compiler call goes through ccache, set
# up here rather than in the user's ccache.conf so a fresh clone, another
# folder or another user's machine gets the same hits.
#   CCACHE_BASEDIR   paths under the clone are hashed relative to it, so two
#                    clones (or worktrees) share their objects
#   CCACHE_NOHASHDIR the build folder's path in the debug information does not
#                    split the cache by folder
#   CCACHE_SLOPPINESS a header written a moment before the compile (moc's
#                    output, a fresh checkout) still gets a direct hit
# Any of them set by the caller stays as it is.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-include_file_ctime,include_file_mtime,time_macros}
ZT_LAUNCHER=()
command -v ccache > /dev/null && ZT_LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
