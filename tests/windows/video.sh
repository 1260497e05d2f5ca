#!/usr/bin/env bash
# --video on Windows: the ffmpeg process, its pipe and the files, with a stand-in
# ffmpeg.exe (standin_ffmpeg.cpp) that stores the raw frames it is given. Debian has no
# Windows ffmpeg, and Wine cannot wait for a Linux one, so the encoding itself is
# tests/e2e/e2e_video.sh's on Linux; here the frames that reach the encoder must be, to the
# byte, the ones the Linux build hands its ffmpeg (a shell stand-in that does the same).
#
#   tests/windows/video.sh path/to/native/pixeldemo path/to/wine-pixeldemo.sh path/to/standin/ffmpeg.exe
set -u
native=$(realpath "$1")
windows=$(realpath "$2")
standin=$(realpath "$3")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
cd "$work"
mkdir linux windows
printf '#!/bin/sh\nfor last; do :; done\nexec cat >"$last"\n' >linux/ffmpeg
chmod +x linux/ffmpeg
frame=$((640 * 480 * 3))

# No ffmpeg.exe beside the program, in the working folder or on the PATH: a message that
# says where to put one, and no file.
(cd windows && "$windows" --video m.mp4 --fps 10 --to 1 >/dev/null 2>err) && fail "no ffmpeg.exe, yet success"
grep -q 'ffmpeg.exe' windows/err || { cat windows/err; fail "the message does not name ffmpeg.exe"; }
[ ! -e windows/m.mp4 ] && [ ! -e windows/m.mp4.part ] || fail "a file was left without ffmpeg.exe"

# The stand-in on the PATH (Wine adds WINEPATH to the Windows PATH).
mkdir bin
cp "$standin" bin/ffmpeg.exe
export WINEPATH="Z:$work/bin"
(cd linux && PATH="$PWD:$PATH" "$native" --video v.mp4 --fps 10 --from 12 --to 13 >/dev/null 2>err) \
  || { cat linux/err; fail "Linux export"; }
(cd windows && "$windows" --video v.mp4 --fps 10 --from 12 --to 13 >/dev/null 2>err) \
  || { cat windows/err; fail "Windows export"; }
[ "$(stat -c %s windows/v.mp4)" -eq $((11 * frame)) ] || fail "v.mp4 holds $(stat -c %s windows/v.mp4) bytes, not 11 frames"
[ ! -e windows/v.mp4.part ] || fail "v.mp4.part left behind"
cmp -s linux/v.mp4 windows/v.mp4 || fail "the frames given to ffmpeg differ from the Linux build's"
grep -q '^video: 11 frames' windows/err || { cat windows/err; fail "no summary line"; }

# An existing file of that name is replaced once the encode succeeded.
echo old >windows/w.mp4
(cd windows && "$windows" --video w.mp4 --fps 10 --to 0.5 >/dev/null 2>err) || { cat windows/err; fail "export over w.mp4"; }
[ "$(stat -c %s windows/w.mp4)" -eq $((6 * frame)) ] || fail "w.mp4 was not replaced"

# ffmpeg failing early (the pipe breaks while the demo still renders) or at the end: the
# message, a nonzero exit, and neither the file nor the partial file.
for when in early late; do
  (cd windows && STANDIN_FFMPEG=$when "$windows" --video f.mp4 --fps 10 --to 2 >/dev/null 2>err) \
    && fail "ffmpeg failing $when, yet success"
  grep -q 'giving up' windows/err && grep -q 'pixeldemo: video' windows/err \
    || { cat windows/err; fail "no message when ffmpeg fails $when"; }
  [ ! -e windows/f.mp4 ] && [ ! -e windows/f.mp4.part ] || fail "a file was left after ffmpeg failed $when"
done
echo "PASS: no ffmpeg.exe said, frames piped as on Linux, replacing rename, failures leave no file"
