#!/usr/bin/env python3
"""The tables of bench/run.sh. Each DIR holds one engine's samples.txt, one "ROUND FIGURE PROGRAM VALUE"
a line, VALUE in ms, in kB for memory, a count for headings, or "failed", and its about.txt: the
engine's name, then a line on the run. Round 0 is the warm-up and is left out. Each cell is the
median [min-max] of the other rounds; the ratios are of the medians. A figure taken while another
process of the same engine ran (FIGURE "memory_shared" or "morning_shared") is counted but left out.
For each engine, the program against the others first, then the program against itself with the
page's accessibility off and while a screen reader listens; with more than one DIR, the medians of
start-up, the morning's start and memory of each engine against the first one's.
    bench/table.py DIR [DIR ...]"""
import os
import statistics
import sys

FIGURES = [  # name, label, unit
    ("startup", "Start-up to page loaded (program: less 2000 ms pause)", "ms"),
    ("first", "Start-up to the first page's image (program: its POST's)", "ms"),
    ("morning", "Morning start: the same, page cache dropped just before", "ms"),
    ("memory", "Memory: PSS of the process tree, 3 s after", "MB"),
    ("memory10", "Memory: the same 10 s after", "MB"),
    ("f2_probe", "F2, primary gateway refused: to probe of secondary", "ms"),
    ("f2_page", "F2, primary gateway refused: to secondary's page", "ms"),
    ("f5_page", "F5: to request of the portal page", "ms"),
    ("f5_reload", "F5: to the reload, less its 1000 ms pause", "ms"),
    ("refresh", "Refresh click: to its message on screen", "ms"),
    ("hung_forms", "Formulieren from a page in for(;;){}: to its request", "ms"),
]
# Each table: its columns (program, heading), its ratios (program, against, heading), and the programs
# whose figures give it a row.
TABLES = [
    ([("ours", "program"), ("bare", "bare"), ("chromium", "Chromium")],
     [("ours", "bare", "prog/bare"), ("ours", "chromium", "prog/Chromium")],
     ["ours", "bare", "chromium"]),
    ([("ours", "program"), ("ours_noa11y", "prog, page a11y off"), ("ours_at", "prog, screen reader")],
     [("ours", "ours_noa11y", "prog/a11y off"), ("ours_at", "ours", "reader/prog")],
     ["ours_noa11y", "ours_at"]),
]


# The figures compared between engines.
ACROSS = ["startup", "first", "morning", "memory", "memory10"]


def read(path):
    """values, failed and shared counts, the rounds counted and the growth figures of a samples file."""
    values, failed, shared, counted = {}, {}, {}, set()
    growth = {}
    for line in open(path):
        round_, figure, program, value = line.split()
        if round_ in ("growth", "frames"):
            growth[round_ + " " + figure] = None if value == "failed" else int(value)
            continue
        if round_ == "0":
            continue
        counted.add(round_)
        if figure.endswith("_shared"):
            figure = figure[:-len("_shared")]
            shared[figure, program] = shared.get((figure, program), 0) + 1
        elif value == "failed":
            failed[figure, program] = failed.get((figure, program), 0) + 1
        else:
            number = int(value) / 1024 if figure.startswith("memory") else int(value)
            values.setdefault((figure, program), []).append(number)
    return values, failed, shared, counted, growth


def number(value, unit):
    return ("{:.0f}" if unit == "ms" else "{:.1f}").format(value)


def print_rows(rows):
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]))]
    for i, row in enumerate(rows):
        print("  ".join(text.ljust(width) for text, width in zip(row, widths)).rstrip())
        if i == 0:
            print("  ".join("-" * width for width in widths))


def engine(values, failed, shared, counted, growth):
    def cell(figure, program, unit):
        got = values.get((figure, program))
        text = ""
        if got:
            text = "{} [{}-{}]".format(number(statistics.median(got), unit), number(min(got), unit),
                                       number(max(got), unit))
        text = text or "-"
        if failed.get((figure, program)):
            text += " ({} failed)".format(failed[figure, program])
        if shared.get((figure, program)):
            text += " ({} shared)".format(shared[figure, program])
        return text

    def ratio(figure, program, other):
        mine, theirs = values.get((figure, program)), values.get((figure, other))
        if not mine or not theirs or statistics.median(theirs) <= 0:
            return "-"
        return "{:.2f}".format(statistics.median(mine) / statistics.median(theirs))

    def measured(figure, program):
        return any((figure, program) in found for found in (values, failed, shared))

    printed = False
    for columns, ratios, row_programs in TABLES:
        rows = [["figure (median [min-max] of {} rounds)".format(len(counted)), "unit"] +
                [heading for _, heading in columns] + [heading for _, _, heading in ratios]]
        for figure, label, unit in FIGURES:
            if any(measured(figure, p) for p in row_programs):
                rows.append([label, unit] + [cell(figure, p, unit) for p, _ in columns] +
                            [ratio(figure, p, other) for p, other, _ in ratios])
        if len(rows) == 1:
            continue
        if printed:
            print()
        printed = True
        print_rows(rows)

    if shared:
        print("shared: taken while another process of the same Qt WebEngine ran (a test, say), which lowers the "
              "PSS and keeps the engine's files in the page cache; left out of the median")
    headings = values.get(("headings", "ours_at"))
    if headings:
        print("Headings the screen reader found in the program's tree, once a round after the memory: "
              "{:.0f} [{}-{}]".format(statistics.median(headings), min(headings), max(headings)))

    if growth:
        print()
        first, after, settled = growth.get("growth first"), growth.get("growth after"), growth.get("growth settled")
        if first and after:
            print("Growth of the program (one run): PSS {:.1f} MB after the page first loaded, {:.1f} MB 3 s after "
                  "{} F5 and {} popups: {:+.1f} %".format(first / 1024, after / 1024, growth.get("growth reloads", 0),
                                                         growth.get("growth popups", 0), (after - first) * 100 / first))
            if settled:
                print("  and {:.1f} MB 10 s after: {:+.1f} %".format(settled / 1024, (settled - first) * 100 / first))
            if growth.get("growth shared"):
                print("  (some of these taken while another process of the same Qt WebEngine ran: they read low)")
        else:
            print("Growth of the program: failed ({} reloads and {} popups done)".format(
                growth.get("growth reloads", 0), growth.get("growth popups", 0)))
        before, with_, left = growth.get("frames before"), growth.get("frames with"), growth.get("frames left")
        if before and with_ and left:
            print("A page of 10,000 frames (one run): the program's own process (RSS) {:.1f} MB on its page, {:.1f} MB "
                  "with that page, {:.1f} MB 10 s after Home left it: {:+.1f} %".format(
                      before / 1024, with_ / 1024, left / 1024, (left - before) * 100 / before))
            print("  Home's POST at the stand-in {} ms after the click 0.3 s into that page's load, {} ms once it "
                  "had loaded".format(growth.get("frames home_loading", "-"), growth.get("frames home_loaded", "-")))
        elif any(key.startswith("frames") for key in growth):
            print("A page of 10,000 frames: failed")


def main(dirs):
    engines = []
    for directory in dirs:
        about = open(os.path.join(directory, "about.txt")).read().splitlines()
        engines.append((about[0] if about else directory, read(os.path.join(directory, "samples.txt"))))
        if engines[1:]:
            print()
        print(engines[-1][0])
        print("=" * len(engines[-1][0]))
        for line in about[1:]:
            print(line)
        print()
        engine(*engines[-1][1])

    if len(engines) < 2:
        return
    (first_name, first), others = engines[0], engines[1:]
    for name, other in others:
        this, that = name.split(":")[0], first_name.split(":")[0]
        heading = "{} against {}: the medians above, {} -> {} (ratio)".format(this, that, that, this)
        print()
        print(heading)
        print("=" * len(heading))
        columns = TABLES[0][0]
        rows = [["figure", "unit"] + [heading for _, heading in columns]]
        for figure, label, unit in FIGURES:
            if figure not in ACROSS:
                continue
            row = [label, unit]
            for program, _ in columns:
                mine, theirs = other[0].get((figure, program)), first[0].get((figure, program))
                if mine and theirs:
                    m, t = statistics.median(mine), statistics.median(theirs)
                    row.append("{} -> {} ({})".format(number(t, unit), number(m, unit),
                                                     "{:.2f}".format(m / t) if t > 0 else "-"))
                else:
                    row.append("-")
            rows.append(row)
        print_rows(rows)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
