# Shared helpers for the scripts in this folder. Source it, don't run it.
#
# Knobs (environment):
#   TALVERO_BUILD_DIR  build folder, relative to the repo root or absolute (default: build)
#   TALVERO_JOBS       parallel build/test jobs (default: 2)

# Everything the build, the tests and the demo need from Debian. Add new packages here.
TALVERO_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools
    libqt5websockets5-dev libqt5x11extras5-dev libqt5svg5-dev qtwebengine5-dev
    libx11-dev libxcb1-dev libxtst-dev
    xvfb xauth xdotool xclip imagemagick x11-utils openbox
    qt5keychain-dev dbus gnome-keyring at-spi2-core python3-pyatspi qttranslations5-l10n libglib2.0-bin
    desktop-file-utils appstream dpkg-dev fakeroot file lintian
)
# Extra packages for the sanitizer build in .ci/run. llvm-14 brings llvm-symbolizer: without it
# sanitizer reports have no function names and tests/lsan.supp cannot match anything.
TALVERO_SANITIZER_PACKAGES=(clang libclang-rt-14-dev llvm-14)

TALVERO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TALVERO_JOBS="${TALVERO_JOBS:-2}"
TALVERO_BUILD_DIR="${TALVERO_BUILD_DIR:-build}"
case "$TALVERO_BUILD_DIR" in
    /*) ;;
    *) TALVERO_BUILD_DIR="$TALVERO_ROOT/$TALVERO_BUILD_DIR" ;;
esac

log() { printf '==> %s\n' "$*"; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

section() {
    printf '\n========================================================================\n'
    printf '  %s\n' "$*"
    printf '========================================================================\n'
}

# Run a command as root: directly when we are root, through sudo otherwise.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        die "need root (or sudo) to run: $*"
    fi
}

# ensure_packages PKG... : install whichever of the Debian packages are missing.
# apt-get update runs only when something has to be installed.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)" != "install ok installed" ]; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    log "installing missing packages: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# configure_and_build [TARGET...] : configure TALVERO_BUILD_DIR (RelWithDebInfo, Ninja) and build.
# Extra cmake configure arguments can be given in the array TALVERO_CMAKE_ARGS.
configure_and_build() {
    log "configuring $TALVERO_BUILD_DIR"
    cmake -S "$TALVERO_ROOT" -B "$TALVERO_BUILD_DIR" -G Ninja \
        -DCMAKE_BUILD_TYPE="${TALVERO_BUILD_TYPE:-RelWithDebInfo}" "${TALVERO_CMAKE_ARGS[@]}" || return
    log "building $TALVERO_BUILD_DIR (-j$TALVERO_JOBS)"
    if [ "$#" -gt 0 ]; then
        cmake --build "$TALVERO_BUILD_DIR" -j "$TALVERO_JOBS" --target "$@" || return
    else
        cmake --build "$TALVERO_BUILD_DIR" -j "$TALVERO_JOBS" || return
    fi
}

# run_ctest BUILD_DIR [CTEST_ARGS...] : run ctest under a throw-away X server (the x11-labelled
# tests need one), keep the full log in BUILD_DIR/ctest.log, then repeat ctest's summary.
# Returns ctest's exit status.
run_ctest() {
    local dir="$1"
    shift
    local logfile="$dir/ctest.log" status=0
    log "running ctest in $dir (-j$TALVERO_JOBS, under Xvfb)"
    xvfb-run -a -s "-screen 0 1440x900x24 -nolisten tcp" \
        ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$TALVERO_JOBS" "$@" \
        2>&1 | tee "$logfile" || status=$?
    section "ctest summary ($(basename "$dir"))"
    # From ctest's "N% tests passed" line on: the count and the list of failed tests.
    sed -n '/tests passed, /,$p' "$logfile"
    grep -q 'tests passed, ' "$logfile" || tail -n 20 "$logfile"
    return "$status"
}

# ctest_counts LOGFILE : print "PASSED FAILED" from a ctest log ("0 0" when it has no summary).
ctest_counts() {
    local line failed total
    line="$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" 2>/dev/null | tail -n1)"
    if [ -z "$line" ]; then
        echo "0 0"
        return
    fi
    failed="$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")"
    total="$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")"
    echo "$((total - failed)) $failed"
}
