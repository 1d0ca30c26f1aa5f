# Installs what the build, the tests and the demo need on Debian 12, only when something is missing.
# Sourced by scripts/build, scripts/test, scripts/package, scripts/demo and scripts/bench.

# What making a release needs besides the build: scripts/package and the release tests.
orvantis_release_packages=(zip unzip wixl msitools faketime osslsigncode)

# Extra packages one script alone needs may be given as arguments.
orvantis_need_packages() {
    local missing=()
    local pkg
    for pkg in cmake g++ make libgtest-dev googletest clang libclang-rt-14-dev \
        g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 wine64 \
        xvfb xauth x11-apps imagemagick clang-format libxml2-utils "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
