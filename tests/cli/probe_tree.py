"""Makes FOLDER with WAV copied as ok.wav, noread.wav (mode 000), dir.wav (a folder stands at its output under
OUTPUT), 1,100 folders deep and so deep that its output under OUTPUT passes 4095 bytes.
Usage: probe_tree.py WAV FOLDER OUTPUT"""
import os, shutil, sys

wav, folder, output = sys.argv[1:]
long = os.path.join(folder, "long", *["b" * 250] * 15)
os.makedirs(long), os.makedirs(os.path.join(output, "dir.mp3"))
for copy in ("ok.wav", "noread.wav", "dir.wav", os.path.join(long, "y.wav")):
    shutil.copy(wav, os.path.join(folder, copy))
os.chmod(os.path.join(folder, "noread.wav"), 0)
level = os.open(folder, os.O_RDONLY)  # deeper than os.makedirs recurses
for _ in range(1100):
    os.mkdir("a", dir_fd=level)
    level = os.open("a", os.O_RDONLY, dir_fd=level)
os.write(os.open("x.wav", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=level), open(wav, "rb").read())
