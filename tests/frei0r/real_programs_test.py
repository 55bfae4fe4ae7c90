#!/usr/bin/env python3
"""tonefade.so in the programs people edit with: ffmpeg, melt (MLT: Shotcut, Kdenlive) and
gst-launch-1.0 each render a clip of random RGB frames of an odd size, and every frame
must equal tonefade-host's render with the same settings: byte for byte outside the
fades, within one step inside them (the host counts frames, the others seconds).

    real_programs_test.py BUILD_DIR [KEEP_DIR]

A program that is missing is skipped with a message; when none can run, or ffmpeg (which
makes the clip) is missing, the test exits 77, which CTest reports as skipped.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

W, H, N, RATE, FADE = 181, 97, 20, 25, 5
SAVED = (37, (0.1, 0.2, 0.8, 0.9))    # the saved settings: the instances' defaults
OTHER = (150, (0.25, 0.1, 0.9, 0.75))  # set through parameters
FADE_S, CLIP_S = FADE / RATE, N / RATE
SKIP = 77


def run(cmd, env=None, cwd=None):
    done = subprocess.run(cmd, env=env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode != 0:
        sys.exit(f"FAILED: {' '.join(cmd)}\n{done.stderr[-4000:].decode(errors='replace')}")
    return done


def frames_of(pattern):
    """The frames of a PNG sequence as R,G,B bytes each, decoded by ffmpeg."""
    raw = run(["ffmpeg", "-v", "error", "-start_number", "0", "-i", pattern, "-f", "rawvideo",
               "-pix_fmt", "rgb24", "-"], env=None).stdout
    return raw


def split(raw):
    size = W * H * 3
    return [raw[i:i + size] for i in range(0, len(raw), size)]


def faded(i):
    return i < FADE or i > N - FADE


def compare(name, got, want, source):
    """Failures of one program's frames against the host's."""
    if len(got) != len(want):
        return [f"{name}: {len(got)} frames, the host wrote {len(want)}"]
    faults = []
    for i, (g, w) in enumerate(zip(got, want)):
        worst = max(abs(a - b) for a, b in zip(g, w)) if g != w else 0
        if worst > (1 if faded(i) else 0):
            faults.append(f"{name}: frame {i} differs from the host's by up to {worst}")
    if got[N // 2] == source[N // 2]:
        faults.append(f"{name}: frame {N // 2} is the unprocessed frame: the filter did not run")
    return faults


class Bench:
    def __init__(self, build, work):
        self.build, self.work = build, work
        self.plugins = os.path.join(build, "lib", "frei0r-1")

    def path(self, *names):
        return os.path.join(self.work, *names)

    def make_clip(self):
        random.seed(16)
        with open(self.path("clip.rgb"), "wb") as f:
            f.write(random.randbytes(W * H * 3 * N))
        os.makedirs(self.path("clip"))
        run(["ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", f"{W}x{H}", "-r", str(RATE),
             "-i", self.path("clip.rgb"), "-start_number", "0", self.path("clip", "%04d.png")])
        return split(frames_of(self.path("clip", "%04d.png")))

    def prefs(self, name, settings):
        """A configuration folder whose tonefade/Preferences hold `settings`, as the dialog saves them."""
        folder = self.path(name, "tonefade", "Preferences")
        amount, rect = settings
        run([os.path.join(self.build, "libexec", "tonefade-write-prefs"), folder, "--amount", str(amount),
             "--rect", ",".join(repr(v) for v in rect)])
        return self.path(name)

    def env(self, config):
        env = dict(os.environ, XDG_CONFIG_HOME=config, FREI0R_PATH=self.plugins,
                   GST_REGISTRY=self.path("gst-registry.bin"))
        runtimes = sanitizer_runtimes(os.path.join(self.plugins, "tonefade.so"))
        if runtimes:
            # A sanitized filter in a program that is not: its runtime must be loaded
            # first. The programs' own leaks at exit are theirs, not the filter's (the
            # filter's are checked where the test loads it itself).
            env["LD_PRELOAD"] = " ".join(runtimes)
            env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        return env

    def host(self, name, config):
        out = self.path(name)
        os.makedirs(out)
        run([os.path.join(self.build, "bin", "tonefade-host"), "render", self.path("clip", "%04d.png"),
             os.path.join(out, "%04d.png"), "--prefs-dir", os.path.join(config, "tonefade", "Preferences"),
             "--rate", str(RATE), "--fade-in", str(FADE), "--fade-out", str(FADE), "--quiet"])
        return split(frames_of(os.path.join(out, "%04d.png")))


def sanitizer_runtimes(library):
    """The sanitizer runtimes `library` links, in the order they must be preloaded."""
    linked = subprocess.run(["ldd", library], stdout=subprocess.PIPE, text=True).stdout
    found = {}
    for line in linked.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] == "=>" and parts[0].startswith(("libasan.", "libubsan.")):
            found[parts[0]] = parts[2]
    return [found[name] for name in sorted(found)]


def params_seconds(settings, scale=1.0, width_for=None):
    """amount, the rectangle and the fades, in parameter order."""
    amount, (left, top, right, bottom) = settings
    if width_for:  # the same pixel columns in a frame padded to width_for
        left, right = (int(W * left) + 0.5) / width_for, (int(W * right) + 0.5) / width_for
    return [amount / 100, left, top, right, bottom, FADE_S * scale, FADE_S * scale, CLIP_S * scale]


def ffmpeg_case(bench, configs, want, source):
    # ffmpeg hands frei0r filters rows padded to 16 pixels, against frei0r's rule of rows
    # without padding, so the odd width goes in padded to 192 and comes out cropped, with
    # the rectangle given at the same pixel columns. Its filter also counts time in
    # milliseconds, so the fades are given in milliseconds.
    chains = []
    for label, settings in (("a", SAVED), ("b", OTHER)):
        values = "|".join(repr(v) for v in params_seconds(settings, 1000.0, width_for=192))
        chains.append(f"[{label}]pad=192:{H},frei0r=tonefade:{values},crop={W}:{H}:0:0[{label}out]")
    graph = "[0:v]split[a][b];" + ";".join(chains)
    for label in "ab":
        os.makedirs(bench.path("ffmpeg-" + label))
    run(["ffmpeg", "-v", "error", "-framerate", str(RATE), "-start_number", "0", "-i",
         bench.path("clip", "%04d.png"), "-filter_complex", graph,
         "-map", "[aout]", "-start_number", "0", bench.path("ffmpeg-a", "%04d.png"),
         "-map", "[bout]", "-start_number", "0", bench.path("ffmpeg-b", "%04d.png")], env=bench.env(configs[1]))
    return (compare("ffmpeg, first instance", split(frames_of(bench.path("ffmpeg-a", "%04d.png"))), want[0], source)
            + compare("ffmpeg, second instance", split(frames_of(bench.path("ffmpeg-b", "%04d.png"))), want[1],
                      source))


def melt_case(bench, configs, want, source):
    # Parameters by name; the defaults (the saved settings) are overridden by OTHER.
    with open(bench.path("profile"), "w") as f:
        f.write(f"description=tonefade test\nframe_rate_num={RATE}\nframe_rate_den=1\nwidth={W}\nheight={H}\nprogressive=1\n"
                f"sample_aspect_num=1\nsample_aspect_den=1\ndisplay_aspect_num={W}\ndisplay_aspect_den={H}\n"
                "colorspace=709\n")
    names = ["amount", "rect-left", "rect-top", "rect-right", "rect-bottom", "fade-in", "fade-out", "clip-length"]
    values = [f"{n}={v!r}" for n, v in zip(names, params_seconds(OTHER))]
    os.makedirs(bench.path("melt"))
    run(["melt", "-silent", "-profile", bench.path("profile"), "avformat:" + bench.path("clip", "%04d.png"),
         "-filter", "frei0r.tonefade", *values,
         "-consumer", "avformat:" + bench.path("melt", "%04d.png"), "vcodec=png", "start_number=0"],
        env=bench.env(configs[0]))
    return compare("melt", split(frames_of(bench.path("melt", "%04d.png"))), want[1], source)


def gst_case(bench, configs, want, source):
    # The saved settings are the element's defaults; GStreamer's frei0r elements take
    # doubles from 0 to 1 only, which the fades of this clip fit.
    os.makedirs(bench.path("gst"))
    fades = [f"fade-in={FADE_S!r}", f"fade-out={FADE_S!r}", f"clip-length={CLIP_S!r}"]
    run(["gst-launch-1.0", "-q", "multifilesrc", "location=" + bench.path("clip", "%04d.png"), "index=0",
         f"caps=image/png,framerate={RATE}/1", "!", "pngdec", "!", "videoconvert", "!", "frei0r-filter-tonefade",
         *fades, "!", "videoconvert", "!", "pngenc", "!", "multifilesink",
         "location=" + bench.path("gst", "%04d.png")], env=bench.env(configs[0]))
    return compare("gst-launch-1.0", split(frames_of(bench.path("gst", "%04d.png"))), want[0], source)


def bad_values_case(bench, configs, source):
    """Values no setting should have: the effect's defined answer (here: nothing inside the
    rectangle, or no amount), never a crash; every frame comes out unprocessed."""
    runs = {
        "ffmpeg": ["ffmpeg", "-v", "error", "-framerate", str(RATE), "-start_number", "0", "-i",
                   bench.path("clip", "%04d.png"), "-vf",
                   f"pad=192:{H},frei0r=tonefade:1e300|0.9|0.2|0.1|0.8|nan|-1e300|nan,crop={W}:{H}:0:0",
                   "-start_number", "0", bench.path("bad-ffmpeg", "%04d.png")],
        "melt": ["melt", "-silent", "-profile", bench.path("profile"), "avformat:" + bench.path("clip", "%04d.png"),
                 "-filter", "frei0r.tonefade", "amount=nan", "rect-left=1e300", "rect-top=-1e300", "fade-in=nan",
                 "clip-length=-1e300", "-consumer", "avformat:" + bench.path("bad-melt", "%04d.png"),
                 "vcodec=png", "start_number=0"],
        "gst-launch-1.0": ["gst-launch-1.0", "-q", "multifilesrc", "location=" + bench.path("clip", "%04d.png"),
                           "index=0", f"caps=image/png,framerate={RATE}/1", "!", "pngdec", "!", "videoconvert", "!",
                           "frei0r-filter-tonefade", "amount=1", "rect-left=1", "rect-right=0", "!", "videoconvert",
                           "!", "pngenc", "!", "multifilesink", "location=" + bench.path("bad-gst", "%04d.png")],
    }
    faults = []
    for program, cmd in runs.items():
        if shutil.which(program) is None:
            continue
        folder = bench.path("bad-" + {"gst-launch-1.0": "gst"}.get(program, program))
        os.makedirs(folder, exist_ok=True)
        run(cmd, env=bench.env(configs[0]))
        got = split(frames_of(os.path.join(folder, "%04d.png")))
        if got != source:
            faults.append(f"{program}: with bad values the frames are not the unprocessed ones")
    return faults


def main():
    build = os.path.abspath(sys.argv[1])
    if shutil.which("ffmpeg") is None:
        print("SKIPPED: ffmpeg is missing (it makes the clip)")
        return SKIP
    work = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="tonefade-frei0r-")
    os.makedirs(work, exist_ok=True)
    try:
        bench = Bench(build, work)
        source = bench.make_clip()
        configs = [bench.prefs("saved", SAVED), bench.prefs("other", OTHER)]
        want = [bench.host("host-saved", configs[0]), bench.host("host-other", configs[1])]
        faults, ran = [], []
        for program, case in (("ffmpeg", ffmpeg_case), ("melt", melt_case), ("gst-launch-1.0", gst_case)):
            if shutil.which(program) is None:
                print(f"SKIPPED: {program} is missing")
                continue
            faults += case(bench, configs, want, source)
            ran.append(program)
        if ran:
            faults += bad_values_case(bench, configs, source)
        for fault in faults:
            print("FAILED:", fault)
        if not faults:
            print(f"{', '.join(ran)}: {N} frames each, equal to tonefade-host's render outside the fades and "
                  "within one step inside them; bad values left the frames unprocessed, as defined")
        return 1 if faults else (0 if ran else SKIP)
    finally:
        if len(sys.argv) <= 2:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
