"""Prints each file of a tonvale-cli --json object: source, outcome and reason kind, sorted."""
import json
import sys

with open(sys.argv[1], encoding="utf-8") as f:
    run = json.load(f)
for entry in sorted((f["source"], f["outcome"], f["reason_kind"]) for f in run["files"]):
    print(*entry)
