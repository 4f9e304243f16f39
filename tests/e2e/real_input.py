#!/usr/bin/env python3
"""End-to-end tests: the real tarrow.exe on the test display, driven only by real keyboard and mouse input.

xdotool sends the input through the X server, so it reaches the program the way a user's does: accelerators, menu
mnemonics, keyboard focus, mouse capture and the common dialogs all take part. What the program did is read back
from the registry (wine reg query), the data files, the written package (tarrow-cli dump) and, to aim the mouse,
from e2e_helper.exe probe, which reports where the controls are and what they show.

One program run carries all scenarios, in order:
  (a) open a package from the command line, Ctrl+Tab, Ctrl+A, Copy to System by the Edit menu's mnemonics,
      answer the overwrite question with the keyboard; the registry and data files hold the copies;
  (b) Ctrl+Z: the copies are gone from the registry, their data file is removed, the overwritten preset is back;
  (c) a new package, a preset row dragged with the mouse from the system list onto the package list, Ctrl+S,
      a file name typed into the Save dialog; tarrow-cli dump reads the preset back;
  (d) F2 in the system list, a new name typed: the registry holds the preset under the new name only;
  (e) a drag of several rows ended with Escape copies nothing;
  (f) Alt+E, F copies to a new package; File > 1 then asks about the changes, and Cancel keeps them;
  (g) File > Exit asks too: Yes, then Escape in the Save dialog, keeps the window and the changes;
  (h) a second tarrow.exe with a (relative) package path opens it in the first window, after the question.
Every wait has a timeout; a failure names the scenario and the fact that did not hold.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import time

REVERB_KEY = r"HKCU\Software\DirectShow\Presets\{7E2E0000-0000-4000-8000-0000000000A1}"
DELAY_KEY = r"HKCU\Software\DirectShow\Presets\{7E2E0000-0000-4000-8000-0000000000A2}"
DELAY_CLASS = "{7E2E0000-0000-4000-8000-0000000000A2}"


def pattern(size, seed):
    """The bytes e2e_helper seeds: byte i is (i * 31 + seed * 7 + (i >> 8)) & 0xFF."""
    return bytes((i * 31 + seed * 7 + (i >> 8)) & 0xFF for i in range(size))


class Failure(Exception):
    pass


class Checks:
    """Collects the facts of one scenario; each fact is reported on its own."""

    def __init__(self):
        self.scenario = "setup"
        self.failures = []
        self.passed = 0

    def begin(self, name):
        self.scenario = name
        print(f"--- {name}", flush=True)

    def check(self, fact, ok, detail=""):
        if ok:
            self.passed += 1
            return True
        message = f"[{self.scenario}] {fact}" + (f": {detail}" if detail else "")
        print("FAILED " + message, flush=True)
        self.failures.append(message)
        return False

    def require(self, fact, ok, detail=""):
        if not self.check(fact, ok, detail):
            raise Failure(f"[{self.scenario}] {fact}")


def run(command, timeout=30, check=True):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(command)} ended with {result.returncode}: {result.stderr.decode(errors='replace')}")
    return result


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def unix_path(win_path):
    if not win_path[:2].upper() == "Z:":
        raise Failure(f"expected a path on drive Z: {win_path}")
    return win_path[2:].replace("\\", "/")


class Registry:
    """Reads one key's values with wine reg query: {name: (type, data)}, data as bytes or text."""

    LINE = re.compile(r"^ {4}(.*?) {4}(REG_[A-Z_]+)(?: {4}(.*))?$")

    @staticmethod
    def values(key):
        result = run(["wine", "reg", "query", key], check=False)
        if result.returncode != 0:
            return None  # no such key
        values = {}
        for line in result.stdout.decode("utf-8", errors="replace").splitlines():
            match = Registry.LINE.match(line.rstrip("\r"))
            if not match:
                continue
            name, kind, data = match.group(1), match.group(2), match.group(3) or ""
            values[name] = (kind, bytes.fromhex(data) if kind == "REG_BINARY" else data)
        return values


class Program:
    """One running tarrow.exe; killed if a test leaves it running."""

    def __init__(self, exe, arguments, cwd=None):
        self.process = subprocess.Popen(["wine", exe] + arguments, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, cwd=cwd)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait(timeout=10)


class Screen:
    """Real input through the X server, and what the program shows through the probe."""

    def __init__(self, helper):
        self.helper = helper

    def probe(self):
        result = run(["wine", self.helper, "probe"], timeout=30)
        return json.loads(result.stdout.decode("utf-8"))

    def wait(self, what, predicate, timeout=20.0):
        """Polls the probe until predicate(state) holds; returns the state, or raises after the timeout."""
        deadline = time.monotonic() + timeout
        state = None
        while time.monotonic() < deadline:
            state = self.probe()
            if predicate(state):
                return state
            time.sleep(0.3)
        raise Failure(f"timed out waiting for {what}; last state: {json.dumps(state)[:1500]}")

    @staticmethod
    def xdotool(*arguments):
        run(["xdotool"] + [str(a) for a in arguments], timeout=20)

    def keys(self, *names):
        for name in names:
            self.xdotool("key", "--clearmodifiers", name)
            time.sleep(0.25)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)
        time.sleep(0.25)

    def move(self, point):
        self.xdotool("mousemove", point[0], point[1])
        time.sleep(0.1)

    def click(self, point, count=1):
        self.move(point)
        self.xdotool("click", "--repeat", count, "--delay", "80", 1)
        time.sleep(0.3)

    def press_and_move(self, start, end, steps=12):
        """Button down at start, then moves in steps to end; the button stays down."""
        self.move(start)
        self.xdotool("mousedown", 1)
        time.sleep(0.2)
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.xdotool("mousemove", x, y)
            time.sleep(0.05)
        time.sleep(0.3)

    def release(self):
        self.xdotool("mouseup", 1)
        time.sleep(0.4)


def centre(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


def items(state, side, pane):
    panes = state.get(side) or {}
    return (panes.get(pane) or {}).get("items", [])


def find_item(state, side, pane, text):
    for item in items(state, side, pane):
        if item["text"] == text:
            return item
    return None


def texts(state, side, pane):
    return [item["text"] for item in items(state, side, pane)]


def selected_texts(state, side, pane):
    return [item["text"] for item in items(state, side, pane) if item["selected"]]


def title(state):
    return (state.get("frame") or {}).get("title", "")


class Scenarios:
    def __init__(self, args, checks):
        self.args = args
        self.checks = checks
        self.screen = Screen(args.helper)
        self.work = os.path.join(args.build, "e2e-work")
        self.package = os.path.join(self.work, "package.kvpreset")
        self.saved = os.path.join(self.work, "saved.kvpreset")
        self.program = None

    # -- helpers -------------------------------------------------------------------------------------------------

    def click_tree_item(self, side, text):
        state = self.screen.wait(f"'{text}' in the {side} tree", lambda s: find_item(s, side, "tree", text))
        self.screen.click(centre(find_item(state, side, "tree", text)["rect"]))
        return self.screen.wait(f"'{text}' selected in the {side} tree",
                                lambda s: selected_texts(s, side, "tree") == [text])

    def expand_all(self, side, top_text):
        """Selects the tree's top item with the mouse and expands everything below it with the keypad's '*'."""
        self.click_tree_item(side, top_text)
        self.screen.keys("KP_Multiply")

    def preset_value(self, key, name):
        values = Registry.values(key) or {}
        return values.get(name)

    def check_inline(self, key, name, expected):
        value = self.preset_value(key, name)
        if self.checks.check(f"'{name}' is a REG_BINARY value", value is not None and value[0] == "REG_BINARY",
                             repr(value)[:200]):
            self.checks.check(f"'{name}' holds the expected bytes", value[1] == expected)

    def check_in_file(self, key, name, expected):
        value = self.preset_value(key, name)
        if not self.checks.check(f"'{name}' is a REG_SZ path", value is not None and value[0] == "REG_SZ",
                                 repr(value)[:200]):
            return None
        path = unix_path(value[1])
        exists = os.path.isfile(path)
        if self.checks.check(f"the data file of '{name}' exists", exists, path):
            with open(path, "rb") as data:
                self.checks.check(f"the data file of '{name}' holds the expected bytes", data.read() == expected)
        return path

    def check_absent(self, key, name):
        self.checks.check(f"'{name}' is not in the registry", self.preset_value(key, name) is None)

    def screenshot(self, name, rects):
        if not self.args.screenshots:
            return
        left = min(r[0] for r in rects)
        top = min(r[1] for r in rects)
        right = max(r[2] for r in rects)
        bottom = max(r[3] for r in rects)
        os.makedirs(self.args.screenshots, exist_ok=True)
        target = os.path.join(self.args.screenshots, name)
        run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage", target])
        print(f"wrote {target}", flush=True)

    # -- scenarios -----------------------------------------------------------------------------------------------

    def setup(self):
        self.checks.begin("setup")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        result = run(["wine", self.args.helper, "seed", windows_path(self.work)], check=False)
        self.checks.require("the store and the package are seeded", result.returncode == 0,
                            result.stderr.decode(errors="replace"))
        self.checks.require("the seeded package exists", os.path.isfile(self.package))

    def start(self):
        self.program = Program(self.args.program, [windows_path(self.package)])
        state = self.screen.wait("the frame with the package open",
                                 lambda s: s.get("frame") and "package.kvpreset" in title(s)
                                 and items(s, "package", "tree") and items(s, "system", "tree"), timeout=40)
        self.checks.require("the package tree is shown", bool(items(state, "package", "tree")))

    def copy_to_system(self):
        self.checks.begin("(a) Copy to System by keyboard")
        self.expand_all("package", "package.kvpreset")
        self.click_tree_item("package", "E2E Reverb")
        state = self.screen.wait("the package list showing the plug-in's presets",
                                 lambda s: sorted(texts(s, "package", "list")) == ["Cave", "Hall", "Spring"])
        self.screen.keys("ctrl+Tab")
        state = self.screen.wait("the focus in the package list", lambda s: s["frame"]["focus"] == 30)
        self.screen.keys("ctrl+a")
        state = self.screen.wait("every package row selected",
                                 lambda s: len(selected_texts(s, "package", "list")) == 3)
        self.screen.keys("alt+e", "s")
        state = self.screen.wait("the overwrite question", lambda s: s["dialogs"], timeout=15)
        dialog = state["dialogs"][0]
        controls = dialog["controls"]
        self.checks.check("the question names the existing preset",
                          any("The item E2E Reverb 'Hall' already exists on this computer." in c for c in controls),
                          repr(controls))
        for button in ["&Yes", "Yes to &All", "&No", "N&o to All", "Cancel"]:
            self.checks.check(f"the question has the button {button}", button in controls, repr(controls))
        self.screenshot("overwrite-question.png", [state["frame"]["rect"], dialog["rect"]])
        self.screen.keys("y")
        self.screen.wait("the question closed", lambda s: not s["dialogs"], timeout=15)
        self.check_inline(REVERB_KEY, "Hall", pattern(64, 11))
        self.cave_file = self.check_in_file(REVERB_KEY, "Cave", pattern(512, 12))
        self.check_inline(REVERB_KEY, "Spring", pattern(40, 13))
        self.check_in_file(REVERB_KEY, "Plate", pattern(300, 2))

    def undo(self):
        self.checks.begin("(b) Ctrl+Z")
        self.screen.keys("ctrl+z")
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and self.preset_value(REVERB_KEY, "Cave") is not None:
            time.sleep(0.3)
        self.check_absent(REVERB_KEY, "Cave")
        self.check_absent(REVERB_KEY, "Spring")
        if self.cave_file:
            self.checks.check("the copied preset's data file is removed", not os.path.exists(self.cave_file),
                              self.cave_file)
        self.check_inline(REVERB_KEY, "Hall", pattern(64, 1))
        self.check_in_file(REVERB_KEY, "Plate", pattern(300, 2))

    def drag_to_package_and_save(self):
        self.checks.begin("(c) drag to the package, Ctrl+S, Save dialog")
        self.screen.keys("ctrl+n")
        self.screen.wait("an untitled package", lambda s: "Untitled" in title(s))
        self.expand_all("system", "FX Plug-Ins")
        self.click_tree_item("system", "E2E Delay")
        state = self.screen.wait("the system list showing the delay's presets",
                                 lambda s: find_item(s, "system", "list", "Slapback"))
        row = find_item(state, "system", "list", "Slapback")
        self.screen.click(centre(row["rect"]))
        state = self.screen.wait("'Slapback' the only selected row",
                                 lambda s: selected_texts(s, "system", "list") == ["Slapback"])
        target = centre(state["package"]["list"]["rect"])
        self.screen.press_and_move(centre(row["rect"]), target)
        self.screen.release()
        state = self.screen.wait("the package tree following the drop",
                                 lambda s: selected_texts(s, "package", "tree") == ["E2E Delay"])
        self.checks.check("the package list shows the dropped preset",
                          texts(state, "package", "list") == ["Slapback"], repr(texts(state, "package", "list")))
        self.checks.check("the title marks the package modified", "*" in title(state), title(state))
        self.screen.keys("ctrl+s")
        state = self.screen.wait("the Save dialog", lambda s: s["dialogs"], timeout=15)
        self.screen.type_text(windows_path(self.saved))
        self.screen.keys("Return")
        state = self.screen.wait("the title naming the saved package",
                                 lambda s: not s["dialogs"] and "saved.kvpreset" in title(s))
        self.checks.check("the title is clean after saving", "*" not in title(state), title(state))
        self.checks.require("the package file was written", os.path.isfile(self.saved))
        dump = run(["wine", self.args.cli, "dump", windows_path(self.saved)])
        package = json.loads(dump.stdout.decode("utf-8"))
        plugins = package.get("plugins", [])
        self.checks.check("the package holds one plug-in", len(plugins) == 1, repr(plugins)[:300])
        if plugins:
            self.checks.check("the plug-in is the delay", plugins[0].get("classId") == DELAY_CLASS)
            presets = plugins[0].get("presets", [])
            self.checks.check("the plug-in holds one preset", len(presets) == 1, repr(presets))
            if presets:
                self.checks.check("the preset is 'Slapback'", presets[0].get("name") == "Slapback")
                self.checks.check("the preset's data are the store's",
                                  presets[0].get("sha256") == hashlib.sha256(pattern(400, 4)).hexdigest())

    def rename(self):
        self.checks.begin("(d) F2 rename in the system list")
        state = self.screen.wait("'Echo' in the system list", lambda s: find_item(s, "system", "list", "Echo"))
        self.screen.click(centre(find_item(state, "system", "list", "Echo")["rect"]))
        self.screen.wait("'Echo' selected", lambda s: selected_texts(s, "system", "list") == ["Echo"])
        self.screen.keys("F2")
        time.sleep(0.3)
        self.screen.type_text("Echo Renamed")
        self.screen.keys("Return")
        state = self.screen.wait("the renamed row", lambda s: find_item(s, "system", "list", "Echo Renamed"))
        self.check_inline(DELAY_KEY, "Echo Renamed", pattern(32, 3))
        self.check_absent(DELAY_KEY, "Echo")

    def cancelled_drag(self):
        self.checks.begin("(e) Escape during a drag of several rows")
        state = self.screen.probe()
        first = find_item(state, "system", "list", "Slapback")
        self.screen.click(centre(first["rect"]))
        self.screen.keys("ctrl+a")
        state = self.screen.wait("every system row selected", lambda s: len(selected_texts(s, "system", "list")) == 3)
        before = texts(state, "package", "list")
        target = centre(state["package"]["list"]["rect"])
        self.screen.press_and_move(centre(first["rect"]), target)
        self.screenshot("multi-row-drag.png", [state["frame"]["rect"]])
        self.screen.keys("Escape")
        self.screen.release()
        state = self.screen.probe()
        self.checks.check("the package list is unchanged", texts(state, "package", "list") == before,
                          repr(texts(state, "package", "list")))
        self.checks.check("the package is not modified", "*" not in title(state), title(state))

    def question(self, fact):
        """Waits for the unsaved-changes question and checks its text."""
        state = self.screen.wait(fact, lambda s: s.get("dialogs"), timeout=15)
        controls = state["dialogs"][0]["controls"]
        self.checks.check(fact, any("Do you want to save changes to Untitled?" in c for c in controls), repr(controls))

    def recent_file_cancelled(self):
        self.checks.begin("(f) Alt+E, F; File > 1 with changes, Cancel")
        self.screen.keys("ctrl+n")
        state = self.screen.wait("an untitled package", lambda s: title(s).endswith("- Untitled"))
        self.screen.click(centre(find_item(state, "system", "list", "Tape")["rect"]))
        self.screen.wait("'Tape' the only selected row", lambda s: selected_texts(s, "system", "list") == ["Tape"])
        self.screen.keys("alt+e", "f")
        self.screen.wait("the copy in the package", lambda s: title(s).endswith("Untitled*"))
        self.expand_all("package", "Untitled")
        self.screen.wait("the copied plug-in in the package tree", lambda s: find_item(s, "package", "tree", "E2E Delay"))
        self.screen.keys("alt+f", "1")
        self.question("File > 1 asks about the unsaved changes")
        self.screen.keys("Escape")
        state = self.screen.wait("the question closed", lambda s: not s["dialogs"], timeout=15)
        self.checks.check("the changes are kept", title(state).endswith("Untitled*"), title(state))

    def close_save_cancelled(self):
        self.checks.begin("(g) File > Exit with changes: Yes, Escape in the Save dialog")
        self.screen.keys("alt+f", "x")
        self.question("closing asks about the unsaved changes")
        self.screen.keys("y")
        state = self.screen.wait("the Save dialog",
                                 lambda s: s.get("dialogs") and s["dialogs"][0]["title"] == "Save Preset Package", timeout=15)
        self.screen.keys("Escape")
        state = self.screen.wait("the Save dialog closed, the window still there",
                                 lambda s: s.get("frame") and not s["dialogs"], timeout=15)
        self.checks.check("the changes are kept", title(state).endswith("Untitled*"), title(state))
        self.checks.check("the package still holds the copy", find_item(state, "package", "tree", "E2E Delay") is not None)

    def second_start(self):
        self.checks.begin("(h) a second start with a package")
        second = Program(self.args.program, [os.path.basename(self.package)], cwd=self.work)
        try:
            self.question("the first window asks about the unsaved changes")
            self.screen.keys("n")
            self.screen.wait("the handed package open in the first window",
                             lambda s: not s["dialogs"] and title(s).endswith("- package.kvpreset"))
            code = second.wait_exit(20)
            self.checks.check("the second start ends with 0", code == 0, f"exit code {code}")
        finally:
            second.kill()

    def close(self):
        self.checks.begin("closing")
        self.screen.keys("alt+f", "x")
        code = self.program.wait_exit(20)
        self.checks.check("the program ends after File, Exit", code == 0, f"exit code {code}")

    def run(self):
        try:
            self.setup()
            self.start()
            for scenario in (self.copy_to_system, self.undo, self.drag_to_package_and_save, self.rename,
                             self.cancelled_drag, self.recent_file_cancelled, self.close_save_cancelled,
                             self.second_start, self.close):
                scenario()
        except (Failure, subprocess.TimeoutExpired) as failure:
            self.checks.failures.append(str(failure))
            print("STOPPED " + str(failure), flush=True)
        finally:
            if self.program:
                self.program.kill()
            run(["wine", self.args.helper, "clean"], check=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--screenshots", help="folder for the two screenshots (overwrite question, drag)")
    args = parser.parse_args()
    for tool in ("xdotool", "wine"):
        if not shutil.which(tool):
            print(f"{tool} is needed (tools/common.sh installs it)", file=sys.stderr)
            return 1
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: run the tests with test.sh", file=sys.stderr)
        return 1
    checks = Checks()
    Scenarios(args, checks).run()
    print(f"{checks.passed} facts held, {len(checks.failures)} failed", flush=True)
    for failure in checks.failures:
        print("  " + failure)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
