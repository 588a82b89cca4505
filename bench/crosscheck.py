#!/usr/bin/env python3
"""A second way of taking bench/run.sh's start-up and memory figures, written apart from it, to check it.

The program and the bare QWebEngineView of both engines (Debian 12's, and Debian 13's from the root of
scripts/lib/debian13.sh, run with chroot in this machine's network and PID namespace) take turns under
one Xvfb with openbox, against one stand-in on this machine, serving the same bench page:
- start-up: from just before the program is started (Python's clock) to the kernel's timestamp of the
  packet that carries the page's request for its image on loopback (tcpdump). For the program, "first"
  is its first page's image (the answer to its POST) and "startup" the image of its version-stamped
  page less the 2000 ms pause, as in bench/run.sh;
- memory: 3 s after that image, the sum of "Pss:" over every mapping in /proc/PID/smaps of the process
  and of every process below it (parents read from /proc/PID/stat).
ROUNDS rounds (default 7) after a warm-up round that is not counted; each figure is the median. Then
the medians beside those of bench/run.sh's last run (build/bench/debian12 and debian13), which this
needs: run.sh builds the four programs measured here. Takes root (chroot, mounts, tcpdump).
    bench/crosscheck.py [ROUNDS]
"""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = "build/debian13/root"
PROGRAMS = [  # name, engine, the root it runs in (None: this machine), its command there
    ("ours", "debian12", None, ["build/standin/src/ostrel-web"]),
    ("bare", "debian12", None, ["build/bench/bare/bench-bare", "http://127.0.0.1:47101/?version=6.9"]),
    ("ours", "debian13", ROOT, ["/work/bench/build/standin/src/ostrel-web"]),
    ("bare", "debian13", ROOT, ["/work/bench/build/bench/bare/bench-bare", "http://127.0.0.1:47101/?version=6.9"]),
]
PAUSE = 2.0  # the program's pause before its version-stamped page


class Packets:
    """The requests on loopback to the stand-in's port, with the kernel's timestamps, as tcpdump sees them."""

    def __init__(self):
        self.seen = []  # (time, "image" or "version")
        self.lock = threading.Lock()
        self.dump = subprocess.Popen(["tcpdump", "-i", "lo", "-n", "-l", "-tt", "-A", "-s", "0",
                                      "tcp dst port 47101"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        said = b""
        while b"listening" not in said:  # "verbose output suppressed ...", then "listening on lo ..."
            line = self.dump.stderr.readline()
            if not line:
                sys.exit("tcpdump did not start: " + said.decode(errors="replace"))
            said += line
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        stamp = 0.0
        for line in self.dump.stdout:
            head = line.split(b" ", 1)[0]
            if head[:1].isdigit() and b"." in head and b" IP " in line:
                stamp = float(head)
            elif b"GET /bench/image.png " in line or b"GET /?version=6.9 " in line:
                with self.lock:
                    self.seen.append((stamp, "image" if b"image.png" in line else "version"))

    def after(self, since, kind, wait):
        """The time of the first request of this kind after since, waiting until the clock reads wait."""
        while time.time() < wait:
            with self.lock:
                for stamp, seen in self.seen:
                    if seen == kind and stamp > since:
                        return stamp
            time.sleep(0.01)
        return None


def children():
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    parents.setdefault(int(stat.read().rsplit(")", 1)[1].split()[1]), []).append(int(entry))
            except (OSError, IndexError):
                pass  # ended meanwhile
    return parents


def tree(pid):
    parents, found, i = children(), [pid], 0
    while i < len(found):
        found += parents.get(found[i], [])
        i += 1
    return found


def pss_kb(pid):
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/smaps") as smaps:
                total += sum(int(line.split()[1]) for line in smaps if line.startswith("Pss:"))
        except OSError:
            pass
    return total


def stop(process):
    everyone = tree(process.pid)
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        pass
    for p in everyone:
        try:
            os.kill(p, signal.SIGKILL)
        except ProcessLookupError:
            pass
    process.wait()


def measure(packets, display, name, root, command, log):
    """start-up, first and memory (ms, ms, kB) of one start; None for each that did not come."""
    home = tempfile.mkdtemp(dir=(root or "") + "/tmp")
    inside = home[len(root):] if root else home
    env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "DISPLAY": display, "HOME": inside,
           "XDG_CONFIG_HOME": inside + "/config", "XDG_CACHE_HOME": inside + "/cache",
           "XDG_DATA_HOME": inside + "/data", "XDG_RUNTIME_DIR": inside,
           "QTWEBENGINE_DISABLE_SANDBOX": "1", "QTWEBENGINE_CHROMIUM_FLAGS": "--disable-gpu --no-zygote",
           "QT_LOGGING_RULES": "qt.webenginecontext.info=false"}
    if name == "bare" and not any(os.path.exists(d) for d in ("/dev/dri", "/dev/nvidia0")):
        env.update(QT_QUICK_BACKEND="software", QT_XCB_GL_INTEGRATION="none")  # the program's own choice
    if root:
        command = ["/usr/sbin/chroot", root] + command
    began = time.time()
    process = subprocess.Popen(command, env=env, stdout=log, stderr=log)
    try:
        first = packets.after(began, "image", began + 30)
        image = first
        if name == "ours" and first:
            version = packets.after(first, "version", began + 30)
            image = version and packets.after(version, "image", began + 30)
        if not image:
            return None, None, None
        time.sleep(max(0.0, image + 3 - time.time()))
        memory = pss_kb(process.pid)
        startup = image - began - (PAUSE if name == "ours" else 0)
        return round(startup * 1000), round((first - began) * 1000), memory
    finally:
        stop(process)
        shutil.rmtree(home, ignore_errors=True)
        os.sync()  # what it wrote goes to the disk now, not during the next start


def run_sh_medians(engine):
    """bench/run.sh's medians of its last run for one engine: {(figure, program): value}."""
    values = {}
    try:
        with open(f"build/bench/{engine}/samples.txt") as samples:
            for line in samples:
                round_, figure, program, value = line.split()
                if round_.isdigit() and round_ != "0" and value != "failed":
                    values.setdefault((figure, program), []).append(int(value))
    except FileNotFoundError:
        return {}
    return {key: statistics.median(found) for key, found in values.items()}


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    if os.geteuid() != 0:
        sys.exit("crosscheck.py takes root")
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    if not os.environ.get("CROSSCHECK_OWN_MOUNTS"):  # the root's mounts go with this namespace
        os.execvpe("unshare", ["unshare", "--mount", "--propagation", "private", sys.executable] + sys.argv,
                   dict(os.environ, CROSSCHECK_OWN_MOUNTS="1"))
    for _, _, root, command in PROGRAMS:
        if not os.access((root or "") + command[0], os.X_OK):
            sys.exit(f"{(root or '') + command[0]} is missing: bench/run.sh builds it")
    out = "build/bench/crosscheck"
    os.makedirs(out, exist_ok=True)
    log = open(out + "/programs.log", "w")
    started = []
    try:
        number = next(n for n in range(190, 290) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        display = f":{number}"
        started.append(subprocess.Popen(["Xvfb", display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                                        stdout=log, stderr=log))
        while not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            time.sleep(0.05)
        started.append(subprocess.Popen(["openbox"], env=dict(os.environ, DISPLAY=display), stdout=log, stderr=log))
        while b"#" not in subprocess.run(["xprop", "-display", display, "-root", "_NET_SUPPORTING_WM_CHECK"],
                                         capture_output=True).stdout:
            time.sleep(0.05)
        for mount in (["--rbind", "/dev", "dev"], ["-t", "proc", "proc", "proc"], ["--rbind", "/sys", "sys"],
                      ["-t", "tmpfs", "tmp", "tmp"]):
            subprocess.run(["mount"] + mount[:-1] + [f"{ROOT}/{mount[-1]}"], check=True)
        os.makedirs(f"{ROOT}/tmp/.X11-unix")
        subprocess.run(["mount", "--bind", "/tmp/.X11-unix", f"{ROOT}/tmp/.X11-unix"], check=True)
        with open("build/standin/standin-args.txt") as args:  # the primary gateway's port refused, as in run.sh
            roles = [role for role in args.read().split() if not role.startswith("gateway1=")]
        said = open(out + "/standin.out", "w+")
        started.append(subprocess.Popen(["build/standin/tools/standin-portal/ostrel-standin", "--log",
                                         out + "/requests.jsonl", "--bench-page"] + roles, stdout=said, stderr=said))
        for _ in range(100):
            said.seek(0)
            if "ostrel-standin ready" in said.read():
                break
            time.sleep(0.1)
        else:
            sys.exit(f"the stand-in did not start (see {out}/standin.out)")
        packets = Packets()
        started.append(packets.dump)
        figures = {}
        for round_ in range(rounds + 1):
            print(f"round {round_} of {rounds}" + (" (warm-up)" if round_ == 0 else ""), file=sys.stderr)
            for name, engine, root, command in PROGRAMS:
                taken = measure(packets, display, name, root, command, log)
                if round_ > 0:
                    for figure, value in zip(("startup", "first", "memory"), taken):
                        if value is not None:
                            figures.setdefault((engine, figure, name), []).append(value)
    finally:
        for process in reversed(started):
            stop(process)

    lines = [f"bench/crosscheck.py {rounds}, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}: "
             "medians, beside bench/run.sh's last run",
             f"{'engine':9} {'figure':8} {'program':8} {'unit':4} {'crosscheck':>10} {'run.sh':>8} {'cross/run':>9}"]
    median = {key: statistics.median(found) for key, found in figures.items()}
    for engine in ("debian12", "debian13"):
        theirs = run_sh_medians(engine)
        for figure in ("startup", "first", "memory"):
            for name in ("ours", "bare"):
                mine, other = median.get((engine, figure, name)), theirs.get((figure, name))
                scale, unit = (1024, "MB") if figure == "memory" else (1, "ms")
                lines.append(f"{engine:9} {figure:8} {name:8} {unit:4} "
                             + (f"{mine / scale:10.1f}" if mine else f"{'-':>10}")
                             + (f" {other / scale:8.1f}" if other else f" {'-':>8}")
                             + (f" {mine / other:9.2f}" if mine and other else f" {'-':>9}"))
    lines.append("ratios of the crosscheck's medians:")
    for figure in ("startup", "first", "memory"):
        ratio = [median.get((e, figure, "ours"), 0) / median[(e, figure, "bare")]
                 for e in ("debian12", "debian13") if median.get((e, figure, "bare"))]
        lines.append(f"  {figure:8} ours/bare " + " ".join(f"{r:.2f}" for r in ratio) + " (Debian 12, 13)"
                     + (f"; Debian 13/12, ours {median[('debian13', figure, 'ours')] / median[('debian12', figure, 'ours')]:.2f}"
                        if median.get(("debian12", figure, "ours")) and median.get(("debian13", figure, "ours")) else ""))
    with open(out + "/results.txt", "w") as results:
        results.write("\n".join(lines) + "\n")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
