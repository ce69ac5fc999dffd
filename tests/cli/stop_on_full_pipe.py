"""Runs tonvale-cli with standard output and error a full pipe nobody reads, sends SIGTERM once a file matching
PATTERN exists in FOLDER, and prints the exit status and the seconds the stop took, or "still running" after
LIMIT seconds. Usage: stop_on_full_pipe.py TONVALE-CLI FOLDER PATTERN LIMIT ARGS..."""
import glob, os, signal, subprocess, sys, time

cli, folder, pattern, limit, args = sys.argv[1], sys.argv[2], os.path.join(sys.argv[2], sys.argv[3]), float(sys.argv[4]), sys.argv[5:]
write_end = os.pipe()[1]
os.set_blocking(write_end, False)
try:
    while True:
        os.write(write_end, b"x" * 4096)
except BlockingIOError:
    os.set_blocking(write_end, True)
p = subprocess.Popen([cli] + args, cwd=folder, stdout=write_end, stderr=write_end,
                     env=dict(os.environ, XDG_CONFIG_HOME=folder + "/cfg"))
end = time.monotonic() + 60
while not glob.glob(pattern) and p.poll() is None and time.monotonic() < end:
    time.sleep(0.01)
if not glob.glob(pattern):
    sys.exit(f"{pattern} never appeared")
p.send_signal(signal.SIGTERM)
asked = time.monotonic()
try:
    print(p.wait(timeout=limit), f"{time.monotonic() - asked:.2f}")
except subprocess.TimeoutExpired:
    print("still running"), p.kill()
