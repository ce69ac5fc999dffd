"""The manual page names each key options.ini is read for (under FILES), each kind of the {"error"} object
and each reason_kind (under JSON OUTPUT), as the sources spell them. Usage: manual_names.py SOURCE-FOLDER"""
import re, sys

read = lambda path: open(f"{sys.argv[1]}/{path}", encoding="utf-8").read()
man = read("data/man/tonvale-cli.1").replace("\\-", "-")
names = {"FILES": re.findall(r'\{"\w+Options", "(\w+)"', read("src/settings/settings.cpp")),
         "JSON OUTPUT": re.findall(r'Refuse\([^,]+, "([^"]+)"', read("src/cli/main.cpp") + read("src/cli/cli_options.cpp"))
         + re.findall(r'return "([^"]+)";', read("src/conversion/file_result.cpp"))}
missing = [f"the manual page's {where} does not name {name}" for where, found in names.items() for name in found
           if name not in man.split(f".SH {where}")[1].split(".SH ")[0]]
print(*missing, f"{sum(map(len, names.values()))} names checked", sep="\n")
sys.exit(1 if missing or not all(names.values()) else 0)
