#!/usr/bin/env bash
# scripts/render-farm over real SSH: an sshd of the test's own on 127.0.0.1 (a throwaway
# host key and user key, its own config, pid file and authorized keys in a temporary
# folder; the system's ssh set-up is not touched) listens on two ports, which an ssh
# config names as two workers, farm-a and farm-b. The workers run the host from a
# `cmake --install` prefix; the clip is rendered across both in segments, and the joined
# frames must be byte for byte those of a single render. Then a video output: one H.264
# file of every frame at the clip's exact rate.
#
# usage: render_farm_test.sh BUILD_DIR SOURCE_DIR
# Exits 77 (skipped) when sshd, ssh, GNU parallel, rsync or ffmpeg is missing, or sshd
# cannot be started here.
set -euo pipefail

build=$(cd "${1:?usage: render_farm_test.sh BUILD_DIR SOURCE_DIR}" && pwd)
source=$(cd "${2:?usage: render_farm_test.sh BUILD_DIR SOURCE_DIR}" && pwd)
sshd=$(PATH=$PATH:/usr/sbin:/sbin command -v sshd) || { echo "skipped: sshd is not installed"; exit 77; }
for tool in ssh ssh-keygen parallel rsync ffmpeg ffprobe python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
cleanup() {
  [ -f "$work/sshd.pid" ] && kill "$(cat "$work/sshd.pid")" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/sshd.log" ] && cat "$work/sshd.log" >&2; exit 1; }

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port_a=$(free_port) port_b=$(free_port)
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/user_key"
cp "$work/user_key.pub" "$work/authorized_keys"
cat > "$work/sshd_config" <<CONF
ListenAddress 127.0.0.1:$port_a
ListenAddress 127.0.0.1:$port_b
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PidFile $work/sshd.pid
AllowUsers $(id -un)
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
CONF
# Run by root, sshd wants its privilege separation folder, /run/sshd; it gets an empty one
# in a mount namespace of its own rather than one made in the system's /run.
if [ "$(id -u)" -eq 0 ] && [ ! -d /run/sshd ]; then
  unshare -m --propagation private sh -c 'mount -t tmpfs none /run && mkdir -m 755 /run/sshd && exec "$0" "$@"' \
    "$sshd" -f "$work/sshd_config" -E "$work/sshd.log" || { echo "skipped: sshd cannot start here"; exit 77; }
else
  "$sshd" -f "$work/sshd_config" -E "$work/sshd.log" || { echo "skipped: sshd cannot start here"; exit 77; }
fi
for _ in $(seq 50); do [ -s "$work/sshd.pid" ] && break; sleep 0.1; done
[ -s "$work/sshd.pid" ] || { cat "$work/sshd.log"; echo "skipped: sshd did not start"; exit 77; }

# The recipe for real hosts: one ssh config entry per worker, login by key.
cat > "$work/ssh_config" <<CONF
Host farm-a farm-b
  HostName 127.0.0.1
  IdentityFile $work/user_key
  IdentitiesOnly yes
  BatchMode yes
  StrictHostKeyChecking no
  UserKnownHostsFile /dev/null
  LogLevel ERROR
Host farm-a
  Port $port_a
Host farm-b
  Port $port_b
CONF
ssh -F "$work/ssh_config" farm-b true || fail "cannot log in to the test's sshd"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
# The workers' folders (none at all on a fresh machine).
workers_left() { { find "$HOME/.cache/tonefade-farm" -mindepth 1 -maxdepth 1 2>/dev/null || true; } | wc -l; }
left_before=$(workers_left)
mkdir "$work/prefs" "$work/single" "$work/farm"
"$build/libexec/tonefade-write-prefs" "$work/prefs" --amount 70 --rect 0.05,0.1,0.8,0.75
ffmpeg -v error -f lavfi -i testsrc2=size=96x64:rate=30000/1001 -f lavfi -i sine=frequency=440:sample_rate=48000 \
  -frames:v 23 -shortest -c:v libx264 -pix_fmt yuv420p -c:a aac "$work/clip.mp4"
render_opts=(--fade-in 6 --fade-out 5 --sliders 0.2,0.4,0.6)
"$build/bin/tonefade-host" render "$work/clip.mp4" "$work/single/%04d.pam" --prefs-dir "$work/prefs" --quiet \
  "${render_opts[@]}"

farm() {
  "$source/scripts/render-farm" --ssh "ssh -F $work/ssh_config" -S 2/farm-a -S 2/farm-b --segment 5 \
    --worker-host "$work/prefix/bin/tonefade-host" --host "$build/bin/tonefade-host" --prefs-dir "$work/prefs" "$@"
}
(cd "$work" && farm --keep "$work/kept" clip.mp4 farm/%04d.pam -- "${render_opts[@]}") || fail "render-farm failed"
[ "$(ls "$work/farm" | wc -l)" -eq 23 ] || fail "the farm wrote $(ls "$work/farm" | wc -l) of 23 frames"
diff -r "$work/single" "$work/farm" || fail "the farm's frames differ from a single render's"
for host in farm-a farm-b; do
  awk -v h=$host '$2 == h && $7 == 0' "$work/kept/jobs.log" | grep -q . || fail "no segment ran on $host"
done

# A video output: every frame, at the clip's exact rate, H.264 in 4:2:0, with the sound.
farm "$work/clip.mp4" "$work/farm.mp4" -- "${render_opts[@]}" || fail "render-farm to .mp4 failed"
probe=$(ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,pix_fmt,r_frame_rate,nb_read_frames \
  -of compact "$work/farm.mp4")
grep -q 'codec_name=h264|.*pix_fmt=yuv420p|r_frame_rate=30000/1001|nb_read_frames=23' <<<"$probe" ||
  fail "the joined video is $probe"
grep -q 'codec_type=audio' <<<"$probe" || fail "the joined video has no sound"
# A worker that fails fails the job, and nothing is left in OUTPUT's place.
if farm "$work/clip.mp4" "$work/broken.mp4" -- --size 0x0 2>/dev/null; then fail "a failing segment passed"; fi
[ ! -e "$work/broken.mp4" ] || fail "a failed farm left broken.mp4"
[ "$(workers_left)" -eq "$left_before" ] || fail "a worker's folder was left behind"
echo "23 frames rendered on farm-a and farm-b joined into exactly a single render's"
