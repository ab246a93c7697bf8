#!/usr/bin/python3
"""Table and plot of the exposure validation matrix (exposure_matrix.sh).

Reads exposure_matrix.jsonl and exposure_diagnostics.jsonl beside this script, prints the
Markdown tables used in docs/validation.md and writes docs/validation-matrix.png.
Needs python3-matplotlib (Debian); nothing in the build or the tests does.

    /usr/bin/python3 tools/refdata/validation/exposure_report.py
"""
import json
import math
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))


def load(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def couch_cm(row):
    return row["CouchEquivalentThickness"]


def copper_mm(row):
    # val_cu<mm>_couch<cm>.kvx2
    return float(row["Device"].split("_")[1][2:])


def matrix_table(rows):
    print("| kV | Cu mm | side cm | FSD cm | couch cm | couch model | engine | simulation "
          "| u (sim) | engine/sim − 1 | × (d_ref/FSD)² | also ÷ T |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(f"| {r['TubeVoltage']:.0f} | {copper_mm(r):.1f} | {r['Size']:.0f} "
              f"| {r['FocusSkinDistance']:.0f} | {couch_cm(r):.1f} | {r['Couch']} "
              f"| {r['EngineRatio']:.4f} | {r['SimulationRatio']:.4f} "
              f"| {100 * r['SimulationUncertainty']:.2f} % "
              f"| {r['DifferencePercent']:+.1f} % "
              f"| {r['DistanceCorrectedDifferencePercent']:+.1f} % "
              f"| {r['DistanceAndCouchCorrectedDifferencePercent']:+.1f} % |")


def summary(rows):
    for model in ("tissue", "carbon"):
        sel = [r for r in rows if r["Couch"] == model]
        for key in ("DifferencePercent", "DistanceCorrectedDifferencePercent",
                    "DistanceAndCouchCorrectedDifferencePercent"):
            v = [r[key] for r in sel]
            print(f"{model:7s} {key:45s} mean {statistics.mean(v):+6.2f} % "
                  f"sd {statistics.stdev(v):5.2f} % min {min(v):+6.2f} % max {max(v):+6.2f} %")
        u = [100 * r["SimulationUncertainty"] for r in sel]
        h = [r["Histories"] for r in sel]
        print(f"{model:7s} uncertainty max {max(u):.2f} % mean {statistics.mean(u):.2f} %, "
              f"histories {min(h)} .. {max(h)}")


def diagnostics_table(rows):
    print("| shape | side cm | couch cm | disc r / t cm | beam | patient | engine | simulation | u "
          "| engine/sim − 1 | × (d_ref/FSD)² ÷ T |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        if r["Seed"] != 20261208:
            continue
        print(f"| {r['Shape']} | {r['Size']:.0f} | {couch_cm(r):.1f} "
              f"| {r['DiscRadius']} / {r['DiscThickness']} "
              f"| {r['Beam']} | {r['Patient']} | {r['EngineRatio']:.4f} | {r['SimulationRatio']:.4f} "
              f"| {100 * r['SimulationUncertainty']:.2f} % | {r['DifferencePercent']:+.2f} % "
              f"| {r['DistanceAndCouchCorrectedDifferencePercent']:+.2f} % |")
    seeds = [r for r in rows if r["Seed"] != 20261208]
    if seeds:
        values = [r["SimulationRatio"] for r in seeds]
        mean_u = statistics.mean(r["SimulationUncertainty"] * r["SimulationRatio"] for r in seeds)
        print(f"\n{len(seeds)} seeds: spread (sd) {statistics.stdev(values):.5f}, mean batch "
              f"standard error {mean_u:.5f}, mean {statistics.mean(values):.5f}")


def plot(rows, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(2, 2, figsize=(10, 7.5), sharey="row")
    keys = [("DifferencePercent", "engine / simulation (as computed)"),
            ("DistanceAndCouchCorrectedDifferencePercent",
             "engine × (d_ref/FSD)² ÷ T / simulation")]
    colours = {60: "tab:blue", 80: "tab:green", 100: "tab:orange", 120: "tab:red"}
    for row_index, (key, label) in enumerate(keys):
        for col_index, (x_key, x_label) in enumerate(
                [("Size", "field side at the reference point (cm)"),
                 ("TubeVoltage", "tube voltage (kV)")]):
            ax = axes[row_index][col_index]
            for r in rows:
                ratio = 1 + r[key] / 100
                err = ratio * r["SimulationUncertainty"]
                offset = -0.6 if r["Couch"] == "tissue" else 0.6
                if x_key == "TubeVoltage":
                    offset *= 2
                ax.errorbar(r[x_key] + offset, ratio, yerr=err,
                            fmt="o" if r["Couch"] == "tissue" else "s",
                            color=colours[int(r["TubeVoltage"])],
                            mfc=colours[int(r["TubeVoltage"])] if r["Couch"] == "tissue"
                            else "white", ms=5, capsize=2)
            ax.axhline(1.0, color="grey", lw=0.8)
            ax.set_xlabel(x_label)
            if col_index == 0:
                ax.set_ylabel(label)
            ax.grid(alpha=0.3)
    handles = [plt.Line2D([], [], ls="", marker="o", color=c, label=f"{kv} kV")
               for kv, c in colours.items()]
    handles += [plt.Line2D([], [], ls="", marker="o", color="k", label="tissue couch"),
                plt.Line2D([], [], ls="", marker="s", color="k", mfc="white",
                           label="carbon-fibre couch + mattress")]
    fig.legend(handles=handles, loc="upper center", ncol=6, fontsize=8)
    fig.tight_layout(rect=(0, 0, 1, 0.95))
    tmp = path + ".tmp.png"
    fig.savefig(tmp, dpi=110)
    os.replace(tmp, path)


def main():
    rows = load("exposure_matrix.jsonl")
    matrix_table(rows)
    print()
    summary(rows)
    print()
    if os.path.exists(os.path.join(HERE, "exposure_diagnostics.jsonl")):
        diagnostics_table(load("exposure_diagnostics.jsonl"))
    if "--no-plot" not in sys.argv:
        plot(rows, os.path.join(ROOT, "docs", "validation-matrix.png"))


if __name__ == "__main__":
    main()
