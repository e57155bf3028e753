#!/bin/sh
# Builds the examples against an installed cwbase found through pkg-config:
#
#   PKG_CONFIG_PATH=/path/to/prefix/lib/pkgconfig examples/build-pkgconfig.sh [OUTDIR]
#
# PKG_CONFIG_PATH is not needed when cwbase is installed in /usr (e.g. from the
# Debian package). The programs go to OUTDIR (default: ./build-examples-pc).
# Each is one compiler call: c++ -std=c++17 FILE.cpp $(pkg-config --cflags --libs cwbase)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-build-examples-pc}
cxx=${CXX:-c++}
mkdir -p "$out"
flags=$(pkg-config --cflags --libs cwbase)
echo "cwbase $(pkg-config --modversion cwbase): $flags"
for example in xml_config http_response dates_versions encodings; do
  echo "$cxx -std=c++17 -Wall -Wextra -o $out/$example $example.cpp \$(pkg-config --cflags --libs cwbase)"
  # shellcheck disable=SC2086  # the flags are meant to split into words
  "$cxx" -std=c++17 -Wall -Wextra -o "$out/$example" "$here/$example.cpp" $flags
done
