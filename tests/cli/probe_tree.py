"""Makes a folder that holds a case of each thing a run must fail or convert
alike in a dry run: a source 1,100 folders deep, a source whose output path
under OUTPUT would pass the system's limit, and a folder standing where an
output goes. Each source is a copy of WAV.
Usage: probe_tree.py WAV FOLDER OUTPUT"""
import os, shutil, sys

wav, folder, output = sys.argv[1:]
os.makedirs(os.path.join(folder, "long", *["b" * 250] * 15))
shutil.copy(wav, os.path.join(folder, "long", *["b" * 250] * 15, "y.wav"))
shutil.copy(wav, os.path.join(folder, "dir.wav"))
os.makedirs(os.path.join(output, "dir.mp3"))
# Deeper than os.makedirs recurses: one level at a time, relative to the last.
level = os.open(folder, os.O_RDONLY)
for _ in range(1100):
    os.mkdir("a", dir_fd=level)
    deeper = os.open("a", os.O_RDONLY, dir_fd=level)
    os.close(level)
    level = deeper
with open(wav, "rb") as source, open(os.open("x.wav", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=level), "wb") as copy:
    copy.write(source.read())
os.close(level)
