"""Runs tonvale-cli with its standard output a pipe that is full and never
read, waits until a file matching a pattern exists in its folder (a state of
the run), sends SIGTERM and prints the exit status and the seconds the stop
took, or "still running" when it had not ended within the limit.
Usage: stop_on_full_pipe.py TONVALE-CLI FOLDER PATTERN LIMIT ARGS..."""
import fcntl, glob, os, signal, subprocess, sys, time

cli, folder, pattern, limit, args = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4]), sys.argv[5:]
read_end, write_end = os.pipe()
fcntl.fcntl(write_end, fcntl.F_SETFL, os.O_NONBLOCK)
try:
    while True:
        os.write(write_end, b"x" * 4096)
except BlockingIOError:
    pass
fcntl.fcntl(write_end, fcntl.F_SETFL, 0)
env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(folder, "cfg"))
p = subprocess.Popen([cli] + args, cwd=folder, stdout=write_end, stderr=subprocess.DEVNULL, env=env)
end = time.monotonic() + 60
while not glob.glob(os.path.join(folder, pattern)) and p.poll() is None and time.monotonic() < end:
    time.sleep(0.01)
p.send_signal(signal.SIGTERM)
asked = time.monotonic()
try:
    status = p.wait(timeout=limit)
    print(status, f"{time.monotonic() - asked:.2f}")
except subprocess.TimeoutExpired:
    print("still running")
    p.kill()
    p.wait()
os.close(read_end)
os.close(write_end)
