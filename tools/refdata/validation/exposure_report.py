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
MATRIX_SEED = 20261208


def load(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def couch_cm(row):
    return row["CouchEquivalentThickness"]


def copper_mm(row):
    # val_cu<mm>_couch<cm>.kvx2
    return float(row["Device"].split("_")[1][2:])


def percent(value):
    return "—" if value is None else f"{value:+.1f} %"


def matrix_table(rows):
    print("| kV | Cu mm | side cm | FSD cm | couch cm | T | couch model | simulation | u (sim) "
          "| legacy | legacy/sim − 1 | validated | validated/sim − 1 | U (k = 2) |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(f"| {r['TubeVoltage']:.0f} | {copper_mm(r):.1f} | {r['Size']:.0f} "
              f"| {r['FocusSkinDistance']:.0f} | {couch_cm(r):.1f} | {r['CouchTransmission']:.3f} "
              f"| {r['Couch']} | {r['SimulationRatio']:.4f} "
              f"| {100 * r['SimulationUncertainty']:.2f} % "
              f"| {r['LegacyEngineRatio']:.4f} | {percent(r['LegacyDifferencePercent'])} "
              f"| {r['EngineRatio']:.4f} | {percent(r['DifferencePercent'])} "
              f"| ± {100 * r['SkinDoseUncertainty']:.1f} % |")


def surface_table(rows):
    print("| kV | side cm | FSD cm | couch cm | surface scatter from the backscatter kernel "
          "| straight line through layers 1, 2 | parabola through layers 1, 2, 3 |")
    print("|---|---|---|---|---|---|---|")
    for r in rows:
        if r["Couch"] != "tissue":
            continue
        print(f"| {r['TubeVoltage']:.0f} | {r['Size']:.0f} | {r['FocusSkinDistance']:.0f} "
              f"| {couch_cm(r):.1f} | {percent(r['DifferencePercent'])} "
              f"| {percent(r.get('SurfaceScatterLineDifferencePercent'))} "
              f"| {percent(r.get('SurfaceScatterParabolaDifferencePercent'))} |")


def statistics_line(label, values):
    rms = math.sqrt(statistics.mean(v * v for v in values))
    print(f"| {label} | {min(values):+.2f} % | {max(values):+.2f} % "
          f"| {statistics.mean(values):+.2f} % | {statistics.stdev(values):.2f} % | {rms:.2f} % |")


def summary(rows):
    print("| couch model, engine | min | max | mean | sd | rms |")
    print("|---|---|---|---|---|---|")
    for couch in ("tissue", "carbon"):
        sel = [r for r in rows if r["Couch"] == couch]
        statistics_line(f"{couch}, legacy", [r["LegacyDifferencePercent"] for r in sel])
        statistics_line(f"{couch}, validated", [r["DifferencePercent"] for r in sel])
        if couch == "tissue":
            for key, name in (("SurfaceScatterLineDifferencePercent", "straight line"),
                              ("SurfaceScatterParabolaDifferencePercent", "parabola")):
                statistics_line(f"{couch}, validated, surface scatter by a {name}",
                                [r[key] for r in sel])
    u = [100 * r["SimulationUncertainty"] for r in rows]
    h = [r["Histories"] for r in rows]
    big_u = [100 * r["SkinDoseUncertainty"] for r in rows]
    print(f"\nsimulation uncertainty max {max(u):.2f} % mean {statistics.mean(u):.2f} %, "
          f"histories {min(h)} .. {max(h)}; U (k = 2) {min(big_u):.1f} .. {max(big_u):.1f} %")


def diagnostics_table(rows):
    print("| shape | side cm | couch cm | disc r / t cm | beam | patient | simulation | u "
          "| legacy/sim − 1 | validated/sim − 1 |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        if r["Seed"] != MATRIX_SEED:
            continue
        print(f"| {r['Shape']} | {r['Size']:.0f} | {couch_cm(r):.1f} "
              f"| {r['DiscRadius']} / {r['DiscThickness']} "
              f"| {r['Beam']} | {r['Patient']} | {r['SimulationRatio']:.4f} "
              f"| {100 * r['SimulationUncertainty']:.2f} % "
              f"| {r['LegacyDifferencePercent']:+.2f} % | {r['DifferencePercent']:+.2f} % |")
    seeds = [r for r in rows if r["Seed"] != MATRIX_SEED]
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
    keys = [("LegacyDifferencePercent", "legacy formula / simulation"),
            ("DifferencePercent", "validated model / simulation")]
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
            if row_index == 1:
                for bound in (0.97, 1.03):
                    ax.axhline(bound, color="grey", lw=0.6, ls="--")
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
    surface_table(rows)
    print()
    if os.path.exists(os.path.join(HERE, "exposure_diagnostics.jsonl")):
        diagnostics_table(load("exposure_diagnostics.jsonl"))
    if "--no-plot" not in sys.argv:
        plot(rows, os.path.join(ROOT, "docs", "validation-matrix.png"))


if __name__ == "__main__":
    main()
