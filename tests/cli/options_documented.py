#!/usr/bin/env python3
"""Every option of `tonvale-cli --help` has its entry in the manual page and
in the bash, zsh and fish completions, and none of them names another.
Usage: options_documented.py TONVALE-CLI DATA-FOLDER"""
import re, subprocess, sys

cli, data = sys.argv[1], sys.argv[2]
OPTION = re.compile(r"(?<![\w-])--?[a-z][a-z0-9-]*")
text = lambda name: open(f"{data}/{name}", encoding="utf-8").read()

help_text = subprocess.run([cli, "--help"], capture_output=True, text=True, check=True).stdout
options = {o for line in help_text.split("Options:")[1].splitlines()
           if line.startswith("  -") for o in line.split()[0].split(",")}

man = text("man/tonvale-cli.1").replace("\\-", "-")
man = man.split(".SH OPTIONS")[1].split(".SH ")[0]
man_entries = re.findall(r"^\.TP\n(.*)$", man, re.M)
documented = {
    "manual page": {o for entry in man_entries for o in OPTION.findall(re.sub(r'"[^"]*"', " ", entry))},
    "bash completion": set(OPTION.findall(re.search(r'compgen -W "(--help[^"]*)"', text("completions/tonvale-cli.bash"))[1])),
    "zsh completion": {o for names in re.findall(r"^  '?(?:\([^)]*\)'?)?(\S+?)\[", text("completions/_tonvale-cli"), re.M)
                       for o in OPTION.findall(names)},
    "fish completion": {("-" if kind == "s" else "--") + name
                        for kind, name in re.findall(r" -([sl]) ([a-z][a-z0-9-]*)", "\n".join(
                            l for l in text("completions/tonvale-cli.fish").splitlines() if l.startswith("complete ")))},
}
failed = False
for where, found in documented.items():
    for missing in sorted(options - found):
        print(f"{missing} of --help is missing from the {where}"); failed = True
    for extra in sorted(found - options):
        print(f"the {where} names {extra}, which --help does not"); failed = True
print(f"{len(options)} options checked in {len(documented)} places")
sys.exit(1 if failed else 0)
