#!/usr/bin/env python3
"""Prints the benchmark figures (Google Benchmark JSON files) as a short table,
each target beside the figure it is about."""

import json
import re
import sys


def load(paths):
    runs = {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" or b.get("error_occurred"):
                continue
            name = re.sub(r"/(iterations|real_time|manual_time|min_time|repeats).*$", "", b["name"])
            runs[name] = b
    return runs


def median_ms(b):
    if "median_ms" in b:
        return b["median_ms"]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b["real_time"] * scale


def checks(runs):
    out = []

    def counter(name, key):
        b = runs.get(name)
        return b.get(key) if b else None

    def ratio(label, a, r, limit=None):
        if a is not None and r:
            target = f"<= {limit}x" if limit else ""
            out.append((label, f"{a:.2f} ms", f"{r:.2f} ms", f"{a / r:.2f}x", target, a / r <= limit if limit else None))

    def below(label, a, limit, unit="ms", ref=None):
        if a is not None:
            shown = f"{ref:.2f} ms" if ref is not None else ""
            out.append((label, f"{a:.2f} {unit}", shown, "", f"< {limit} {unit}", a < limit))

    def above_floor(label, a, floor, limit):
        if a is not None and floor is not None:
            out.append((label, f"{a - floor:.2f} ms", f"{floor:.2f} ms", "", f"< {limit} ms", a - floor < limit))

    for medium in ("disk", "memory"):
        name = f"DayChange/{medium}"
        if name not in runs:
            continue
        big, small = int(counter(name, "large_days")), int(counter(name, "small_days"))
        large_ms, small_ms = counter(name, "large_median_ms"), counter(name, "small_median_ms")
        ratio(f"Day change {big} vs {small} days ({medium})", large_ms, small_ms, 1.2)
        below(f"Day change {big} days ({medium}; ref = floor)", large_ms, 5, ref=counter(name, "large_floor_median_ms"))
        if medium == "disk":
            above_floor(f"Day change {big} days above its floor (disk)", large_ms,
                        counter(name, "large_floor_median_ms"), 5)
        else:
            below(f"Day change {small} days ({medium}; ref = floor)", small_ms, 5,
                  ref=counter(name, "small_floor_median_ms"))
    if "DayChangeNoEdit/disk" in runs:
        name, big = "DayChangeNoEdit/disk", int(counter("DayChangeNoEdit/disk", "large_days"))
        no_edit = counter(name, "large_median_ms")
        ratio(f"Day change {big} days, no edit (disk) vs bare SQLite read", no_edit,
              counter(name, "large_read_floor_median_ms"))
        ratio(f"Day change {big} days, no edit (disk) vs the same in memory", no_edit,
              counter("DayChangeNoEdit/memory", "large_median_ms"), 1.5)
        days = int(counter(name, "walked_days"))
        for walk, limit, what in (("existing", 0, "with a record"), ("empty", 2, "without one")):
            writes, flushes = counter(name, f"{walk}_writes"), counter(name, f"{walk}_flushes")
            out.append((f"Walk {days} days {what}, no edit: writes per day (disk; ref = flushes)",
                        f"{writes / days:.2f}", f"{flushes:.0f} flushes", "", f"<= {limit}",
                        writes / days <= limit))
    ratio("Start-up vs minimal Qt program (one line of text)", counter("Startup", "median_ms"),
          counter("Startup", "minimal_median_ms"), 3)
    ratio("Start-up vs blank Qt window (no text, no fonts)", counter("Startup", "median_ms"),
          counter("Startup", "blank_median_ms"))
    below("Peak RSS at start-up", counter("Startup", "peak_rss_MB"), 80, "MB")
    walk = next((n for n in runs if n.startswith("PeakMemory/walk")), None)
    if walk:
        below(f"Peak RSS after {walk.split('walk')[-1]} days", counter(walk, "rss_walked_MB"), 80, "MB")
    below("Print worst-case day to PDF", counter("PrintDay/8providers", "median_ms"), 150)
    ratio("Back-up vs cp", counter("Backup", "median_ms"), counter("Backup", "cp_median_ms"), 2)
    for query in ("oneClient", "manyClients", "noMatch"):
        name = f"FindCommand/{query}"
        below(f"ledgerly find, {query} (ref = process start)", counter(name, "median_ms"), 300,
              ref=counter(name, "start_floor_median_ms"))
        read = counter(name, "read_floor_median_ms")
        if read is not None:
            out.append((f"ledgerly find, {query}: floor, bare SQLite read of its days", f"{read:.2f} ms", "", "", "",
                        None))
        below(f"Peak RSS of ledgerly find, {query}", counter(name, "peak_rss_MB"), 80, "MB")
    below("Find panel opens", counter("FindPanel/open", "median_ms"), 50)
    below("Find panel answers a keystroke", counter("FindPanel/open", "keystroke_median_ms"), 20)
    rare = counter("FindPanel/open", "rare_short_text_median_ms")
    if rare is not None:
        out.append(("Find panel answers a letter no name holds", f"{rare:.2f} ms", "", "", "", None))
    ratio("Save of a full day vs a bare UPDATE of it", counter("Save/worstCase", "median_ms"),
          counter("Save/worstCase", "floor_median_ms"))
    for medium in ("disk", "memory"):
        ratio(f"Save with history vs without ({medium})", counter(f"SaveHistory/{medium}", "with_median_ms"),
              counter(f"SaveHistory/{medium}", "without_median_ms"), 1.2)
    return out


def table(rows, header):
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
    lines = ["  ".join(str(c).ljust(w) for c, w in zip(header, widths))]
    lines.append("  ".join("-" * w for w in widths))
    for r in rows:
        lines.append("  ".join(str(c).ljust(w) for c, w in zip(r, widths)))
    return "\n".join(lines)


def main():
    runs = load(sys.argv[1:])
    if not runs:
        print("no benchmark results")
        return 1
    rows = []
    skip = {"median_ms", "small_days", "large_days"}
    for name, b in runs.items():
        extra = ", ".join(f"{k} {v:.2f}" for k, v in b.items()
                          if k not in skip and (k == "p90_ms" or k.endswith("_median_ms") or k.endswith("_MB") or k.endswith("_kB")))
        rows.append((name, f"{median_ms(b):.3f} ms", extra))
    print(table(rows, ("benchmark", "median", "also")))
    print()
    results = [(c[0], c[1], c[2], c[3], c[4], "" if c[5] is None else "pass" if c[5] else "MISS") for c in checks(runs)]
    if results:
        print(table(results, ("check", "figure", "reference", "ratio", "target", "result")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
