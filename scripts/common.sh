# shellcheck shell=bash
# common.sh: helpers sourced by scripts/run, scripts/test and bench/*.sh. Relies on bash and on
# REPO_ROOT being set by the caller to the repository's top folder.

# A header that stands out in a long build log.
section()
{
    printf '\n==== %s ====\n' "$*"
}

# configure DIR [CMAKE-ARGS...]: configures the build folder DIR (relative to the repository) with
# Ninja in RelWithDebInfo, tests and benchmarks on. Cheap when nothing changed, and it re-applies the given cache options.
configure()
{
    local dir=$1
    shift
    # Tests and benchmarks on unless the caller says otherwise (a folder scripts/run made has them off).
    cmake -S "$REPO_ROOT" -B "$REPO_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELBRIN_TESTS=ON \
        -DVELBRIN_BENCH=ON "$@" >/dev/null
}
