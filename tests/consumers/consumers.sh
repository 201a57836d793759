#!/usr/bin/env bash
# Builds small client programs of zilui outside the source tree, the ways a user would, and
# runs them (they need a display). CTest runs each mode as one test (tests/CMakeLists.txt).
#   consumers.sh MODE SOURCE_DIR BUILD_DIR WORK_DIR
# setup installs the build into WORK_DIR/prefix once; find-package, pkg-config and deb reuse
# it or the build; cleanup removes WORK_DIR. subdirectory builds the library again inside a
# client, in a WORK_DIR of its own that it removes when it passes.
set -euo pipefail
mode="$1" src="$2" build="$3" work="$4"

# Through the caller's compiler cache (scripts/lib.sh), with paths relative to the work folder,
# whose name differs from build to build, so that another checkout's clients hit too.
launcher="${CMAKE_CXX_COMPILER_LAUNCHER:-}"
if [ -n "$launcher" ]; then
    export CCACHE_BASEDIR="$work"
fi

generator=()
if command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
fi
jobs="$(nproc)"

# A client folder: the CMake project from the docs, the client program and its catalogue
# template.
new_client() {
    rm -rf "$1"
    mkdir -p "$1"
    cp "$src/docs/examples/CMakeLists.txt" "$1/CMakeLists.txt"
    cp "$src/tests/consumers/client.cpp" "$1/main.cpp"
    cp -r "$src/tests/consumers/po" "$1/po"
}

# Runs a client; it must exit 0 and must have taken the skin from below $2. With $3
# "catalogue" its build made its own catalogue, which must turn the XRC text "file#||#Open"
# into "Open"; without, wxWidgets shows the whole text and start-up warns that the program
# has no folders of its own.
run_client() {
    local output status=0 catalogue="${3:-}"
    # Each client its own log and configuration: clients run in parallel, and a log is locked.
    export XDG_STATE_HOME="$(dirname "$1")/state" XDG_CONFIG_HOME="$(dirname "$1")/config"
    # In the source language, whatever this machine's is; the loader only from what the
    # program and its libraries say.
    output="$(env -u LD_LIBRARY_PATH LC_ALL=C.UTF-8 LANGUAGE= timeout 120 "$1" 2>&1)" || status=$? # 124: it hung
    printf '%s\n' "$output"
    if [ "$status" -ne 0 ]; then
        echo "consumer: $1 exited with $status" >&2
        exit 1
    fi
    if ! grep -qxF "skin: $2/skins/glossy/button.ini" <<<"$output"; then
        echo "consumer: the skin did not come from $2" >&2
        exit 1
    fi
    local label="file#||#Open"
    if [ "$catalogue" = catalogue ]; then
        label="Open"
    else
        # The client has no res/ or lang/ of its own, which start-up must have said.
        local log="$XDG_STATE_HOME/zilui-consumer/consumer.log"
        if ! grep -q "No .res. or .lang. folder in" "$log"; then
            echo "consumer: no warning about the missing program folders in $log" >&2
            exit 1
        fi
    fi
    if ! grep -qxF "label: $label" <<<"$output"; then
        echo "consumer: the XRC label is not '$label'" >&2
        exit 1
    fi
}

# The CMake client in $1 must have compiled its catalogue with the zilui-pocontext at $2.
expect_catalogue_tool() {
    local dir="$1" tool="$2"
    if [ ! -f "$dir/build/lang/en/LC_MESSAGES/myapp.mo" ]; then
        echo "consumer: $dir made no catalogue" >&2
        exit 1
    fi
    if ! grep -rqsF --include='*.ninja' --include='*.make' --include=Makefile "$tool" "$dir/build"; then
        echo "consumer: the catalogue of $dir was not compiled by $tool" >&2
        exit 1
    fi
}

# Configures, builds and runs the CMake client in $1 with the extra configure arguments.
cmake_client() {
    local dir="$1" res="$2"
    shift 2
    new_client "$dir"
    cmake -S "$dir" -B "$dir/build" "${generator[@]}" "$@" >"$dir/configure.log" ||
        { cat "$dir/configure.log"; exit 1; }
    ${nice:-} cmake --build "$dir/build" --parallel "$jobs"
    run_client "$dir/build/bin/myapp" "$res" catalogue
}

# Configuring the client in $1 must fail with an error matching $2.
expect_configure_error() {
    local dir="$1" pattern="$2"
    shift 2
    if cmake -S "$dir" -B "$dir/build" "${generator[@]}" "$@" >"$dir/configure.log" 2>&1; then
        echo "consumer: configuring $dir succeeded; expected an error matching '$pattern'" >&2
        exit 1
    fi
    if ! tr '\n' ' ' <"$dir/configure.log" | grep -qE "$pattern"; then
        cat "$dir/configure.log"
        echo "consumer: the configure error does not match '$pattern'" >&2
        exit 1
    fi
}

case "$mode" in
setup)
    rm -rf "$work"
    mkdir -p "$work"
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    ;;
cleanup)
    rm -rf "$work"
    ;;
find-package)
    cmake_client "$work/find-package" "$work/prefix/share/zilui/res" -DCMAKE_PREFIX_PATH="$work/prefix"
    expect_catalogue_tool "$work/find-package" "$work/prefix/bin/zilui-pocontext"
    ;;
pkg-config)
    dir="$work/pkg-config"
    new_client "$dir"
    pcdir="$(dirname "$(find "$work/prefix" -name zilui.pc | head -n1)")"
    export PKG_CONFIG_PATH="$pcdir"
    # A private prefix: the flags carry the rpath to it, so the program starts without
    # LD_LIBRARY_PATH (run_client empties it).
    libdir="$(pkg-config --variable=libdir zilui)"
    if ! grep -qF -- "-Wl,-rpath,$libdir" <<<"$(pkg-config --libs zilui)"; then
        echo "consumer: pkg-config --libs zilui has no rpath to $libdir: $(pkg-config --libs zilui)" >&2
        exit 1
    fi
    # shellcheck disable=SC2046 # the flags are meant to be split
    $launcher c++ -o "$dir/myapp" "$dir/main.cpp" $(pkg-config --cflags --libs zilui)
    run_client "$dir/myapp" "$work/prefix/share/zilui/res"
    ;;
subdirectory)
    # Only what the repository holds (tracked or not ignored), as in a fresh copy.
    rm -rf "$work"
    copy="$work/subdirectory/zilui"
    mkdir -p "$copy"
    if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$src" ls-files -z --cached --others --exclude-standard |
            tar -C "$src" --null -T - -cf - | tar -C "$copy" -xf -
    else
        tar -C "$src" --exclude='./build' --exclude='./build-*' -cf - . | tar -C "$copy" -xf -
    fi
    # A unity build without optimisation keeps this second build of the library cheap: what is
    # checked is how it builds into a client, not its code. It runs beside the GUI tests, which
    # spend much of their time waiting, and yields the processor to them.
    nice="nice -n 10"
    cmake_client "$work/subdirectory/client" "$work/subdirectory/client/build/zilui/res" \
        -DZILUI_SOURCE_DIR="$copy" -DCMAKE_UNITY_BUILD=ON -DCMAKE_BUILD_TYPE=
    rm -rf "$work"
    ;;
deb)
    dir="$work/deb"
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$dir" >"$dir/cpack.log") ||
        { cat "$dir/cpack.log"; exit 1; }
    runtime="$(ls "$dir"/libzilui0_*.deb)"
    dev="$(ls "$dir"/libzilui-dev_*.deb)"
    if ! grep -q 'libwxgtk3\.2' <<<"$(dpkg-deb --field "$runtime" Depends)"; then
        echo "consumer: dpkg-shlibdeps found no wxWidgets dependency of libzilui0" >&2
        exit 1
    fi
    # What each package must hold; dpkg -c lists "./usr/...". Public shared libraries and
    # what names them lie in Debian's multiarch folder.
    multiarch="$(c++ -print-multiarch)"
    while read -r deb pattern; do
        if ! grep -qE "\./usr/$pattern" <<<"$(dpkg -c "$deb")"; then
            echo "consumer: $(basename "$deb") lacks $pattern" >&2
            exit 1
        fi
    done <<EOF_CONTENTS
$runtime lib/$multiarch/libzilui\.so\.0
$runtime lib/$multiarch/libzil\.so\.0
$runtime share/zilui/res/ProgressDialog\.xrc
$runtime share/zilui/res/skins/glossy/button\.ini
$runtime share/zilui/lang/de/LC_MESSAGES/zilui\.mo
$dev include/zilui/app/appbase\.h
$dev include/zil/path\.h
$dev lib/$multiarch/libzilui\.so ->
$dev lib/$multiarch/cmake/zilui/ziluiConfig\.cmake
$dev lib/$multiarch/cmake/zilui/ziluiConfigVersion\.cmake
$dev lib/$multiarch/cmake/zilui/Translations\.cmake
$dev lib/$multiarch/pkgconfig/zilui\.pc
$dev lib/$multiarch/pkgconfig/zil\.pc
$dev bin/zilui-pocontext
EOF_CONTENTS
    # As if installed on a fresh machine: unpacked into a root of its own.
    for deb in "$runtime" "$dev"; do
        dpkg -x "$deb" "$dir/root"
    done
    # The system prefix: no rpath in the flags, as in Debian's own .pc files.
    for pc in zil zilui; do
        if grep -q -- '-rpath' "$dir/root/usr/lib/$multiarch/pkgconfig/$pc.pc"; then
            echo "consumer: the package's $pc.pc sets an rpath" >&2
            exit 1
        fi
    done
    cmake_client "$dir/client" "$dir/root/usr/share/zilui/res" -DCMAKE_PREFIX_PATH="$dir/root/usr"
    expect_catalogue_tool "$dir/client" "$dir/root/usr/bin/zilui-pocontext"
    ;;
newer-version)
    # Asking for more than is installed fails at configure time, with CMake's version error.
    dir="$work/newer-version"
    new_client "$dir"
    sed -i 's/find_package(zilui 0.1 REQUIRED)/find_package(zilui 0.2 REQUIRED)/' "$dir/CMakeLists.txt"
    expect_configure_error "$dir" 'requested version "0\.2"' -DCMAKE_PREFIX_PATH="$work/prefix"
    ;;
no-wxwidgets)
    # A machine without wxWidgets (no wx-config): the error names wxWidgets at configure time.
    dir="$work/no-wxwidgets"
    new_client "$dir"
    expect_configure_error "$dir" 'Could NOT find wxWidgets|dependency wxWidgets could not be found' \
        -DCMAKE_PREFIX_PATH="$work/prefix" -DwxWidgets_CONFIG_EXECUTABLE=/bin/false
    ;;
*)
    echo "consumers.sh: unknown mode '$mode'" >&2
    exit 2
    ;;
esac
