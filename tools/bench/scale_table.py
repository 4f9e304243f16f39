#!/usr/bin/env python3
"""Prints the scale table from scale_bench's STEP lines: the median of each step at each size, its growth against
the size ten times smaller (about 10 for a step that grows in a straight line; above 13 is flagged), the peak
memory, and the start-up peak against the presets held."""
import statistics
import sys
from collections import defaultdict

ORDER = ["package_read", "plain_read", "store_load", "fill_tree_and_list", "copy_to_file", "undo_copy_to_file",
         "save", "copy_to_system", "undo_copy_to_system", "startup"]
PRESET_BYTES = 64
FLAG = 13.0

times = defaultdict(list)
peaks = defaultdict(list)
startup_peaks = defaultdict(list)
clears = defaultdict(list)
for line in open(sys.argv[1]):
    parts = line.split()
    if parts[:1] == ["STEP"]:
        shape, n, step, ms, peak = parts[1], int(parts[2]), parts[3], float(parts[4]), float(parts[5])
        times[(shape, n, step)].append(ms)
        peaks[(shape, n, step)].append(peak)
    elif parts[:1] == ["CLEAR"]:
        clears[(parts[1], int(parts[2]))].append(float(parts[3]))
    elif parts[:1] == ["STARTUP_PEAK"]:
        startup_peaks[(parts[1], int(parts[2]))].append(float(parts[3]))

sizes = sorted({n for (_, n, _) in times if n > 0})
rounds = max((len(v) for v in times.values()), default=0)
flagged = 0
print("scale: medians of %d interleaved rounds, ms; growth = cost at n / cost at n/10 (flagged '!' above %.0f);"
      " peak = the process's peak working set after the step, MB" % (rounds, FLAG))
for shape, title in (("many", "plug-ins of 5 presets"), ("one", "one plug-in")):
    print("\n%s" % title)
    header = "  %-22s" % "step" + "".join("%12s" % ("n=%d" % n) for n in sizes)
    header += "".join("%10s" % ("x%d" % n) for n in sizes[1:]) + "%12s" % "peak MB"
    print(header)
    for step in ORDER:
        medians = [statistics.median(times[(shape, n, step)]) if times[(shape, n, step)] else None for n in sizes]
        if all(m is None for m in medians):
            continue
        row = "  %-22s" % step + "".join("%12.1f" % m if m is not None else "%12s" % "-" for m in medians)
        for i in range(1, len(sizes)):
            a, b = medians[i - 1], medians[i]
            if a and b is not None and sizes[i] == 10 * sizes[i - 1]:
                growth = b / a
                mark = "!" if growth > FLAG and step != "plain_read" else " "
                flagged += mark == "!"
                row += "%9.1f%s" % (growth, mark)
            else:
                row += "%10s" % "-"
        top = peaks[(shape, sizes[-1], step)]
        row += "%12.1f" % max(top) if top else ""
        print(row)

for shape in ("many", "one"):
    found = [(n, statistics.median(clears[(shape, n)])) for n in sizes if clears.get((shape, n))]
    if found:
        print("\nemptying the filled tree before the fill (not timed in it), %s: %s" % (
            shape, "   ".join("n=%d %.1f ms" % (n, ms) for n, ms in found)))

fixed = startup_peaks.get(("many", 0))
if fixed:
    fixed_mb = statistics.median(fixed)
    print("\nstart-up with an empty store and an empty package: peak %.1f MB (the fixed start-up amount)" % fixed_mb)
    for shape in ("many", "one"):
        for n in sizes:
            if startup_peaks.get((shape, n)):
                peak = max(startup_peaks[(shape, n)])
                held = 2 * n * PRESET_BYTES / (1024 * 1024)  # the store's n presets and the package's n
                print("  start-up, %-4s n=%-7d peak %7.1f MB; preset bytes held %6.1f MB; peak - fixed = %6.1f MB"
                      " = %.1fx the preset bytes (target <= 1.5x)"
                      % (shape, n, peak, held, peak - fixed_mb, (peak - fixed_mb) / held if held else 0))
print("\n%d growth ratio(s) above %.0f" % (flagged, FLAG))
