"""The manual page names every key options.ini is read for (under FILES),
and every kind of the {"error"} object and every reason_kind of a file (under
JSON OUTPUT), as the sources spell them.
Usage: manual_names.py SOURCE-FOLDER"""
import re, sys

root = sys.argv[1]
read = lambda path: open(f"{root}/{path}", encoding="utf-8").read()
man = read("data/man/tonvale-cli.1").replace("\\-", "-")
section = lambda name: man.split(f".SH {name}")[1].split(".SH ")[0]
cli = read("src/cli/main.cpp") + read("src/cli/cli_options.cpp")
names = {
    "FILES": re.findall(r'\{"\w+Options", "(\w+)"', read("src/settings/settings.cpp")),
    "JSON OUTPUT": re.findall(r'Refuse\([^,]+, "([^"]+)"', cli) +
                   re.findall(r'return "([^"]+)";', read("src/conversion/file_result.cpp")),
}
missing = [(where, name) for where, found in names.items() for name in found if name not in section(where)]
for where, name in missing:
    print(f"the manual page's {where} does not name {name}")
print(f"{sum(map(len, names.values()))} names checked")
sys.exit(1 if missing or not all(names.values()) else 0)
