#!/usr/bin/env bash
# Builds the third-party code of the Windows cross build into
# build-windows/third-party/ (called by scripts/build-windows.sh):
#  - freeglut, static, from Debian's source package;
#  - CLI11's headers, on their own;
#  - OpenSSL's libcrypto and libssl, static, from Debian's source package;
#  - Cyclone DDS 0.10.2 with DDS Security: ddsc.dll, the three security plugin
#    DLLs and ddsperf.exe, each linked statically against OpenSSL and MinGW's
#    runtime so that no MinGW DLL has to travel with them. Its source is
#    upstream's release archive, taken from the downloads folder
#    ($LUMIVEX_DOWNLOADS, ../shared/downloads by default) or from upstream,
#    and checked against a pinned hash either way; our patches for it are in
#    cmake/windows/patches/.
# Debian sources are fetched through a source list of our own under
# build-windows/apt/; the system's apt sources are left as they are. Each part
# is built once and again only when its recipe changes (a stamp file beside
# its log). Logs: build-windows/third-party/*.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
third=$out/third-party
toolchain=$root/cmake/mingw-w64-x86_64.cmake
downloads=${LUMIVEX_DOWNLOADS:-$root/../shared/downloads}
mkdir -p "$third"

# A fresh clone elsewhere on this machine reuses the compiler cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR=1
ccache=()
cmake_launcher=()
if command -v ccache >/dev/null; then
  ccache=(ccache)
  cmake_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

fail_with_log() {
  echo "$1 failed; the end of $2:" >&2
  tail -n 40 "$2" >&2
  exit 1
}

# deb-src lines for the mirror and suite the system's own sources name.
apt_options() {
  local apt=$out/apt uri suite
  mkdir -p "$apt/lists/partial" "$apt/parts"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    uri=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources)
    suite=$(awk '/^Suites:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources)
  else
    read -r uri suite < <(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3; exit}' /etc/apt/sources.list)
  fi
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" > "$apt/sources.list"
  echo -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts" -o "Dir::State::Lists=$apt/lists"
}

apt_updated=false
# Unpacks Debian's source package $1 into the empty folder $2 and sets
# source_tree to its tree.
fetch_debian_source() {
  local package=$1 folder=$2 options
  options=$(apt_options)
  if ! $apt_updated; then
    apt-get $options update -qq
    apt_updated=true
  fi
  rm -rf "$folder" && mkdir -p "$folder"
  (cd "$folder" && apt-get $options source -qq "$package" 2>&1 |
                      grep -v -e '^W: Download is performed unsandboxed' -e '^dpkg-source: info:' || true)
  source_tree=$(find "$folder" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
  [ -n "$source_tree" ] || { echo "apt-get source $package gave no source tree" >&2; exit 1; }
}

# True when stamp file $1 exists and its first line is $2.
built_as() {
  [ -f "$1" ] && [ "$(head -n 1 "$1")" = "$2" ]
}

# freeglut as a static library.
build_freeglut() {
  [ -f "$third/lib/libfreeglut_static.a" ] && return 0
  local log=$third/freeglut.log
  fetch_debian_source freeglut "$third/src/freeglut"
  cmake -S "$source_tree" -B "$third/freeglut-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${cmake_launcher[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$third" -DFREEGLUT_BUILD_SHARED_LIBS=OFF \
        -DFREEGLUT_BUILD_STATIC_LIBS=ON -DFREEGLUT_BUILD_DEMOS=OFF -DFREEGLUT_GLES=OFF > "$log" 2>&1 ||
    fail_with_log "Configuring freeglut" "$log"
  cmake --build "$third/freeglut-build" --target install -j2 >> "$log" 2>&1 || fail_with_log "Building freeglut" "$log"
}

# CLI11 is header-only; its headers are given to the cross build on their own,
# without the rest of the system's include folder.
link_cli11() {
  mkdir -p "$third/include"
  ln -sfn /usr/include/CLI "$third/include/CLI"
}

# OpenSSL's libraries only (no programs, no documents). The folders compiled
# into libcrypto, where it looks for openssl.cnf, engines and providers, are
# OpenSSL's own defaults for Windows: places only administrators can write.
# Left to Configure they would be paths of this machine, meaningless on
# Windows and, on the current drive, creatable by any user.
openssl_configure=(mingw64 no-shared no-tests --libdir=lib)
openssl_folders=("OPENSSLDIR=C:/Program Files/Common Files/SSL"
                 "ENGINESDIR=C:/Program Files/OpenSSL/lib/engines-3"
                 "MODULESDIR=C:/Program Files/OpenSSL/lib/ossl-modules")
openssl_stamp=$third/openssl.stamp
build_openssl() {
  local recipe="openssl ${openssl_configure[*]} ${openssl_folders[*]}"
  built_as "$openssl_stamp" "$recipe" && [ -f "$third/lib/libcrypto.a" ] && return 0
  local source log=$third/openssl.log
  fetch_debian_source openssl "$third/src/openssl"
  source=$source_tree
  # The compiler is named whole rather than by --cross-compile-prefix, which
  # would be put in front of the cache launcher too.
  (cd "$source" &&
     CC="${ccache[*]} x86_64-w64-mingw32-gcc-posix" AR=x86_64-w64-mingw32-ar RANLIB=x86_64-w64-mingw32-ranlib \
     RC=x86_64-w64-mingw32-windres ./Configure "${openssl_configure[@]}" --prefix="$third") > "$log" 2>&1 ||
    fail_with_log "Configuring OpenSSL" "$log"
  make -C "$source" -j2 build_libs "${openssl_folders[@]}" >> "$log" 2>&1 || fail_with_log "Building OpenSSL" "$log"
  make -C "$source" install_dev "${openssl_folders[@]}" >> "$log" 2>&1 || fail_with_log "Installing OpenSSL" "$log"
  printf '%s\nversion %s\n' "$recipe" "$(basename "$(find "$third/src/openssl" -maxdepth 1 -name '*.dsc' | head -n 1)" .dsc)" \
    > "$openssl_stamp"
  rm -rf "$third/src/openssl"
}

# Upstream's release archive of Cyclone DDS, pinned by the SHA-256 of its
# uncompressed tar: compressed copies from elsewhere may differ in their
# compression alone. Prints the path of the verified tar.
cyclonedds_version=0.10.2
cyclonedds_tar_sha256=f7bf9cea6201faa2c72a9a9041ef2951dff3b436c3dd2e5b724ca202e525883d
cyclonedds_url=https://github.com/eclipse-cyclonedds/cyclonedds/archive/refs/tags/$cyclonedds_version.tar.gz
cyclonedds_tar() {
  local name=cyclonedds-$cyclonedds_version.tar.gz archive tar=$third/src/cyclonedds-$cyclonedds_version.tar actual
  archive=$downloads/$name
  if [ ! -f "$archive" ]; then
    archive=$third/downloads/$name
  fi
  if [ ! -f "$archive" ]; then
    mkdir -p "$third/downloads"
    echo "Cyclone DDS: $downloads/$name is missing; downloading $cyclonedds_url" >&2
    if command -v curl >/dev/null; then
      curl -fsSL --retry 2 -o "$archive.part" "$cyclonedds_url"
    elif command -v wget >/dev/null; then
      wget -q -O "$archive.part" "$cyclonedds_url"
    else
      echo "Cyclone DDS: neither curl nor wget is there to download $cyclonedds_url; put $name into $downloads" >&2
      exit 1
    fi || {
      echo "Cyclone DDS: downloading $cyclonedds_url failed; put $name into $downloads (or name its folder in LUMIVEX_DOWNLOADS)" >&2
      rm -f "$archive.part"
      exit 1
    }
    mv "$archive.part" "$archive"
  fi
  mkdir -p "$third/src"
  if ! actual=$(gzip -dc "$archive" | tee "$tar" | sha256sum | cut -d' ' -f1); then
    actual="unknown: it is not a whole gzip archive"
  fi
  if [ "$actual" != "$cyclonedds_tar_sha256" ]; then
    echo "Cyclone DDS: $archive is not upstream's release $cyclonedds_version:" >&2
    echo "  SHA-256 of its uncompressed tar is $actual, expected $cyclonedds_tar_sha256" >&2
    rm -f "$tar"
    # A download that failed the check is not kept to fail again.
    [ "$archive" != "$third/downloads/$name" ] || rm -f "$archive"
    exit 1
  fi
  echo "$tar"
}

# Cyclone DDS with DDS Security. idlc is Debian's own (the host's, same
# version), not built here. ddsc.dll and the plugins are linked with -static
# so that they take libgcc, winpthread and OpenSSL in rather than needing
# their DLLs. Without link-time optimisation: with it ddsc is compiled again
# at every link, which the compiler cache cannot serve (about a minute on two
# cores), and the DLL comes out no smaller.
cyclonedds_patches=$root/cmake/windows/patches/cyclonedds-$cyclonedds_version
cyclonedds_options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DENABLE_SECURITY=ON -DENABLE_SSL=ON
                    -DENABLE_SHM=OFF -DBUILD_IDLC=OFF -DBUILD_DDSPERF=ON -DBUILD_TESTING=OFF -DBUILD_EXAMPLES=OFF
                    -DBUILD_DOCS=OFF -DENABLE_LTO=OFF -DOPENSSL_USE_STATIC_LIBS=ON -DCMAKE_SHARED_LINKER_FLAGS=-static
                    -D_idlc_executable=/usr/bin/idlc)
build_cyclonedds() {
  local recipe
  recipe="cyclonedds $cyclonedds_version $cyclonedds_tar_sha256 patches $(cat "$cyclonedds_patches"/*.patch | sha256sum | cut -d' ' -f1) ${cyclonedds_options[*]} on $(head -n 2 "$openssl_stamp" | tr '\n' ' ')"
  local stamp=$third/cyclonedds.stamp
  built_as "$stamp" "$recipe" && [ -f "$third/bin/ddsc.dll" ] && return 0
  local idlc_version
  idlc_version=$(/usr/bin/idlc -v 2>/dev/null || true)
  [[ $idlc_version == *" $cyclonedds_version" ]] || {
    echo "Cyclone DDS: /usr/bin/idlc is '${idlc_version:-missing}', not $cyclonedds_version (package cyclonedds-tools)" >&2
    exit 1
  }
  local tar source=$third/src/cyclonedds-$cyclonedds_version build=$third/cyclonedds-build log=$third/cyclonedds.log patch
  tar=$(cyclonedds_tar)
  rm -rf "$source" "$build"
  tar -xf "$tar" -C "$third/src"
  rm -f "$tar"
  : > "$log"
  for patch in "$cyclonedds_patches"/*.patch; do
    echo "Applying $(basename "$patch")" >> "$log"
    patch -d "$source" -p1 --batch --fuzz=0 -i "$patch" >> "$log" 2>&1 || fail_with_log "Patching Cyclone DDS" "$log"
  done
  cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLUMIVEX_THIRD_PARTY="$third" \
        -DCMAKE_INSTALL_PREFIX="$third" -DOPENSSL_ROOT_DIR="$third" "${cmake_launcher[@]}" "${cyclonedds_options[@]}" \
        >> "$log" 2>&1 || fail_with_log "Configuring Cyclone DDS" "$log"
  cmake --build "$build" --target install -j2 >> "$log" 2>&1 || fail_with_log "Building Cyclone DDS" "$log"
  # Cyclone installs idlc_generate only with idlc, which is not built here;
  # cmake/WindowsThirdParty.cmake points it at the host's idlc.
  install -D -m 644 "$source/cmake/Modules/Generate.cmake" "$third/lib/cmake/CycloneDDS/idlc/Generate.cmake"
  echo "$recipe" > "$stamp"
  rm -rf "$source" "$build"
}

build_freeglut
link_cli11
build_openssl
build_cyclonedds
