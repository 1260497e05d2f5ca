#!/usr/bin/env bash
# The Linux release as a user gets it: dist/pixeldemo-linux-x64.tar.gz unpacked in an empty
# folder outside the source tree, started with no library path of ours.
#   - the archive holds one folder, pixeldemo/, with the program, data/, README.txt, LICENSE
#     and THIRD-PARTY-NOTICES.txt; the README names the C library it needs and warns of
#     flashing lights; the notices name every library built in;
#   - the program needs only the C library (ldd lists nothing else: no SDL, libpng, zlib,
#     libmpg123, kissfft or C++ runtime of the system), asks for no C library newer than
#     the README says, and carries the names of the X11, Wayland, ALSA, PulseAudio and
#     PipeWire libraries SDL opens at run time;
#   - it plays under Xvfb (tests/e2e/e2e_window.sh: a window with a picture, frame-rate
#     lines, Escape ends it), and while it plays the dynamic loader loads none of the
#     system's SDL2, libpng, libmpg123 or kissfft, although the development packages put
#     them on this machine's library path, and the program itself needs only libc and
#     libm (the system's libstdc++ may come only with a library SDL opened: Mesa's GL
#     driver brings it);
#   - it captures the whole timeline at 10 frames a second (the golden frames' clock) into
#     PNG files identical, byte for byte, to the native build's.
#
#   tests/linux/archive_test.sh dist/pixeldemo-linux-x64.tar.gz path/to/native/pixeldemo
set -u
archive=$(realpath "$1")
native=$(realpath "$2")
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/pixeldemo-archive.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
unset LD_LIBRARY_PATH LD_PRELOAD

# ---- The archive's contents. ----
tar -C "$work" -xzf "$archive" || fail "the archive does not unpack"
[ "$(ls "$work")" = pixeldemo ] || fail "the archive's top level is not one folder pixeldemo/: $(ls "$work" | tr '\n' ' ')"
dir=$work/pixeldemo
for f in pixeldemo data/s.png data/pelotrix.mp3 README.txt LICENSE THIRD-PARTY-NOTICES.txt; do
  [ -s "$dir/$f" ] || fail "pixeldemo/$f is missing"
done
[ -x "$dir/pixeldemo" ] || fail "pixeldemo/pixeldemo is not executable"
grep -q "This demo contains flashing lights." "$dir/README.txt" || fail "README.txt has no flashing-lights warning"
grep -q "MIT License" "$dir/LICENSE" || fail "LICENSE is not the MIT licence"
for lib in SDL2 libpng zlib libmpg123 kissfft "libstdc++ and libgcc"; do
  grep -q "^  $lib" "$dir/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt does not list $lib"
done
grep -q "apt-get source mpg123=" "$dir/THIRD-PARTY-NOTICES.txt" || fail "the notices do not say where libmpg123's source is"

# ---- What the program needs from the system. ----
cd "$work"
ldd "$dir/pixeldemo" >ldd.txt 2>&1 || { cat ldd.txt; fail "ldd failed"; }
cat ldd.txt
others=$(grep -vE '^\s*(linux-vdso\.so\.1|lib(c|m|dl|pthread|rt)\.so\.[0-9]+|/lib64/ld-linux-x86-64\.so\.2)\b' ldd.txt)
[ -z "$others" ] || fail "the program needs more than the C library: $others"
needed=$(objdump -T "$dir/pixeldemo" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1)
grep -q "C library $needed or newer" "$dir/README.txt" || fail "the program needs glibc $needed; README.txt says otherwise"
for lib in libX11.so.6 libwayland-client.so.0 libasound.so.2 libpulse-simple.so.0 libpipewire-0.3.so.0; do
  grep -qaF "$lib" "$dir/pixeldemo" || fail "SDL in the program does not open $lib at run time"
done
echo "needs glibc $needed; SDL opens X11, Wayland, ALSA, PulseAudio and PipeWire at run time"

# ---- It plays. ----
mkdir ld
LD_DEBUG=files LD_DEBUG_OUTPUT=$work/ld/trace E2E_PLAY_SECONDS=6 \
  bash "$here/tests/e2e/e2e_window.sh" "$dir/pixeldemo" || fail "the program did not play under Xvfb"
trace=$(grep -l "needed by $dir/pixeldemo" ld/trace.* 2>/dev/null | head -1)
[ -n "$trace" ] || fail "no loader trace of the program"
# Every library in the process: the program's own needs, and what SDL opened (X11, the GL
# driver with everything it needs in turn, D-Bus).
loaded=$(sed -n 's/.*file=\([^ ;]*\).*/\1/p' "$trace" | xargs -n1 basename | sort -u)
echo "loaded while playing: $(echo "$loaded" | tr '\n' ' ')"
bad=$(echo "$loaded" | grep -E '^lib(SDL2|png|mpg123|kissfft)' || true)
[ -z "$bad" ] || fail "the system's $(echo "$bad" | tr '\n' ' ')was loaded"
# The C++ runtime is in the program: only a library SDL opened may bring the system's
# (Mesa's GL driver does, through LLVM).
own=$(grep -F "needed by $dir/pixeldemo " "$trace" | sed -n 's/.*file=\([^ ;]*\).*/\1/p' | sort -u)
echo "needed by the program itself: $(echo "$own" | tr '\n' ' ')"
others=$(echo "$own" | grep -vE '^lib(c|m|dl|pthread|rt)\.so\.[0-9]+$' || true)
[ -z "$others" ] || fail "the program itself needed $others"

# ---- The same frames as the native build, to the byte. ----
"$dir/pixeldemo" --capture release --fps 10 >release.out 2>release.err || { cat release.err; fail "the release's capture failed"; }
"$native" --capture native --fps 10 >native.out 2>native.err || { cat native.err; fail "the native capture failed"; }
count=$(ls native | wc -l)
[ "$count" -ge 1490 ] || fail "the native capture wrote only $count frames"
[ "$(ls release | wc -l)" -eq "$count" ] || fail "$(ls release | wc -l) frames from the release, $count from the native build"
differ=$(cd native && for f in frame_*.png; do cmp -s "$f" "../release/$f" || echo "$f"; done)
[ -z "$differ" ] || fail "frames differ from the native build's: $(echo "$differ" | head -5 | tr '\n' ' ')"
echo "PASS: one folder with README, LICENSE and notices; only the C library needed; plays under Xvfb with none of the system's SDL, libpng, libmpg123 or kissfft loaded; $count frames identical to the native build's"
