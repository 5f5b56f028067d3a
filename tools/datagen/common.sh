# Shared by the generator steps (sourced, not run). The step sets `here` (this
# folder), `root` (the repository), `src` (its own sources, with package.json
# and package-lock.json when it uses npm), `work` (its git-ignored work folder)
# and a `say` function before it sources this file.

# install_debian PACKAGE...: installs the Debian packages that are missing,
# and Node.js with npm when there is none (it may come from elsewhere).
install_debian() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    command -v node >/dev/null || missing+=(nodejs)
    command -v npm >/dev/null || missing+=(npm)
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing from Debian's packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# install_npm: the step's pinned npm packages into $work/node. The lock file
# pins every package and its checksum; npm ci installs exactly that.
install_npm() {
    local dir=$work/node
    mkdir -p "$dir"
    if [ -d "$dir/node_modules" ] && cmp -s "$src/package-lock.json" "$dir/package-lock.json"; then
        return 0
    fi
    say "installing the pinned npm packages into $dir"
    cp "$src/package.json" "$src/package-lock.json" "$dir/"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
}

# find_kivpack: prints the path of kivpack, $KIVPACK when set, else builds it
# once in tools/datagen/work/build.
find_kivpack() {
    if [ -n "${KIVPACK:-}" ]; then
        echo "$KIVPACK"
        return
    fi
    local build=$here/work/build
    say "building kivpack in $build" >&2
    "$root/scripts/install-deps.sh" >&2
    cmake -S "$root" -B "$build" -DCHRONARA_TESTS=OFF -DCHRONARA_BENCH=OFF >/dev/null
    cmake --build "$build" --target kivpack -j2 >/dev/null
    echo "$build/bin/kivpack"
}
