#!/usr/bin/env python3
"""Reads Google Benchmark JSON output of cwbase_bench and prints the median
throughput of every benchmark, then one line per comparison:

    ratio <case> <peer> <cwbase throughput / peer throughput>

Benchmarks are named "<group>/<implementation>"; medians are taken over the
repetitions' own runs (aggregate rows are ignored). A missing or failed
benchmark gives the ratio "nan"."""
import json
import re
import statistics
import sys
from collections import defaultdict

XML_PEERS = ["pugixml", "rapidxml", "tinyxml2", "libxml2"]
XML_KINDS = ("records", "text", "deep", "text-intl", "attrs")
TO_WIDE_PEERS = ["iconv", "utfcpp", "utfcpp-unchecked", "mbstowcs", "widen-loop"]
TO_UTF8_PEERS = ["iconv", "utfcpp", "utfcpp-unchecked", "wcstombs", "memcpy"]


def comparisons():
    """(case, cwbase benchmark, [peer benchmarks]) in the order printed."""
    out = []
    for op in ("load", "save"):
        for kind in XML_KINDS:
            group = f"xml-{op}-{kind}/"
            peers = [group + p for p in XML_PEERS]
            out.append((f"xml-{op}-8bit-{kind}", group + "cwbase-ascii", peers))
            # The other forms of the save run on the original three corpora only.
            if op == "load" or kind in XML_KINDS[:3]:
                out.append((f"xml-{op}-wide-{kind}", group + "cwbase-wide", peers))
            if op == "save" and kind in XML_KINDS[:3]:
                out.append((f"xml-save-8bit-fresh-{kind}", group + "cwbase-ascii-fresh", peers))
                out.append((f"xml-save-wide-fresh-{kind}", group + "cwbase-wide-fresh", peers))
    # The standard reader against pugixml and against the exact 8-bit reader.
    for kind in XML_KINDS:
        group = f"xml-load-standard-{kind}/"
        out.append((f"xml-load-standard-{kind}", group + "cwbase",
                    [group + "pugixml", f"xml-load-{kind}/cwbase-ascii"]))
    group = "xml-load-standard-text-mixed/"
    out.append(("xml-load-standard-text-mixed", group + "cwbase", [group + "pugixml"]))
    # The standard writer against pugixml's save and the exact 8-bit save.
    for kind in XML_KINDS:
        out.append((f"xml-save-standard-{kind}", f"xml-save-standard-{kind}/cwbase",
                    [f"xml-save-{kind}/pugixml", f"xml-save-{kind}/cwbase-ascii"]))
    out.append(("xml-build-records", "xml-build-records/cwbase", ["xml-build-records/pugixml"]))
    for query in ("descendants", "position", "parents", "children"):
        g = f"xml-path-{query}/"
        out.append((f"xml-path-{query}", g + "cwbase", [g + "pugixml"]))
    out.append(("http-parse", "http-parse/cwbase", ["http-parse/http-parser"]))
    # The standard reader against http-parser and against the exact parser,
    # fed whole and in 1,460-byte pieces, on plain and on chunked bodies.
    out.append(("http-read", "http-parse/cwbase-reader",
                ["http-parse/http-parser", "http-parse/cwbase"]))
    out.append(("http-read-1460", "http-parse/cwbase-reader-1460",
                ["http-parse/http-parser-1460", "http-parse/cwbase"]))
    out.append(("http-read-chunked", "http-chunked/cwbase-reader",
                ["http-chunked/http-parser", "http-chunked/cwbase"]))
    out.append(("http-read-chunked-1460", "http-chunked/cwbase-reader-1460",
                ["http-chunked/http-parser", "http-chunked/cwbase"]))
    for kind in ("ascii", "mixed"):
        g = f"utf8-to-wide-{kind}/"
        out.append((f"utf8-to-wide-{kind}", g + "cwbase", [g + p for p in TO_WIDE_PEERS]))
        out.append((f"utf8-to-wide-make-{kind}", g + "cwbase-make_unicode_string", [g + p for p in TO_WIDE_PEERS]))
        out.append((f"utf8-to-wide-locale-{kind}", g + "cwbase-MultiByteToWideChar",
                    [g + "mbstowcs", g + "iconv", g + "widen-loop"]))
    for kind in ("ascii", "mixed"):
        g = f"wide-to-utf8-{kind}/"
        out.append((f"wide-to-utf8-{kind}", g + "cwbase", [g + p for p in TO_UTF8_PEERS]))
        out.append((f"wide-to-utf8-make-{kind}", g + "cwbase-make_utf8_string", [g + p for p in TO_UTF8_PEERS]))
        # With its output limit the pair converts only a prefix of mixed text,
        # as wcstombs-limited does; iconv converts it all.
        out.append((f"wide-to-utf8-locale-{kind}", g + "cwbase-WideCharToMultiByte",
                    [g + "wcstombs-limited", g + "iconv"]))
    for size in ("1mib", "8mib"):
        g = f"block-append-{size}/"
        out.append((f"block-append-{size}", g + "cwbase", [g + "std-string"]))
    return out


def main(path):
    with open(path) as f:
        data = json.load(f)
    rates = defaultdict(list)
    counters = {}
    failed = set()
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate":
            continue
        # A benchmark with its own repetition count carries "/repeats:N".
        name = re.sub(r"/repeats:\d+$", "", b.get("run_name", b["name"]))
        if b.get("error_occurred"):
            failed.add(name)
            continue
        rates[name].append(b["bytes_per_second"])
        for key in ("elements", "headers"):
            if key in b:
                counters[name] = (key, int(b[key]))
    median = {name: statistics.median(v) for name, v in rates.items()}

    print(f"{'benchmark':48} {'median MB/s':>12}  runs  (MB = 10^6 bytes)")
    for name, v in rates.items():
        extra = f"  {counters[name][0]}={counters[name][1]}" if name in counters else ""
        print(f"{name:48} {median[name] / 1e6:12.1f}  {len(v)}{extra}")
    for name in sorted(failed):
        print(f"{name:48} {'failed':>12}")

    # Every implementation of a group must have read the same document.
    groups = defaultdict(set)
    for name, (key, value) in counters.items():
        groups[name.split("/")[0]].add((key, value))
    for group, values in sorted(groups.items()):
        if len(values) > 1:
            print(f"warning: {group}: implementations disagree on {sorted(values)}", file=sys.stderr)

    print()
    for case, ref, peers in comparisons():
        for peer in peers:
            if ref in median and peer in median and median[peer] > 0:
                value = f"{median[ref] / median[peer]:.3f}"
            else:
                value = "nan"
            print(f"ratio {case} {peer.split('/')[1]} {value}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: ratios.py RESULTS.json")
    main(sys.argv[1])
