# Shared by the project's commands; sourced, not run.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${ZILUI_BUILD_DIR:-$ROOT/build}"

setup() {
    bash "$ROOT/scripts/setup.sh"
}

# Every compiler the scripts start goes through ccache, the consumers' builds too (they read
# CMAKE_CXX_COMPILER_LAUNCHER from the environment). Paths are made relative to the checkout
# and the working folder is left out of the hash, so clones and worktrees share one cache.
CCACHE_ARGS=()
use_ccache() {
    if ! command -v ccache >/dev/null 2>&1; then
        return 0
    fi
    export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
    CCACHE_ARGS=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
}

# Configures once, then builds incrementally. CI turns warnings into errors.
build() {
    local werror=OFF
    if [ "${CI:-}" = "true" ] || [ "${ZILUI_WERROR:-}" = "ON" ]; then
        werror=ON
    fi
    local generator=()
    if command -v ninja >/dev/null 2>&1 && [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        generator=(-G Ninja)
    fi
    use_ccache
    # shellcheck disable=SC2086 # ZILUI_CMAKE_ARGS: words, set by scripts/test.sh --sanitize
    cmake -S "$ROOT" -B "$BUILD_DIR" "${generator[@]}" -DZILUI_WERROR="$werror" "${CCACHE_ARGS[@]}" \
        ${ZILUI_CMAKE_ARGS:-} >/dev/null
    cmake --build "$BUILD_DIR" --parallel "$(nproc)" "$@"
}

# Stages of a run, each timed; stage_summary prints them at the end, so that a slow or failing
# stage shows without reading the whole log. Beside the wall-clock time goes the processor time
# the stage's processes used (user + system), which a machine busy with other work does not
# inflate.
#   stage NAME COMMAND...      runs COMMAND now; returns its status
#   stage_bg NAME COMMAND...   runs COMMAND in the background at a lower priority (it takes the
#                              processor only when the foreground stages leave it idle), its
#                              output held back until stage_wait NAME, which returns its status
#   stage_skip NAME REASON     records a stage that did not run, and why
# COMMAND runs in a subshell, where set -e does not apply (bash ignores it under ||): chain
# steps with &&, and set what later stages need before calling stage.
STAGE_LINES=()
STAGE_CPU_TOTAL=0
declare -A STAGE_BG_PIDS=() STAGE_BG_LOGS=()

# Runs "$@" in a subshell, then writes "STATUS WALL_SECONDS CPU_SECONDS" to the file $STAGE_OUT.
# A subshell starts with no child processor time of its own, so what `times` reports at its
# end is the stage's alone, whatever else runs beside it.
stage_run() {
    (
        started=$SECONDS status=0
        "$@" || status=$?
        times >"$STAGE_OUT.times"
        cpu=$(awk '{ for (i = 1; i <= 2; i++) { split($i, p, "m"); n += p[1] * 60 + p[2] } }
                   END { printf "%d", n + 0.5 }' "$STAGE_OUT.times")
        rm -f "$STAGE_OUT.times"
        echo "$status $((SECONDS - started)) $cpu" >"$STAGE_OUT"
        exit "$status"
    )
}

mmss() {
    printf '%d:%02d' $(($1 / 60)) $(($1 % 60))
}

stage_record() {
    local name="$1" result="$2" status=1 seconds=0 cpu=0 verdict
    if [ -s "$result" ]; then
        read -r status seconds cpu <"$result"
    fi
    verdict=ok
    [ "$status" -eq 0 ] || verdict="FAILED ($status)"
    STAGE_CPU_TOTAL=$((STAGE_CPU_TOTAL + cpu))
    STAGE_LINES+=("$(printf '%-24s %6s %9s  %s' "$name" "$(mmss "$seconds")" "$(mmss "$cpu")" "$verdict")")
    return "$status"
}

stage() {
    local name="$1" status=0 STAGE_OUT
    shift
    echo "== $name"
    STAGE_OUT="$(mktemp)"
    stage_run "$@" || true
    stage_record "$name" "$STAGE_OUT" || status=$?
    rm -f "$STAGE_OUT"
    return "$status"
}

stage_bg() {
    local name="$1" log
    shift
    log="$(mktemp)"
    (
        renice -n 10 -p "$BASHPID" >/dev/null
        STAGE_OUT="$log.done"
        stage_run "$@" >"$log" 2>&1
    ) &
    STAGE_BG_PIDS[$name]=$!
    STAGE_BG_LOGS[$name]="$log"
    echo "== $name: started in the background"
}

stage_wait() {
    local name="$1" log="${STAGE_BG_LOGS[$1]}" status=0
    wait "${STAGE_BG_PIDS[$name]}" || true
    echo "== $name"
    cat "$log"
    stage_record "$name" "$log.done" || status=$?
    rm -f "$log" "$log.done"
    return "$status"
}

stage_skip() {
    STAGE_LINES+=("$(printf '%-24s %6s %9s  skipped: %s' "$1" "" "" "$2")")
}

stage_summary() {
    local line
    echo "== stage times"
    printf '   %-24s %6s %9s\n' "stage" "wall" "processor"
    for line in "${STAGE_LINES[@]}"; do
        echo "   $line"
    done
    printf '   %-24s %6s %9s\n' "whole run" "$(mmss "$SECONDS")" "$(mmss "$STAGE_CPU_TOTAL")"
}

# One line saying what is missing, for a run that cannot go on without it.
say_missing() {
    echo "$(basename "$0"): $*" >&2
}

XVFB_PID=""

stop_own_display() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# Uses the caller's display when there is one that answers; otherwise starts a private Xvfb
# on a free display number and stops exactly that process on exit.
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    if ! command -v xdpyinfo >/dev/null 2>&1 && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    if ! command -v Xvfb >/dev/null 2>&1; then
        say_missing "no display: ${DISPLAY:+$DISPLAY does not answer and }Xvfb (package xvfb) is not installed"
        return 1
    fi
    local numfile
    numfile="$(mktemp)"
    # -noreset: an X server resets when its last client leaves, and a test starting during
    # that reset cannot connect.
    # A 200 % session (GDK_SCALE=2) gets the same room in logical pixels.
    local screen=1280x1024x24
    if [ "${GDK_SCALE:-1}" = "2" ]; then
        screen=2560x2048x24
    fi
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$numfile" 2>/dev/null &
    XVFB_PID=$!
    trap stop_own_display EXIT
    local i
    for i in $(seq 1 100); do
        if [ -s "$numfile" ]; then
            break
        fi
        if ! kill -0 "$XVFB_PID" 2>/dev/null; then
            say_missing "no display: Xvfb ended at start-up (run 'Xvfb -displayfd 1' to see why)"
            rm -f "$numfile"
            return 1
        fi
        sleep 0.1
    done
    if [ ! -s "$numfile" ]; then
        say_missing "no display: Xvfb did not report its display within 10 s"
        rm -f "$numfile"
        return 1
    fi
    export DISPLAY=":$(head -n1 "$numfile" | tr -d '[:space:]')"
    rm -f "$numfile"
    # Native GTK under Xvfb: the X11 backend, and no accessibility bus to wait for.
    export GDK_BACKEND=x11 NO_AT_BRIDGE=1
}

CLANG_CXX="${ZILUI_CLANG_CXX:-clang++-14}"
CLANG_CC="${ZILUI_CLANG_CC:-clang-14}"

# A clang build with sanitizers in its own folder (address: ASan+UBSan, also the fuzzing build;
# thread: TSan). Sets BUILD_DIR, ZILUI_CMAKE_ARGS and the sanitizers' run-time options.
use_sanitizer() {
    local kind="$1" supp="$ROOT/tests/sanitizers"
    case "$kind" in
    address)
        BUILD_DIR="${ZILUI_ASAN_BUILD_DIR:-$ROOT/build-asan}"
        # One unity build serves the suite and the harnesses; it has to fit CI's budget.
        ZILUI_CMAKE_ARGS="-DZILUI_SANITIZE=address -DZILUI_FUZZ=ON -DCMAKE_UNITY_BUILD=ON"
        export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=1"
        export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp"
        ;;
    thread)
        BUILD_DIR="${ZILUI_TSAN_BUILD_DIR:-$ROOT/build-tsan}"
        ZILUI_CMAKE_ARGS="-DZILUI_SANITIZE=thread"
        export TSAN_OPTIONS="suppressions=$supp/tsan.supp:second_deadlock_stack=1:print_suppressions=0"
        ;;
    *)
        echo "unknown sanitizer '$kind' (address or thread)" >&2
        return 2
        ;;
    esac
    # The test tools written in C take the same sanitizer flags, which only clang knows.
    ZILUI_CMAKE_ARGS+=" -DCMAKE_CXX_COMPILER=$CLANG_CXX -DCMAKE_C_COMPILER=$CLANG_CC -DZILUI_BUILD_BENCH=OFF -DZILUI_BUILD_GALLERY=OFF"
    export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
}

# What a sanitized run builds: the test programs (with the tools they start) and, for
# address, the harnesses; not the documentation's examples or the consumer programs.
sanitized_targets() {
    local targets=(--target zil-tests zilui-tests) name
    if [ "$1" = address ]; then
        for name in $(fuzz_harnesses); do
            targets+=("fuzz-$name")
        done
    fi
    echo "${targets[@]}"
}

# The libFuzzer harnesses, by name: tests/fuzz/<name>_fuzz.cpp.
fuzz_harnesses() {
    local f
    for f in "$ROOT"/tests/fuzz/*_fuzz.cpp; do
        f="$(basename "$f")"
        echo "${f%_fuzz.cpp}"
    done
}

# A headless Wayland session for the GUI tests: sway (headless backend, software renderer, one
# 1280x1024 output, every window floating at its own size) with a private D-Bus session bus that
# starts the accessibility bus on demand. sway refuses to run as root, so it runs as nobody in
# a runtime folder of its own; root's clients reach its socket all the same. Exports
# WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK and DBUS_SESSION_BUS_ADDRESS, unsets DISPLAY;
# stop_wayland_session ends exactly the processes it started.
WAYLAND_SESSION_DIR=""
WAYLAND_SESSION_PIDS=()

start_wayland_session() {
    local dir user=() i
    dir="$(mktemp -d /tmp/zilui-wayland.XXXXXX)"
    WAYLAND_SESSION_DIR="$dir"
    trap stop_wayland_session EXIT
    mkdir -m 700 "$dir/run" "$dir/clients"
    cat >"$dir/sway.conf" <<'CONF'
xwayland disable
output * resolution 1280x1024 position 0 0
default_border none
default_floating_border none
focus_follows_mouse no
for_window [app_id=".*"] floating enable
CONF
    if [ "$(id -u)" = 0 ]; then
        chown nobody:nogroup "$dir/run"
        chmod 755 "$dir"
        user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    env -i PATH="$PATH" HOME="$dir/run" XDG_RUNTIME_DIR="$dir/run" WLR_BACKENDS=headless WLR_RENDERER=pixman \
        WLR_LIBINPUT_NO_DEVICES=1 "${user[@]}" sway --config "$dir/sway.conf" >"$dir/sway.log" 2>&1 &
    WAYLAND_SESSION_PIDS+=($!)
    for i in $(seq 1 100); do
        if [ -S "$dir/run/wayland-1" ] && compgen -G "$dir/run/sway-ipc.*.sock" >/dev/null; then
            break
        fi
        if ! kill -0 "${WAYLAND_SESSION_PIDS[0]}" 2>/dev/null; then
            echo "cannot start sway; its log:" >&2
            cat "$dir/sway.log" >&2
            return 1
        fi
        sleep 0.1
    done
    if [ ! -S "$dir/run/wayland-1" ]; then
        echo "sway did not open its socket in time; its log:" >&2
        cat "$dir/sway.log" >&2
        return 1
    fi
    # The clients keep a runtime folder of their own (a bus daemon refuses one owned by
    # another user) and reach the compositor by its socket's full path.
    export XDG_RUNTIME_DIR="$dir/clients" WAYLAND_DISPLAY="$dir/run/wayland-1"
    SWAYSOCK="$(compgen -G "$dir/run/sway-ipc.*.sock" | head -n1)"
    export SWAYSOCK
    unset DISPLAY
    # The accessibility bus comes from its launcher on a session bus of our own. The tests get
    # its address directly: their desktop tests bring session buses of their own, and GIO keeps
    # the first session connection a process makes.
    local address
    address="$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | tr '\n' ' ')"
    WAYLAND_SESSION_PIDS+=("$(echo "$address" | awk '{print $2}')")
    AT_SPI_BUS_ADDRESS="$(DBUS_SESSION_BUS_ADDRESS="${address%% *}" dbus-send --session --print-reply=literal \
        --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress | tr -d '[:space:]')" || {
        echo "cannot start the accessibility bus (at-spi2-core)" >&2
        return 1
    }
    export AT_SPI_BUS_ADDRESS
    unset DBUS_SESSION_BUS_ADDRESS
}

stop_wayland_session() {
    local pid
    for pid in "${WAYLAND_SESSION_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${WAYLAND_SESSION_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    WAYLAND_SESSION_PIDS=()
    if [ -n "$WAYLAND_SESSION_DIR" ]; then
        rm -rf "$WAYLAND_SESSION_DIR"
        WAYLAND_SESSION_DIR=""
    fi
}

# The GUI tests once more, on Wayland with the accessibility bridge loaded (GNOME's default
# session): in a subshell, so that the session's environment and its clean-up stay there.
# Not the fuzzing corpus replay, which draws nothing. About 40 s.
run_wayland_stage() {
    local tool
    for tool in sway swaymsg grim dbus-daemon dbus-send; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "Wayland stage: $tool is not installed (scripts/setup.sh installs it)" >&2
            return 1
        fi
    done
    (
        start_wayland_session || exit 1
        # zilui-tests replaces any other accessibility bus with a bare one of its own.
        export GDK_BACKEND=wayland GTK_MODULES=gail:atk-bridge ZILUI_TEST_AT_SPI_BUS_ADDRESS="$AT_SPI_BUS_ADDRESS"
        unset NO_AT_BRIDGE
        cd "$BUILD_DIR" && bin/zilui-tests --gtest_brief=1 --gtest_filter="${ZILUI_WAYLAND_FILTER:--FuzzReplay.*}"
    )
}

# What the sanitizer and fuzzing builds need beyond the plain one; prints the first thing
# missing, nothing when all is there.
sanitizer_tools_missing() {
    if ! command -v "$CLANG_CXX" >/dev/null 2>&1; then
        echo "$CLANG_CXX (package clang-14)"
        return 0
    fi
    local lib
    for lib in libclang_rt.asan-x86_64.a libclang_rt.fuzzer-x86_64.a; do
        # clang prints the bare name back when it has no such file.
        if [ ! -f "$("$CLANG_CXX" -print-file-name="$lib")" ]; then
            echo "$lib (package libclang-rt-14-dev)"
            return 0
        fi
    done
    if [ ! -x /usr/bin/llvm-symbolizer-14 ]; then
        echo "llvm-symbolizer-14 (package llvm-14)"
    fi
}

# The GUI tests start private session buses of their own; without the daemon they cannot.
ensure_bus_daemon() {
    if ! command -v dbus-daemon >/dev/null 2>&1; then
        say_missing "no D-Bus: dbus-daemon (package dbus-daemon) is not installed; the tests start private buses with it"
        return 1
    fi
}
