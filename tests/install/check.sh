#!/usr/bin/env bash
# What a till vendor does with imp00000: installs it into a prefix, builds the C host of examples/host-c
# against the install with find_package, prints the demo order with it, and builds the Debian package.
#   tests/install/check.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && ls -d lib*/ | head -1)
libdir=${libdir%/}
for f in include/imp00000.h bin/imphost "$libdir/libimp00000.so" "$libdir/pkgconfig/imp00000.pc" \
  "$libdir/cmake/imp00000/imp00000Config.cmake" "$libdir/imp00000/imp_sqlite.so"; do
  [ -e "$prefix/$f" ] || { echo "install: $f missing" >&2; exit 1; }
done
soname=$(objdump -p "$prefix/$libdir/libimp00000.so" | awk '/SONAME/ {print $2}')
[ "$soname" = libimp00000.so.0 ] || { echo "install: SONAME is '$soname'" >&2; exit 1; }
if find "$prefix" -name '*Mp2032*' -o -name '*Daruma*' -o -name '*SI300*' -o -name '*Epson*' -o -name '*KIOSK*' |
  grep -q .; then
  echo "install: a stand-in printer driver was installed" >&2
  exit 1
fi
PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig pkg-config --exists imp00000

# The C host, built against the install only.
cmake -S "$root/examples/host-c" -B "$tmp/host-c" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS=-Werror \
  >/dev/null
cmake --build "$tmp/host-c" >/dev/null

# A host folder: the demo database, the port map, the port mapping table; the host supplies the rest.
"$build/imphost" demo --host-dir "$tmp/demo" >/dev/null
host=$tmp/host
mkdir -p "$host/Dados/Cadastros" "$host/printers"
cp "$tmp/demo/Dados/imp.db" "$host/Dados/"
cp "$root/examples/demo-host/Dados/Cadastros/cdsMapeamento.cds" "$host/Dados/Cadastros/"
echo '{"ports": {"LPT1": "printers/LPT1.prn", "LPT2": "printers/LPT2.prn"}}' >"$host/imphost.json"
IMP_NOW=2026-12-09T12:30:00 IMP_PAUSE_SCALE=0 "$tmp/host-c/host-c" "$host" "sqlite:Dados/imp.db" \
  "$root/examples/jobs/pedido/mesa12-itens.json" "$root/examples/jobs/pedido/mesa12-parametros.json" >/dev/null
for p in LPT1 LPT2; do
  if ! cmp -s "$root/examples/host-c/expected/$p.prn" "$host/printers/$p.prn"; then
    echo "host-c: $p received other bytes than examples/host-c/expected/$p.prn:" >&2
    cat -v "$host/printers/$p.prn" >&2 || true
    exit 1
  fi
done

# The Debian package.
(cd "$build" && cpack -G DEB -B "$tmp/deb" >/dev/null)
deb=$(ls "$tmp"/deb/*.deb)
listing=$(dpkg-deb -c "$deb")
for f in libimp00000.so.0 include/imp00000.h pkgconfig/imp00000.pc cmake/imp00000/imp00000Config.cmake bin/imphost; do
  grep -q "$f" <<<"$listing" || { echo "package: $f missing from $(basename "$deb")" >&2; exit 1; }
done
echo "install, C host and package: ok ($(basename "$deb"))"
