#!/usr/bin/env bash
# Builds the Debian package tallowick_VERSION_ARCH.deb at the top of the tree:
# a build of its own in build-deb (or $BUILD_DIR) with Debian's compiler and
# linker flags, hardening included, then CPack's DEB generator, whose library
# dependencies dpkg-shlibdeps reads from the binary; then lintian over it.
#
# What lintian may still say, on purpose:
#   initial-upload-closes-no-bugs (warning): overridden in the package
#     (packaging/lintian-overrides): it is not made for the Debian archive, so
#     no bug asks for it.
#   binary-has-unneeded-section .comment (info): CPack strips the program
#     with a plain `strip`, which keeps the compiler's version note.
# Exits non-zero when the build fails or lintian reports an error or warning.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
build=${BUILD_DIR:-build-deb}

# The flags a Debian package build uses; CMake reads no CPPFLAGS, so the
# preprocessor's (_FORTIFY_SOURCE) go in with the compiler's.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
# shellcheck disable=SC2153  # set by dpkg-buildflags above
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
# The build type None adds no flags of its own to those.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DTALLOWICK_TESTS=OFF -DTALLOWICK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/package/tallowick_*.deb
(cd "$build" && cpack -G DEB)
deb=$(find "$build/package" -maxdepth 1 -name 'tallowick_*.deb')
cp "$deb" .
deb=$(basename "$deb")
echo "== lintian $deb"
lintian --fail-on error,warning --display-info "$deb"
echo "Built $PWD/$deb; install it with: sudo apt install ./$deb"
