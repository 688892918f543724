#!/usr/bin/env python3
"""Checks the layering: includes name their layer, and the CMake target graph
points one way only.

    scripts/check_layers.py BUILD_DIR

Includes: a layer's public header is included through its layer's folder
(platform/..., screenlib/..., hostlibs/..., hostapp/...), and no include path
climbs out of a folder with "..". The module's folders are layers too: a
module header is included by its folder ("services/host_paths.h"), and a
folder includes only its own headers and those of folders below it. The
folders of the host libraries and of the host program include one way,
bottom to top. Targets: the module, the screen library and the host
libraries each depend on platform, the host program on all of them, and no
target depends on one of a layer above its own.
"""
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
PUBLIC_HEADERS = {
    "platform": ROOT / "platform/include/platform",
    "screenlib": ROOT / "screenlib/include/screenlib",
    "hostlibs": ROOT / "hostlibs/include/hostlibs",
    "hostapp": ROOT / "host/include/hostapp",
}
SOURCE_FOLDERS = ["platform", "module", "screenlib", "hostlibs", "host", "tests", "bench"]

# Layers from the bottom up; a target may depend on its own layer or below.
LAYERS = {
    "platform": 0, "native_files": 0, "fixed_text": 0,
    "screenlib": 1, "hostlibs_data": 1,
    "hostlibs_ui": 2, "hostlibs": 2,
    "toolbank_core": 3, "toolbank": 3,
    "hostapp": 4, "devgroup": 4,
}
REQUIRED_EDGES = [
    ("toolbank_core", "platform"), ("screenlib", "platform"),
    ("hostlibs_data", "platform"), ("hostlibs_ui", "platform"),
    ("hostapp", "hostlibs"), ("hostapp", "screenlib"), ("hostapp", "platform"),
    ("devgroup", "hostapp"), ("devgroup", "toolbank"),
]
# Same layer, yet never: the data side knows no screen.
FORBIDDEN_EDGES = [("hostlibs_data", "screenlib"), ("screenlib", "hostlibs_data")]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

# The host libraries' folders from the bottom up: a folder includes its own
# headers and those of folders below it. The data side never includes the
# user-interface side, which may include the data side's.
HOSTLIB_FOLDERS = {
    "data": {"core": 0, "datetime": 1, "info": 1, "record_store": 1, "sites": 1, "jobs": 2,
             "host": 3},
    "ui": {"core": 0, "status": 4, "help": 4, "menubar": 5, "shell": 5},
}

# The host program's folders (host/app) from the bottom up: data roots and
# host.conf, the host session, the host's own modules, the command line. A
# folder includes its own headers and those of folders below it, always by
# folder ("root/csv.h").
HOSTAPP_FOLDERS = {"root": 0, "session": 1, "builtin": 2, "cli": 3}

# The module's folders from the bottom up: a folder includes its own headers
# and those of folders below it, always by folder ("editor/device_table.h").
MODULE_FOLDERS = {"services": 0, "dialogs": 1, "editor": 2, "output": 3, "entry": 4}


def include_problems():
    public = {}
    for layer, folder in PUBLIC_HEADERS.items():
        for header in folder.glob("*.h"):
            public[header.name] = layer
    problems = []
    for top in SOURCE_FOLDERS:
        for path in sorted((ROOT / top).rglob("*")):
            if path.suffix not in (".cpp", ".h") or "build" in path.relative_to(ROOT).parts:
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                name = match.group(1)
                where = f"{path.relative_to(ROOT)}:{number}: \"{name}\""
                if ".." in pathlib.PurePosixPath(name).parts:
                    problems.append(f"{where} climbs out of its folder")
                elif "/" not in name and name in public and not (path.parent / name).exists():
                    problems.append(f"{where} skips its layer: write \"{public[name]}/{name}\"")
                else:
                    problems += hostlib_folder_problems(path, name, where)
                    problems += hostapp_folder_problems(path, name, where)
                    problems += module_folder_problems(path, name, where)
    return problems


def hostlib_folder_problems(path, name, where):
    parts = path.relative_to(ROOT).parts
    if len(parts) < 4 or parts[0] != "hostlibs" or parts[1] not in HOSTLIB_FOLDERS:
        return []
    ranks = HOSTLIB_FOLDERS[parts[1]]
    own, used = parts[2], pathlib.PurePosixPath(name).parts[0]
    if used not in ranks:
        if parts[1] == "data" and used in HOSTLIB_FOLDERS["ui"]:
            return [f"{where}: the data side includes the user-interface side"]
        return []
    if ranks[used] > ranks[own]:
        return [f"{where}: hostlibs/{parts[1]}/{own} includes {used}/, a folder above it"]
    return []


def hostapp_folder_problems(path, name, where):
    parts = path.relative_to(ROOT).parts
    if len(parts) < 3 or parts[:2] != ("host", "app"):
        return []
    own, used = parts[2], pathlib.PurePosixPath(name).parts[0]
    if len(parts) == 3 or own not in HOSTAPP_FOLDERS:
        return [f"{where}: stands outside the host program's folders ({', '.join(HOSTAPP_FOLDERS)})"]
    if "/" not in name and (path.parent / name).exists():
        return [f"{where}: write \"{own}/{name}\""]
    if used in HOSTAPP_FOLDERS and HOSTAPP_FOLDERS[used] > HOSTAPP_FOLDERS[own]:
        return [f"{where}: host/app/{own} includes {used}/, a folder above it"]
    return []


def module_folder_problems(path, name, where):
    parts = path.relative_to(ROOT).parts
    used = pathlib.PurePosixPath(name).parts
    in_module = len(parts) >= 3 and parts[0] == "module" and parts[1] in MODULE_FOLDERS
    if len(used) == 1:
        # The module's include path is module/ alone: a module header is
        # named by its folder, in its own folder too.
        if not in_module and (path.parent / name).exists():
            return []
        owners = [folder for folder in MODULE_FOLDERS if (ROOT / "module" / folder / name).exists()]
        if owners:
            return [f"{where} names no folder: write \"{owners[0]}/{name}\""]
        return []
    if not in_module:
        return []
    own, folder = parts[1], used[0]
    if folder in MODULE_FOLDERS and MODULE_FOLDERS[folder] > MODULE_FOLDERS[own]:
        return [f"{where}: module/{own} includes {folder}/, a folder above it"]
    return []


def graph_problems(build_dir):
    with tempfile.TemporaryDirectory() as scratch:
        dot = pathlib.Path(scratch) / "targets.dot"
        subprocess.run(["cmake", f"--graphviz={dot}", "."], cwd=build_dir, check=True,
                       stdout=subprocess.DEVNULL)
        text = dot.read_text()
    labels = dict(re.findall(r'"(node\d+)" \[ label = "([^"]+)"', text))
    edges = {(labels[a], labels[b]) for a, b in re.findall(r'"(node\d+)" -> "(node\d+)"', text)}
    problems = []
    for needed in REQUIRED_EDGES:
        if needed not in edges:
            problems.append(f"target {needed[0]} does not depend on {needed[1]}")
    for user, used in sorted(edges):
        if user in LAYERS and used in LAYERS and LAYERS[used] > LAYERS[user]:
            problems.append(f"target {user} points back to {used}")
        if (user, used) in FORBIDDEN_EDGES:
            problems.append(f"target {user} must not depend on {used}")
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    problems = include_problems() + graph_problems(pathlib.Path(sys.argv[1]))
    for problem in problems:
        print(f"check_layers: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
