#!/usr/bin/env bash
# pixeldemo in a web browser: builds the WebAssembly page, serves it, tests it.
#
#   scripts/web.sh build      builds dist/web/ (index.html, page.js, pixeldemo.js/.wasm,
#                             the threaded pixeldemo-threads.js/.wasm/.worker.js,
#                             pixeldemo.data and pixeldemo-data.js, loading.png, LICENSE.txt,
#                             THIRD-PARTY-NOTICES.txt, _headers)
#   scripts/web.sh serve      builds, then serves dist/web/ on http://127.0.0.1:8080/
#                             (PIXELDEMO_WEB_PORT picks another port) until Ctrl-C, with
#                             the two headers of cross-origin isolation, so the page runs
#                             its threaded build
#   scripts/web.sh test       builds, then tests the page in headless Chromium; nonzero
#                             exit on failure (tests/web/browser_test.py says what failed)
#
# Installs what is missing as root through apt-get: emscripten (with Debian's node modules
# and clang), chromium for the test, dpkg-dev for the source packages. The libraries are
# cross-built once by scripts/web-deps.sh into ~/.cache/pixeldemo/wasm; the content comes
# from the native asset tool (build/data/, made by the native build when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
. scripts/lib.sh

command=${1:-build}
case $command in build|serve|test) ;; *)
  echo "usage: scripts/web.sh build|serve|test" >&2
  exit 2 ;;
esac

say() { echo "web: $*" >&2; }

# ---- Packages. ----
pkgs=(emscripten dpkg-dev cmake make pkg-config python3)
[ "$command" = test ] && pkgs+=(chromium)
ensure_packages "${pkgs[@]}"

# Debian's emscripten finds its JavaScript modules (acorn) only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
jobs=$(demo_jobs 2)

# ---- The content, from the native asset tool. ----
if [ ! -f build/CMakeCache.txt ]; then
  say "no native build yet: building it for the asset tool"
  scripts/setup.sh run
fi
cmake --build build --target data -j"$jobs" >&2

# ---- The libraries and the programs: the single-threaded page and the threaded one. ----
web_build() {   # build folder, the libraries' variant (empty or threads), CMake options
  local dir=$1 variant=$2 prefix
  shift 2
  prefix=$(scripts/web-deps.sh $variant)
  # A fresh configuration for other libraries; DEMO_WERROR=1 (set by CI): warnings in our
  # code are errors, as in the native build.
  if [ -f "$dir/CMakeCache.txt" ] &&
     ! grep -qxF "WEB_DEPS_PREFIX:PATH=$prefix" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  demo_configure --wrap emcmake "$dir" -DCMAKE_BUILD_TYPE=Release -DWEB_DEPS_PREFIX="$prefix" "$@"
  cmake --build "$dir" -j"$jobs" >&2
}
web_build build-web ""
web_build build-web-threads threads -DDEMO_WEB_THREADS=ON

# ---- dist/web. ----
dist=dist/web
stage=build-web/stage
rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage/data"
# Everything of data/ the demo reads: not the asset tool's contact sheet and stamp, and not
# the loading picture, which the page shows by itself while the rest arrives.
(cd build/data && find . -type f ! -name '.*' ! -path ./contact.png ! -path ./loading.png) |
  while read -r f; do
    mkdir -p "$stage/data/$(dirname "$f")"
    cp "build/data/$f" "$stage/data/$f"
  done
python3 /usr/share/emscripten/tools/file_packager.py "$dist/pixeldemo.data" \
  --preload "$stage/data@/data" --js-output="$dist/pixeldemo-data.js" --no-node >/dev/null 2>&1
cp build-web/pixeldemo.js build-web/pixeldemo.wasm platform/web/page.js build/data/loading.png "$dist/"
cp build-web-threads/pixeldemo-threads.js build-web-threads/pixeldemo-threads.wasm \
   build-web-threads/pixeldemo-threads.worker.js "$dist/"
# The headers that make the page cross-origin isolated, for the hosts that read a _headers
# file (Netlify, Cloudflare Pages); the page runs its threaded build only when isolated.
printf '/*\n  Cross-Origin-Opener-Policy: same-origin\n  Cross-Origin-Embedder-Policy: require-corp\n' \
  >"$dist/_headers"
# The licence, and the licences and versions of the libraries compiled in.
cp LICENSE "$dist/LICENSE.txt"
scripts/notices.sh web "$dist/THIRD-PARTY-NOTICES.txt"
wasm_size=$(stat -c %s "$dist/pixeldemo.wasm")
threads_size=$(stat -c %s "$dist/pixeldemo-threads.wasm")
data_size=$(stat -c %s "$dist/pixeldemo.data")
sed -e "s/@WASM_SIZE@/$wasm_size/" -e "s/@THREADS_WASM_SIZE@/$threads_size/" \
    -e "s/@DATA_SIZE@/$data_size/" platform/web/index.html >"$dist/index.html"
total=$(du -cb "$dist"/* | tail -1 | cut -f1)
say "$dist: $(( total / 1024 )) KiB in all (programs $(( wasm_size / 1024 )) and $(( threads_size / 1024 )) KiB, data $(( data_size / 1024 )) KiB)"

case $command in
  serve)
    port=${PIXELDEMO_WEB_PORT:-8080}
    echo "Serving $dist at http://127.0.0.1:$port/ (Ctrl-C stops)"
    # Python's file server with the two headers of cross-origin isolation on every file.
    exec python3 -c '
import functools, http.server, sys
class Isolated(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()
handler = functools.partial(Isolated, directory=sys.argv[2])
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), handler).serve_forever()
' "$port" "$dist"
    ;;
  test)
    exec python3 tests/web/browser_test.py --dist "$dist" --golden tests/unit/golden_frames.txt \
      --out build-web/test-output
    ;;
esac
