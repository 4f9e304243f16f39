#!/usr/bin/env python3
"""Makes the release files of a built Tarrow: Tarrow-<version>-x64.msi, Tarrow-<version>-x64.zip and SHA256SUMS.

  make_dist.py BUILD OUT [--version MAJOR.MINOR.BUILD]

BUILD is a build folder: tarrow.exe, tarrow-cli.exe and the version.txt that CMake writes. The user guide (help/)
and the pictures its pages show (docs/) come from the repository. OUT receives the three files.
--version labels the installer and the file names with another version than the build's; the installer test uses
it to make a newer installer of the same programs.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import uuid
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WXS = os.path.join(ROOT, "tools", "release", "tarrow.wxs")
PROGRAMS = ("tarrow.exe", "tarrow-cli.exe")
STRIP = "x86_64-w64-mingw32-strip"  # the release programs go without symbols: half the size
# Each version gets a product code of its own, always the same one: installing a version again finds it installed,
# and a newer version is a new product that replaces the older.
PRODUCT_CODE_NAMESPACE = uuid.UUID("8C1D3F62-5B0E-4C71-9E7A-2D4B6F80A915")
PICTURE_REFERENCE = re.compile(r'(?:src|href)="\.\./docs/([^"#?]+)"')


class ReleaseError(Exception):
    pass


def parse_version(text):
    """major.minor.build within the installer's limits (255, 255, 65535)."""
    match = re.fullmatch(r"(\d+)\.(\d+)\.(\d+)", text.strip())
    if not match or int(match[1]) > 255 or int(match[2]) > 255 or int(match[3]) > 65535:
        raise ReleaseError(f"not a version of the form MAJOR.MINOR.BUILD: {text.strip()!r}")
    return text.strip()


def release_files(build):
    """{path in the release: source file}: the two programs, the guide, and the pictures the guide shows."""
    files = {name: os.path.join(build, name) for name in PROGRAMS}
    help_dir = os.path.join(ROOT, "help")
    for name in sorted(os.listdir(help_dir)):
        files["help/" + name] = os.path.join(help_dir, name)
        if name.endswith(".html"):
            with open(os.path.join(help_dir, name), encoding="utf-8") as page:
                for picture in PICTURE_REFERENCE.findall(page.read()):
                    files["docs/" + picture] = os.path.join(ROOT, "docs", picture)
    missing = [source for source in files.values() if not os.path.isfile(source)]
    if missing:
        raise ReleaseError("missing: " + ", ".join(missing))
    return files


def write_file_list(path, folder, names):
    """A WiX include with one File element per file of folder; the ids are made from the names."""
    ids = set()
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<Include>"]
    for name in names:
        file_id = folder.capitalize() + "_" + re.sub(r"[^A-Za-z0-9_.]", "_", name)
        if file_id in ids or not re.fullmatch(r"[A-Za-z0-9_.-]+", name):
            raise ReleaseError(f"{folder}/{name}: a file name the installer cannot take")
        ids.add(file_id)
        lines.append(f'  <File Id="{file_id}" Name="{name}" Source="payload/{folder}/{name}"/>')
    lines.append("</Include>")
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


def build_msi(work, files, version, msi):
    for folder in ("help", "docs"):
        names = [path.split("/", 1)[1] for path in files if path.startswith(folder + "/")]
        write_file_list(os.path.join(work, folder + "-files.wxi"), folder, names)
    shutil.copyfile(os.path.join(ROOT, "resources", "tarrow.ico"), os.path.join(work, "tarrow.ico"))
    product_code = "{" + str(uuid.uuid5(PRODUCT_CODE_NAMESPACE, "Tarrow " + version)).upper() + "}"
    subprocess.run(["wixl", "--arch", "x64", "-I", work, "-D", "Version=" + version,
                    "-D", "ProductCode=" + product_code, "-o", msi, WXS], cwd=work, check=True)


def stage(files, payload):
    for name, source in files.items():
        target = os.path.join(payload, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if name in PROGRAMS:
            subprocess.run([STRIP, "-o", target, source], check=True)
        else:
            shutil.copyfile(source, target)


def build_zip(payload, names, version, path):
    top = f"Tarrow-{version}/"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in sorted(names):
            archive.write(os.path.join(payload, name), top + name)


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as data:
        for block in iter(lambda: data.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("out")
    parser.add_argument("--version")
    args = parser.parse_args()
    try:
        with open(os.path.join(args.build, "version.txt"), encoding="utf-8") as text:
            version = parse_version(args.version or text.read())
        files = release_files(args.build)
        out = os.path.abspath(args.out)
        work = os.path.join(out, ".stage")
        shutil.rmtree(work, ignore_errors=True)
        stage(files, os.path.join(work, "payload"))
        names = [f"Tarrow-{version}-x64.msi", f"Tarrow-{version}-x64.zip"]
        build_msi(work, files, version, os.path.join(out, names[0]))
        build_zip(os.path.join(work, "payload"), files, version, os.path.join(out, names[1]))
        with open(os.path.join(out, "SHA256SUMS"), "w", encoding="utf-8") as sums:
            sums.writelines(f"{sha256(os.path.join(out, name))}  {name}\n" for name in names)
        shutil.rmtree(work)
    except (ReleaseError, OSError, subprocess.CalledProcessError) as failure:
        print(f"make_dist: {failure}", file=sys.stderr)
        return 1
    for name in names + ["SHA256SUMS"]:
        print(os.path.join(out, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
