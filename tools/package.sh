#!/usr/bin/env bash
# Builds the kit's packages into dist/: for Linux a .deb and a .tar.gz, each carrying the Windows
# kits for x86 and x64 (the static framework, nelk_string.dll, nelk-host.exe, nelk_tap.dll and
# their CMake package, in <prefix>/i686-w64-mingw32 and <prefix>/x86_64-w64-mingw32) beside the
# Linux one, the toolchain files and nelk-win32-run; and a .zip of each Windows kit.
#   tools/package.sh                 builds what it needs in build-package/ (Release, no tests)
#   NELK_PACKAGE_BUILDS="LINUX X86 X64"  packs these configured and built trees instead (tools/test.sh
#                                    passes its own build, build-win32 and build-win64)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
nelk_require_packages "${NELK_BUILD_PACKAGES[@]}" mingw-w64 dpkg-dev file

dist=$PWD/dist
stage=$PWD/build-package/stage
if [ -n "${NELK_PACKAGE_BUILDS:-}" ]; then
    read -r linux x86 x64 <<<"$NELK_PACKAGE_BUILDS"
else
    linux=build-package/linux x86=build-package/windows-x86 x64=build-package/windows-x64
    flags=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DNELK_BUILD_TESTS=OFF)
    cmake -S . -B "$linux" "${flags[@]}" >/dev/null
    cmake -S . -B "$x86" "${flags[@]}" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-i686.cmake" >/dev/null
    cmake -S . -B "$x64" "${flags[@]}" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
    for tree in "$linux" "$x86" "$x64"; do cmake --build "$tree" -j2; done
fi
rm -rf "$stage" "$dist" && mkdir -p "$stage" "$dist"
# Each Windows kit as it installs, staged where the Linux packages carry it.
cmake --install "$x86" --prefix "$stage/i686-w64-mingw32" >/dev/null
cmake --install "$x64" --prefix "$stage/x86_64-w64-mingw32" >/dev/null
# Beside the Linux kit: in the .tar.gz at its top, in the .deb under /usr (a .deb's extra folders
# are laid out from the root, its project under its /usr prefix).
kits() { echo "$stage/i686-w64-mingw32;$1i686-w64-mingw32;$stage/x86_64-w64-mingw32;$1x86_64-w64-mingw32"; }
(cd "$linux" && cpack -G TGZ -B "$dist" -D "CPACK_INSTALLED_DIRECTORIES=$(kits "")" >/dev/null &&
    cpack -G DEB -B "$dist" -D "CPACK_INSTALLED_DIRECTORIES=$(kits usr/)" >/dev/null)
for tree in "$x86" "$x64"; do (cd "$tree" && cpack -B "$dist" >/dev/null); done
rm -rf "$dist/_CPack_Packages"
echo "the kit's packages, in $dist:"
ls -l "$dist" | sed -n 's/^[^ ]* *[0-9]* [^ ]* *[^ ]* *\([0-9]*\) .* \([^ ]*\)$/  \2 (\1 bytes)/p'
