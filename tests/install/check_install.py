"""Checks an installation of this build the way a Linux desktop and Debian
see it.

  check_install.py prefix --build DIR --source DIR --prefix DIR --version X.Y
      `cmake --install` into a scratch prefix; the files and their modes, the
      desktop entry (desktop-file-validate), the AppStream data with the entry
      it launches (appstreamcli validate-tree), both man pages rendered by man
      against each program's --help and the environment variables the sources
      read, --version and --help without a display, and a conversion by the
      installed converter loaded into SQLite.

  check_install.py package --build DIR --out DIR --version X.Y --package-version V
      The Debian package made by cpack from the same build: its name, fields
      and dependencies from the linked libraries, its contents (dpkg-deb -c)
      with owners and modes, and the unpacked programs' versions.

Every problem is reported before the script fails.
"""

import argparse
import configparser
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
PROBLEMS = []


def problem(text):
    PROBLEMS.append(text)
    print("install: " + text, file=sys.stderr)


def run(command, env=None, cwd=None, stdin=None):
    """Runs a command to its end; returns (exit status, stdout, stderr)."""
    try:
        done = subprocess.run(command, env=env, cwd=cwd, input=stdin, capture_output=True, text=True, timeout=300)
    except FileNotFoundError:
        sys.exit(f"install: {command[0]} is missing (scripts/install-deps.sh installs it)")
    return done.returncode, done.stdout, done.stderr


def expected_files():
    with open(os.path.join(HERE, "expected-files.txt")) as f:
        return {line.strip() for line in f if line.strip() and not line.startswith("#")}


def expected_mode(path):
    return 0o755 if path.startswith("bin/") else 0o644


def without_display():
    """The environment of a shell with no desktop at all."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def check_versions(bin_dir, version, where):
    for program in ("quarrow", "quarrow-cli"):
        code, out, err = run([os.path.join(bin_dir, program), "--version"], env=without_display())
        if code != 0 or out != f"{program} {version}\n":
            problem(f"{where} {program} --version: status {code}, printed {out!r} {err!r}")


# --- the scratch prefix ------------------------------------------------------

def installed_files(prefix):
    found = {}
    for folder, _, files in os.walk(prefix):
        for name in files:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, prefix)] = os.lstat(path).st_mode & 0o7777
    return found


def check_files(prefix):
    found = installed_files(prefix)
    expected = expected_files()
    for path in sorted(expected - found.keys()):
        problem(f"not installed: {path}")
    for path in sorted(found.keys() - expected):
        problem(f"installed but not expected: {path}")
    for path in sorted(expected & found.keys()):
        if found[path] != expected_mode(path):
            problem(f"{path} has mode {found[path]:o}, expected {expected_mode(path):o}")


def check_desktop_entry(prefix):
    entries = glob.glob(os.path.join(prefix, "share/applications/*.desktop"))
    if len(entries) != 1:
        problem(f"expected one desktop entry, found {entries}")
        return None
    entry = entries[0]
    code, out, err = run(["desktop-file-validate", entry])
    if code != 0 or out.strip() or err.strip():
        problem(f"desktop-file-validate {os.path.basename(entry)}: {out}{err}")

    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(entry, encoding="utf-8")
    desktop = parser["Desktop Entry"]
    # Exec: an installed program and one file, as the file manager passes it.
    exec_line = desktop.get("Exec", "").split()
    if exec_line != ["quarrow", "%f"]:
        problem(f"Exec={desktop.get('Exec')!r}")
    elif not os.access(os.path.join(prefix, "bin", exec_line[0]), os.X_OK):
        problem(f"Exec names {exec_line[0]}, which is not installed in bin/")
    if "text/csv" not in desktop.get("MimeType", "").split(";"):
        problem(f"MimeType={desktop.get('MimeType')!r} does not offer to open CSV files")
    icon = desktop.get("Icon", "")
    svg = os.path.join(prefix, "share/icons/hicolor/scalable/apps", icon + ".svg")
    if not os.path.isfile(svg):
        problem(f"Icon={icon!r}, but there is no {os.path.relpath(svg, prefix)}")
    else:
        try:
            root = ET.parse(svg).getroot()
            if root.tag != "{http://www.w3.org/2000/svg}svg":
                problem(f"the icon's root element is {root.tag}")
        except ET.ParseError as e:
            problem(f"the icon is no XML: {e}")
    return os.path.basename(entry)


def check_metainfo(prefix, desktop_id):
    files = glob.glob(os.path.join(prefix, "share/metainfo/*.metainfo.xml"))
    if len(files) != 1:
        problem(f"expected one AppStream file, found {files}")
        return
    # The whole tree: the file itself and the desktop entry it launches.
    code, out, err = run(["appstreamcli", "validate-tree", "--no-net", prefix])
    if code != 0:
        problem(f"appstreamcli validate-tree: {out}{err}")
    root = ET.parse(files[0]).getroot()
    component = root.findtext("id")
    if os.path.basename(files[0]) != f"{component}.metainfo.xml":
        problem(f"the AppStream file of {component} is named {os.path.basename(files[0])}")
    launchable = root.findtext("launchable[@type='desktop-id']")
    if launchable != desktop_id:
        problem(f"the AppStream data launches {launchable!r}, the desktop entry is {desktop_id!r}")
    binaries = {b.text for b in root.findall("provides/binary")}
    if binaries != {"quarrow", "quarrow-cli"}:
        problem(f"the AppStream data provides {sorted(binaries)}")


SECTIONS = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "ENVIRONMENT", "FILES", "EXAMPLES",
            "SEE ALSO"]
OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z-]*[a-z]|-[A-Za-z])(?![\w-])")


def render_man_page(path):
    env = dict(os.environ, MANWIDTH="100", MANPAGER="cat", PAGER="cat", LANG="C.UTF-8", LC_ALL="C.UTF-8")
    code, out, err = run(["man", "--warnings", "-E", "UTF-8", "-l", path], env=env)
    if code != 0 or err.strip():
        problem(f"man -l {os.path.basename(path)}: status {code}: {err.strip()}")
    # Hyphens and minus signs as a person types them.
    return re.sub("[\u2010\u2011\u2212]", "-", out)


def sections(text):
    """The page's sections: heading -> body."""
    found = {}
    heading = None
    for line in text.splitlines():
        if line and not line[0].isspace() and line.upper() == line and not line.startswith(("QUARROW", "Quarrow")):
            heading = line.strip()
            found[heading] = ""
        elif heading:
            found[heading] += line + "\n"
    return found


def variables_read(source, folders):
    """QUARROW_* environment variables the sources of these folders name."""
    names = set()
    for folder in folders:
        for root, _, files in os.walk(os.path.join(source, folder)):
            for name in files:
                if name.endswith((".cpp", ".h")):
                    with open(os.path.join(root, name), encoding="utf-8") as f:
                        names |= set(re.findall(r'"(QUARROW_[A-Z0-9_]+)"', f.read()))
    return names


def check_man_pages(prefix, source):
    pages = {
        # page: (program, source folders of the program, further names its environment section holds)
        "quarrow.1.gz": ("quarrow", ["app", "ui", "info", "update", "engine"], {"XDG_CONFIG_HOME"}),
        "quarrow-cli.1.gz": ("quarrow-cli", ["cli", "engine"], set()),
    }
    for page, (program, folders, more) in pages.items():
        path = os.path.join(prefix, "share/man/man1", page)
        if not os.path.isfile(path):
            continue  # reported with the files
        text = render_man_page(path)
        parts = sections(text)
        missing = [s for s in SECTIONS if s not in parts]
        if missing:
            problem(f"{page} has no section {', '.join(missing)} (sections: {list(parts)})")
            continue
        if not parts["NAME"].strip().startswith(program + " - "):
            problem(f"{page} NAME reads {parts['NAME'].strip()!r}")

        # The options the program itself knows, and no others.
        code, out, err = run([os.path.join(prefix, "bin", program), "--help"], env=without_display())
        if code != 0:
            problem(f"{program} --help: status {code}: {err}")
        in_help = set(OPTION.findall(out))
        in_page = set(OPTION.findall(parts["OPTIONS"]))
        if in_help != in_page:
            problem(f"{page} OPTIONS and {program} --help differ: only in the page {sorted(in_page - in_help)}, "
                    f"only in --help {sorted(in_help - in_page)}")

        # Every environment variable the program reads is described.
        wanted = variables_read(source, folders) | more
        described = set(re.findall(r"\b[A-Z][A-Z0-9_]{3,}\b", parts["ENVIRONMENT"]))
        for name in sorted(wanted - described):
            problem(f"{page} ENVIRONMENT does not describe {name}")


def check_converter(prefix):
    with tempfile.TemporaryDirectory() as folder:
        folder = os.path.join(folder, "My Files")
        os.mkdir(folder)
        csv = os.path.join(folder, "people list.csv")
        with open(csv, "wb") as f:
            f.write("id,name\r\n1,Ann\r\n2,O'Brien\r\n3,Zoë\r\n".encode())
        script = os.path.join(folder, "people.sql")
        code, out, err = run([os.path.join(prefix, "bin/quarrow-cli"), "-H", "-d", "sqlite", "-t", "people", "-q",
                              "-o", script, csv], env=without_display())
        if code != 0:
            problem(f"the installed quarrow-cli failed: status {code}: {err}")
            return
        database = os.path.join(folder, "people.db")
        with open(script, encoding="utf-8") as f:
            code, out, err = run(["sqlite3", "-bail", database], stdin=f.read())
        if code != 0:
            problem(f"sqlite3 refused the installed converter's script: {err}")
            return
        code, out, err = run(["sqlite3", database, "SELECT id, name FROM people ORDER BY id"])
        if out != "1|Ann\n2|O'Brien\n3|Zoë\n":
            problem(f"the table read back from SQLite holds {out!r} {err}")


def check_window_without_display(prefix):
    code, out, err = run([os.path.join(prefix, "bin/quarrow"), "--help"], env=without_display())
    if code != 0 or not out.startswith("Usage: quarrow [FILE]"):
        problem(f"quarrow --help without a display: status {code}: {out[:200]!r} {err[:500]}")


def prefix_main(args):
    shutil.rmtree(args.prefix, ignore_errors=True)
    code, out, err = run(["cmake", "--install", args.build, "--prefix", args.prefix])
    if code != 0:
        sys.exit(f"install: cmake --install failed: {out}{err}")
    check_files(args.prefix)
    desktop_id = check_desktop_entry(args.prefix)
    check_metainfo(args.prefix, desktop_id)
    check_man_pages(args.prefix, args.source)
    check_versions(os.path.join(args.prefix, "bin"), args.version, "installed")
    check_window_without_display(args.prefix)
    check_converter(args.prefix)


# --- the Debian package ------------------------------------------------------

def package_main(args):
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    code, out, err = run(["cpack", "-G", "DEB", "--config", os.path.join(args.build, "CPackConfig.cmake"),
                          "-B", args.out])
    if code != 0:
        sys.exit(f"install: cpack failed: {out}{err}")
    _, arch, _ = run(["dpkg", "--print-architecture"])
    packages = glob.glob(os.path.join(args.out, "*.deb"))
    wanted = f"quarrow_{args.package_version}_{arch.strip()}.deb"
    if [os.path.basename(p) for p in packages] != [wanted]:
        sys.exit(f"install: expected the package {wanted}, cpack made {packages}")
    deb = packages[0]

    code, fields, err = run(["dpkg-deb", "--field", deb, "Package", "Version", "Architecture", "Maintainer",
                             "Depends"])
    fields = dict(line.split(": ", 1) for line in fields.splitlines() if ": " in line)
    if fields.get("Package") != "quarrow" or fields.get("Version") != args.package_version:
        problem(f"package fields {fields}")
    # dpkg-shlibdeps names the packages of the libraries the programs link.
    depends = {d.strip().split(" ")[0] for d in fields.get("Depends", "").split(",")}
    for library in ("libc6", "libstdc++6", "libqt6widgets6", "libcurl4"):
        if library not in depends:
            problem(f"Depends lacks {library}: {fields.get('Depends')!r}")

    code, listing, err = run(["dpkg-deb", "--contents", deb])
    if code != 0:
        sys.exit(f"install: dpkg-deb --contents: {err}")
    files = {}
    for line in listing.splitlines():
        # -rwxr-xr-x root/root   12345 2026-01-01 00:00 ./usr/bin/quarrow
        perms, owner, _, _, _, path = line.split(None, 5)
        if owner != "root/root":
            problem(f"{path} belongs to {owner}")
        if not path.startswith("./usr/"):
            if path not in ("./",):
                problem(f"{path} is outside /usr")
            continue
        if perms.startswith("d"):
            if perms != "drwxr-xr-x":
                problem(f"folder {path} has mode {perms}")
            continue
        files[path[len("./usr/"):]] = perms
    expected = expected_files()
    for path in sorted(expected - files.keys()):
        problem(f"not in the package: /usr/{path}")
    for path in sorted(files.keys() - expected):
        problem(f"in the package but not expected: /usr/{path}")
    for path in sorted(expected & files.keys()):
        mode = "-rwxr-xr-x" if expected_mode(path) == 0o755 else "-rw-r--r--"
        if files[path] != mode:
            problem(f"/usr/{path} has mode {files[path]}, expected {mode}")

    # The programs are stripped: the version block must survive it.
    unpacked = os.path.join(args.out, "unpacked")
    code, _, err = run(["dpkg-deb", "--extract", deb, unpacked])
    if code != 0:
        sys.exit(f"install: dpkg-deb --extract: {err}")
    check_versions(os.path.join(unpacked, "usr/bin"), args.version, "packaged")


def main():
    parser = argparse.ArgumentParser()
    modes = parser.add_subparsers(dest="mode", required=True)
    prefix = modes.add_parser("prefix")
    prefix.add_argument("--build", required=True)
    prefix.add_argument("--source", required=True)
    prefix.add_argument("--prefix", required=True)
    prefix.add_argument("--version", required=True)
    package = modes.add_parser("package")
    package.add_argument("--build", required=True)
    package.add_argument("--out", required=True)
    package.add_argument("--version", required=True)
    package.add_argument("--package-version", required=True)
    args = parser.parse_args()
    if args.mode == "prefix":
        prefix_main(args)
    else:
        package_main(args)
    if PROBLEMS:
        sys.exit(f"install: {len(PROBLEMS)} problem(s)")
    print(f"install: the {args.mode} checks passed")


if __name__ == "__main__":
    main()
