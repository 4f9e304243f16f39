#!/usr/bin/env python3
"""The release under Wine: the installer, the association, upgrade and uninstall, the zip and the checksums.

In a fresh throwaway prefix of its own: install the MSI; the files, the Start menu shortcut, the association and the
Add/Remove Programs entry are there and the installed tarrow-cli prints the version; a package opened through the
shell starts the installed Tarrow with it, and a second one opens in that running window; installing the same
version again changes nothing; an MSI of a higher version replaces it in place, and the older one is then refused;
uninstalling removes the program, the shortcut and the association and leaves the store, the settings and the
packages as they were. The zip holds exactly the release's files; SHA256SUMS verifies.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from real_input import Checks, Failure, Registry, Screen, run, title, windows_path  # noqa: E402

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
CLASS_KEY = r"HKCR\CLSID\{61C55EE1-8812-4f99-BA80-599621BFB261}"  # the program's own class registration


def default_value(key, name="(Default)"):
    return (Registry.values(key) or {}).get(name, (None, None))[1]


def packed_code(code):
    """The form in which the installer names a product code in the registry."""
    g = code.strip("{}").split("-")
    return g[0][::-1] + g[1][::-1] + g[2][::-1] + "".join(pair[::-1] for pair in re.findall("..", g[3] + g[4]))


class Release:
    def __init__(self, args, checks):
        self.args, self.check = args, checks.check
        self.checks = checks
        self.work = os.path.join(args.build, "installer-test")
        with open(os.path.join(args.build, "version.txt")) as text:
            self.version = text.read().strip()
        major, minor, build = self.version.split(".")
        self.next_version = f"{major}.{minor}.{int(build) + 1}"
        self.version_text = re.compile(rf"Version {major}\.{minor}[a-z]* \(Build {build}\)")
        self.screen = Screen(args.helper)
        self.prefix = None

    def wine(self, *arguments):
        return run(["wine"] + list(arguments), timeout=120, check=False)

    def msiexec(self, action, msi):
        return self.wine("msiexec", action, windows_path(msi + ".msi"), "/qn").returncode

    def shell_open(self, path):
        """ShellExecute through start.exe; the program it starts must not hold this test's output pipes."""
        return subprocess.run(["wine", "start", windows_path(path)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode

    def make_dist(self, folder, version=None):
        script = os.path.join(self.args.root, "tools", "release", "make_dist.py")
        out = os.path.join(self.work, folder)
        run([sys.executable, script, self.args.build, out] + (["--version", version] if version else []), timeout=120)
        return os.path.join(out, f"Tarrow-{version or self.version}-x64")

    def product_code(self, msi):
        table = run(["msiinfo", "export", msi + ".msi", "Property"]).stdout.decode()
        return re.search(r"^ProductCode\t(\{[0-9A-F-]+\})", table, re.M).group(1)

    def products(self):
        """{product code: its Add/Remove Programs values} of every installed Varden Tarrow."""
        keys = [key for key in run(["wine", "reg", "query", UNINSTALL_KEY]).stdout.decode().split() if key[-1] == "}"]
        entries = {key.rsplit("\\", 1)[1]: Registry.values(key) for key in keys}
        return {code: values for code, values in entries.items()
                if values.get("DisplayName", (0, 0))[1] == "Varden Tarrow"}

    def versions(self):
        return {code: values["DisplayVersion"][1] for code, values in self.products().items()}

    def installed(self):
        """{path under the install folder: (inode, ctime)}; ctime moves with any write or replacement."""
        paths = [path for path in glob.glob(os.path.join(self.folder, "**"), recursive=True) if os.path.isfile(path)]
        stats = {os.path.relpath(path, self.folder).replace(os.sep, "/"): os.stat(path) for path in paths}
        return {name: (stat.st_ino, stat.st_ctime_ns) for name, stat in stats.items()}

    def check_release_files(self, msi):
        dist = os.path.dirname(msi)
        with open(os.path.join(dist, "SHA256SUMS")) as sums:
            self.check("SHA256SUMS names the MSI and the zip", len(sums.read().splitlines()) == 2)
        verify = subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=dist)
        self.check("SHA256SUMS verifies", verify.returncode == 0)
        listing = run(["python3", "-m", "zipfile", "-l", msi + ".zip"]).stdout.decode().splitlines()[1:]
        top = f"Tarrow-{self.version}/"
        self.zip_files = {line.split()[0][len(top):] for line in listing if line.startswith(top)}
        help_dir = os.path.join(self.args.root, "help")
        listed = {"tarrow.exe", "tarrow-cli.exe"} | {"help/" + name for name in os.listdir(help_dir)}
        for page in glob.glob(os.path.join(help_dir, "*.html")):
            listed |= {"docs/" + name for name in re.findall(r'"\.\./docs/([^"#?]+)"', open(page).read())}
        self.check("the zip holds the programs, the guide and the pictures it shows, nothing else",
                   self.zip_files == listed, sorted(self.zip_files ^ listed))
        self.check(f"the zip holds everything in {top}", len(listing) == len(self.zip_files), listing)

    def make_prefix(self):
        os.environ["WINEPREFIX"] = self.prefix = os.path.join(self.work, "prefix")
        run(["bash", "-c", 'source "$TARROW_ROOT/tools/common.sh" && tarrow_wine_env && tarrow_wine_prefix && '
             "tarrow_marlett_font && tarrow_mark_throwaway_store"], timeout=120)
        home = [path for path in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "AppData"))
                if "Public" not in path][0]
        self.folder = os.path.join(home, "Local", "Programs", "Tarrow")
        self.exe = "C:" + self.folder.split("drive_c", 1)[1].replace("/", "\\") + "\\tarrow.exe"
        self.shortcut = os.path.join(home, "Roaming", "Microsoft", "Windows", "Start Menu", "Programs", "Tarrow.lnk")
        run(["wine", self.args.helper, "seed", windows_path(self.work)])
        self.package, self.second = (os.path.join(self.work, name) for name in ("package.kvpreset", "second.kvpreset"))
        shutil.copyfile(self.package, self.second)

    def check_installed(self, what, msi, version):
        check, exe = self.check, self.exe
        check(f"{what}: msiexec /i ends with 0", self.msiexec("/i", msi) == 0)
        check(f"{what}: the files are the zip's", set(self.installed()) == self.zip_files, sorted(self.installed()))
        link = open(self.shortcut, "rb").read() if os.path.isfile(self.shortcut) else b""
        check(f"{what}: the Start menu shortcut starts the installed program", exe.encode() in link, self.shortcut)
        for key, value in ((r"HKCR\.kvpreset", "Tarrow.Package"), (r"HKCR\Tarrow.Package", "Tarrow preset package"),
                           (r"HKCR\Tarrow.Package\DefaultIcon", exe + ",0"),
                           (r"HKCR\Tarrow.Package\shell\open\command", f'"{exe}" "%1"'),
                           (CLASS_KEY + r"\LocalServer32", exe)):
            check(f"{what}: {key} is {value}", default_value(key) == value)
        code, products = self.product_code(msi), self.products()
        check(f"{what}: Add/Remove Programs lists this product only", list(products) == [code], list(products))
        entry = products.get(code, {})
        check(f"{what}: ... with version {version}", entry.get("DisplayVersion", (0, 0))[1] == version)
        check(f"{what}: ... the publisher", entry.get("Publisher", (0, 0))[1] == "Varden Media Software")
        icon = default_value(r"HKCU\Software\Microsoft\Installer\Products" + "\\" + packed_code(code), "ProductIcon")
        icon_file = icon and os.path.join(self.prefix, "drive_c", icon[3:].replace("\\", "/"))
        check(f"{what}: ... and the icon", icon_file and os.path.isfile(icon_file), icon)
        output = self.wine(os.path.join(self.folder, "tarrow-cli.exe"), "--version").stdout.decode()
        check(f"{what}: the installed tarrow-cli --version prints the version", self.version_text.search(output),
              output)

    def open_through_shell(self):
        self.check("the shell opens the package", self.shell_open(self.package) == 0)
        self.screen.wait("the installed Tarrow with the package", lambda s: title(s).endswith(" - package.kvpreset"))
        # A second start with a package hands it to the running window.
        self.check("the shell opens a second package", self.shell_open(self.second) == 0)
        self.screen.wait("the package in the running window", lambda s: title(s).endswith(" - second.kvpreset"))
        self.wine("taskkill", "/im", "tarrow.exe")
        self.screen.wait("Tarrow closed", lambda s: s.get("frame") is None)

    def install_again(self):
        files, versions = self.installed(), self.versions()
        again = self.make_dist("dist-again")  # the same version built again, as a second download would be
        self.check("install again: msiexec /i ends with 0", self.msiexec("/i", again) == 0)
        self.check("install again: no file is touched", self.installed() == files)
        self.check("install again: Add/Remove Programs lists the same", self.versions() == versions)

    def snapshot(self):
        """What uninstalling must leave alone: the store, the settings and the packages."""
        store = run(["wine", self.args.cli, "store"]).stdout
        settings = run(["wine", "reg", "query", r"HKCU\Software\Varden Media Software\Tarrow", "/s"]).stdout
        packages = [open(path, "rb").read() for path in (self.package, self.second)]
        return store, settings, packages

    def uninstall(self, msi):
        before = self.snapshot()
        self.check("the settings were written", b"Metrics" in before[1], before[1][:300])
        self.check("uninstall: msiexec /x ends with 0", self.msiexec("/x", msi) == 0)
        self.check("uninstall: the program folder is gone", not os.path.exists(self.folder))
        self.check("uninstall: the shortcut is gone", not os.path.exists(self.shortcut))
        entry = UNINSTALL_KEY + "\\" + self.product_code(msi)
        for key in (r"HKCR\.kvpreset", r"HKCR\Tarrow.Package", CLASS_KEY, entry):
            self.check(f"uninstall: {key} is gone", Registry.values(key) is None)
        after = self.snapshot()
        for index, what in enumerate(("store", "settings", "packages")):
            self.check(f"uninstall: the {what} are unchanged", before[index] == after[index])

    def run(self):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.checks.begin("release files")
        msi, next_msi = self.make_dist("dist"), self.make_dist("dist-next", self.next_version)
        self.check_release_files(msi)
        self.make_prefix()
        self.checks.begin("install, open through the shell")
        self.check_installed("install", msi, self.version)
        self.open_through_shell()
        self.checks.begin("install again, upgrade")
        self.install_again()
        self.check_installed("upgrade", next_msi, self.next_version)
        self.check("downgrade: the older installer is refused", self.msiexec("/i", msi) != 0)
        newer = {self.product_code(next_msi): self.next_version}
        self.check("downgrade: the newer version stays", self.versions() == newer, self.versions())
        self.checks.begin("uninstall")
        self.uninstall(next_msi)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("root", "build", "helper", "cli"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    os.environ["TARROW_ROOT"] = args.root
    checks, started = Checks(), time.monotonic()
    release = Release(args, checks)
    try:
        release.run()
    except (Failure, subprocess.TimeoutExpired, OSError) as failure:
        checks.failures.append(str(failure))
        print("STOPPED " + str(failure), flush=True)
    finally:
        if release.prefix:  # only the prefix this test made
            run(["wineserver", "-k"], check=False)
    if not checks.failures:
        shutil.rmtree(release.work, ignore_errors=True)  # a failure leaves it to look into
    print(f"{checks.passed} facts held, {len(checks.failures)} failed, in {time.monotonic() - started:.0f} s")
    for failure in checks.failures:
        print("  " + failure)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
