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


def largest_day_count(runs):
    counts = [int(m.group(1)) for n in runs if (m := re.match(r"DayChange/(\d+)/", n))]
    return max(counts) if counts else 0


def checks(runs):
    big = largest_day_count(runs)
    out = []

    def figure(name, counter=None):
        b = runs.get(name)
        if b is None:
            return None
        return b.get(counter) if counter else median_ms(b)

    def ratio(label, name, ref, limit):
        a, r = figure(name), figure(ref)
        if a is not None and r:
            out.append((label, f"{a:.2f} ms", f"{r:.2f} ms", f"{a / r:.2f}x", f"<= {limit}x", a / r <= limit))

    def over_floor(label, name, floor, limit):
        a, r = figure(name), figure(floor)
        if a is not None and r is not None:
            out.append((label, f"{a - r:.2f} ms", f"{r:.2f} ms", "", f"< {limit} ms", a - r < limit))

    def info(label, name, ref):
        a, r = figure(name), figure(ref)
        if a is not None and r:
            out.append((label, f"{a:.2f} ms", f"{r:.2f} ms", f"{a / r:.2f}x", "", None))

    def below(label, name, limit, unit="ms", counter=None, ref=None):
        a = figure(name, counter)
        if a is None:
            return
        r = figure(ref) if ref else None
        out.append((label, f"{a:.2f} {unit}", f"{r:.2f} ms" if r is not None else "", "", f"< {limit} {unit}", a < limit))

    for medium in ("disk", "memory"):
        ratio(f"Day change {big} vs 10 days ({medium})", f"DayChange/{big}/{medium}", f"DayChange/10/{medium}", 1.2)
    below(f"Day change {big} days (disk; ref = floor)", f"DayChange/{big}/disk", 5, ref=f"DayChangeFloor/{big}/disk")
    over_floor(f"Day change {big} days above its floor (disk)", f"DayChange/{big}/disk", f"DayChangeFloor/{big}/disk", 5)
    for days in (10, big):
        below(f"Day change {days} days (memory; ref = floor)", f"DayChange/{days}/memory", 5,
              ref=f"DayChangeFloor/{days}/memory")
    ratio("Start-up vs minimal Qt program (one line of text)", "Startup/ledgerly", "Startup/minimal_qt", 3)
    info("Start-up vs blank Qt window (no text, no fonts)", "Startup/ledgerly", "Startup/minimal_qt_blank")
    below("Peak RSS at start-up", "Startup/ledgerly", 80, "MB", "peak_rss_MB")
    walk = next((n for n in runs if n.startswith("PeakMemory/walk")), None)
    if walk:
        below(f"Peak RSS after {walk.split('walk')[-1]} days", walk, 80, "MB", "rss_walked_MB")
    below("Print worst-case day to PDF", "PrintDay/8providers", 150)
    ratio("Back-up vs cp", "Backup/backup", "Backup/cp", 2)
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
    for name, b in runs.items():
        extra = ", ".join(f"{k} {b[k]:.2f}" for k in ("p90_ms", "peak_rss_MB", "rss_shown_MB", "rss_walked_MB",
                                                     "db_MB", "pdf_kB") if k in b)
        rows.append((name, f"{median_ms(b):.3f} ms", extra))
    print(table(rows, ("benchmark", "median", "also")))
    print()
    results = [(c[0], c[1], c[2], c[3], c[4], "" if c[5] is None else "pass" if c[5] else "MISS") for c in checks(runs)]
    if results:
        print(table(results, ("check", "figure", "reference", "ratio", "target", "result")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
