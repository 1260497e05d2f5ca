#!/usr/bin/env bash
# End to end for --video: a short export has the streams, size, rate and length it should,
# its frames are the ones --capture renders at the same times (clock and colour order), and
# every way it can fail (no ffmpeg, ffmpeg failing, an interrupting signal, bad names) leaves
# no file behind and says why. Skips (exit 77) only when ffmpeg is not installed.
#
#   tests/e2e/e2e_video.sh path/to/pixeldemo
set -u
demo=$(realpath "$1")
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
skip_without ffmpeg ffprobe
probe() {  # probe FILE STREAM ENTRY
  ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of default=nw=1:nk=1 "$1"
}
# PSNR in dB of picture $1 against picture $2 (both decoded to full-resolution RGB).
psnr() {
  ffmpeg -hide_banner -nostdin -i "$1" -i "$2" -lavfi psnr -f null - 2>&1 \
    | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -n1
}
# Near: |a - b| <= tolerance.
near() { awk -v a="$1" -v b="$2" -v e="$3" 'BEGIN { d = a - b; exit !(d <= e && -d <= e) }'; }

cd "$work"

# --- A short export, relative name, from an empty folder ----------------------------------
"$demo" --video v.mp4 --fps 30 --to 2 >out 2>err || { cat err; fail "export exit code"; }
[ -s v.mp4 ] || fail "no v.mp4"
[ ! -e v.mp4.part ] || fail "v.mp4.part left behind"
grep -q '^video: 61 frames' err || { cat err; fail "no summary line"; }
grep -q '100%' err || { cat err; fail "no progress up to 100 %"; }
[ "$(probe v.mp4 v codec_name)" = h264 ] || fail "video is not H.264"
[ "$(probe v.mp4 v width)x$(probe v.mp4 v height)" = 1280x960 ] || fail "size $(probe v.mp4 v width)x$(probe v.mp4 v height)"
[ "$(probe v.mp4 v r_frame_rate)" = 30/1 ] || fail "frame rate $(probe v.mp4 v r_frame_rate)"
[ "$(probe v.mp4 v nb_frames)" = 61 ] || fail "$(probe v.mp4 v nb_frames) frames, expected 61 (t = 0 to 2 s)"
[ "$(probe v.mp4 a codec_name)" = aac ] || fail "no AAC audio stream"
vdur=$(probe v.mp4 v duration); adur=$(probe v.mp4 a duration)
near "$vdur" 2.0333 0.001 || fail "video lasts $vdur s"
near "$adur" "$vdur" 0.05 || fail "audio lasts $adur s, video $vdur s"
# The music is in it, not silence.
vol=$(ffmpeg -hide_banner -nostdin -i v.mp4 -map 0:a -af volumedetect -f null - 2>&1 \
      | sed -n 's/.*max_volume: \(-*[0-9.]*\) dB.*/\1/p')
[ -n "$vol" ] && awk -v v="$vol" 'BEGIN { exit !(v > -30) }' || fail "the sound is silent (max $vol dB)"

# --- The frames are the capture's: frame k shows t = k / fps, red is red ------------------
# Frame 5 of an export from 12 s at 10 frames/s is t = 12.5 s: compare with the capture of
# t = 12.4, 12.5 and 12.6 s (the box parade moves between them).
"$demo" --capture c --fps 10 --from 12.4 --to 12.6 >/dev/null 2>err || { cat err; fail "capture"; }
"$demo" --video w.mp4 --fps 10 --from 12 --to 13 >/dev/null 2>err || { cat err; fail "export from 12 s"; }
[ "$(probe w.mp4 v nb_frames)" = 11 ] || fail "$(probe w.mp4 v nb_frames) frames from 12 to 13 s, expected 11"
near "$(probe w.mp4 a duration)" 1.1 0.05 || fail "audio of the 12-13 s export lasts $(probe w.mp4 a duration) s"
ffmpeg -v error -nostdin -i w.mp4 \
  -vf "select=eq(n\,5),scale=640:480:flags=neighbor+full_chroma_int+accurate_rnd" \
  -frames:v 1 w5.png || fail "cannot decode frame 5"
same=$(psnr w5.png c/frame_000125.png)
before=$(psnr w5.png c/frame_000124.png)
after=$(psnr w5.png c/frame_000126.png)
echo "frame 5 against the capture: t=12.5 $same dB, t=12.4 $before dB, t=12.6 $after dB"
awk -v s="$same" -v b="$before" -v a="$after" 'BEGIN { exit !(s >= 32 && s > b + 6 && s > a + 6) }' \
  || fail "frame 5 of the video is not the capture of t = 12.5 s"

# --- Failures leave nothing behind -------------------------------------------------------
# No ffmpeg on the PATH: a message that says how to install it.
PATH=/nonexistent "$demo" --video m.mp4 --fps 10 --to 1 >/dev/null 2>err && fail "no ffmpeg, yet success"
grep -q 'apt-get install ffmpeg' err || { cat err; fail "the message does not say how to install ffmpeg"; }
[ ! -e m.mp4 ] && [ ! -e m.mp4.part ] || fail "a file was left without ffmpeg"

# A stand-in ffmpeg that writes a partial file and fails: early (the pipe breaks while the
# demo still renders) or at the end (after reading every frame).
mkdir fake
for when in early late; do
  if [ "$when" = early ]; then read_input='head -c 2000000 >/dev/null'; else read_input='cat >/dev/null'; fi
  cat >fake/ffmpeg <<EOF
#!/bin/sh
for last; do :; done
echo partial >"\$last"
$read_input
echo "stand-in ffmpeg: giving up" >&2
exit 1
EOF
  chmod +x fake/ffmpeg
  PATH="$work/fake:$PATH" "$demo" --video f.mp4 --fps 10 --to 1 >/dev/null 2>err \
    && fail "ffmpeg failing $when, yet success"
  grep -q 'giving up' err && grep -q 'pixeldemo: video' err || { cat err; fail "no message when ffmpeg fails $when"; }
  [ ! -e f.mp4 ] && [ ! -e f.mp4.part ] || fail "a file was left after ffmpeg failed $when"
done

# SIGINT (Ctrl-C) and SIGTERM in the middle of a long export: ffmpeg is stopped and the
# partial file removed.
for sig in INT TERM; do
  "$demo" --video long.mp4 --fps 30 >/dev/null 2>err &
  bg=$!
  for _ in $(seq 300); do [ -s long.mp4.part ] && break; sleep 0.1; done
  [ -s long.mp4.part ] || { cat err; fail "no long.mp4.part during the export"; }
  encoder=$(pgrep -P "$bg" ffmpeg | head -n1)
  signal_and_wait "$sig" "$bg" 20 || fail "SIG$sig did not stop the export within 20 s"
  [ "$rc" -ne 0 ] || fail "SIG$sig: exit code 0"
  [ ! -e long.mp4 ] && [ ! -e long.mp4.part ] || fail "SIG$sig: a file was left behind"
  grep -q 'interrupted' err || { cat err; fail "SIG$sig: no message"; }
  [ -z "$encoder" ] || ! kill -0 "$encoder" 2>/dev/null || fail "SIG$sig: ffmpeg still runs"
done

# Music the demo cannot decode (missing, empty, cut, not MP3): the video still comes, with
# a silent track, and the message says why.
data=$(dirname "$demo")/data
for broken in missing empty cut noise; do
  rm -rf m && mkdir -p m/data
  for f in "$data"/*; do ln -s "$f" "m/data/$(basename "$f")"; done
  rm m/data/pelotrix.mp3
  case $broken in
    empty) : >m/data/pelotrix.mp3 ;;
    cut) head -c 1000 "$data/pelotrix.mp3" >m/data/pelotrix.mp3 ;;
    noise) head -c 200000 /dev/urandom >m/data/pelotrix.mp3 ;;
  esac
  (cd m && "$demo" --video quiet.mp4 --fps 10 --to 1 >/dev/null 2>../err)
  rc=$?
  [ "$rc" -eq 0 ] || { cat err; fail "music $broken: exit code $rc"; }
  grep -q 'the video gets a silent track' err || { cat err; fail "music $broken: no message"; }
  [ "$(probe m/quiet.mp4 a:0 codec_name)" = aac ] || fail "music $broken: no sound stream"
done

# Refused before anything is rendered.
for args in "--video v.avi" "--video v.mp4 --capture c" "--video v.mp4 --bench" \
            "--video v.mp4 --sheet s.png" "--video v.mp4 --window" "--video missing/v.mp4"; do
  # shellcheck disable=SC2086
  "$demo" $args >/dev/null 2>err && fail "'$args' was accepted"
  [ -s err ] || fail "'$args' was refused without a message"
done
grep -q 'missing' err || { cat err; fail "the missing folder is not named"; }
echo "PASS: export streams and length, frames match the capture, no file left on failure or signal"
