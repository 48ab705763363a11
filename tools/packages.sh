# Sourced by the demo and test scripts: makes sure Debian packages are installed.
# nelk_require_packages PACKAGE...: installs the missing ones when run as root, otherwise names
# them and fails.
nelk_require_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]}" >&2
        echo "install them with: sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    if [ -z "${NELK_APT_UPDATED:-}" ]; then
        apt-get update -qq >&2 || return 1
        export NELK_APT_UPDATED=1
    fi
    apt-get install -y -q "${missing[@]}" >&2  # a line a package: a long install is never silent
}

# What building and testing the project needs.
NELK_BUILD_PACKAGES=(cmake ninja-build g++ binutils pkg-config libgtest-dev googletest libcli11-dev nlohmann-json3-dev
    libedit-dev libcpp-httplib-dev libdw-dev libpugixml-dev libxml2-utils libzip-dev libssl-dev libcapstone-dev)
