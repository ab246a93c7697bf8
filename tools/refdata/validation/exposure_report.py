#!/usr/bin/python3
"""Table and plot of the exposure validation matrix (exposure_matrix.sh, couch_matrix.sh).

Reads exposure_matrix.jsonl, exposure_diagnostics.jsonl, couch_matrix_engine.jsonl and
couch_second_set_{simulation,engine}.jsonl beside this script, prints the Markdown tables used in
docs/validation.md and writes docs/validation-matrix.png.
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


def summary(rows, second):
    print("| couch model, engine | min | max | mean | sd | rms |")
    print("|---|---|---|---|---|---|")
    for couch in ("tissue", "carbon"):
        sel = [r for r in rows if r["Couch"] == couch]
        statistics_line(f"{couch}, legacy", [r["LegacyDifferencePercent"] for r in sel])
        statistics_line(f"{couch}, validated", [r["DifferencePercent"] for r in sel])
        if couch == "carbon":
            statistics_line(f"{couch}, validated, table top",
                            [r["TableTopDifferencePercent"] for r in sel])
        if couch == "tissue":
            for key, name in (("SurfaceScatterLineDifferencePercent", "straight line"),
                              ("SurfaceScatterParabolaDifferencePercent", "parabola")):
                statistics_line(f"{couch}, validated, surface scatter by a {name}",
                                [r[key] for r in sel])
    statistics_line("second set (table-top devices), validated, table top",
                    [r["TableTopDifferencePercent"] for r in second])
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


def key_of(r):
    return (r["Device"], r["TubeVoltage"], r["Size"], r["FocusSkinDistance"])


def add_table_top(rows, engine_rows):
    """The table-top model's engine ratio for each matrix exposure, against its simulation."""
    engine = {key_of(e): e for e in engine_rows}
    for r in rows:
        e = engine[key_of(r)]
        r["TableTopEngineRatio"] = e["TableTopEngineRatio"]
        r["CouchScatterRatioEngine"] = e["CouchScatterRatioEngine"]
        r["TableTopDifferencePercent"] = 100 * (e["TableTopEngineRatio"] / r["SimulationRatio"] - 1)


def second_set():
    """The second set's simulations with the dose calculation of the same exposures."""
    engine = {key_of(e): e for e in load("couch_second_set_engine.jsonl")}
    rows = []
    for r in load("couch_second_set_simulation.jsonl"):
        e = engine[key_of(r)]
        merged = dict(e)
        merged.update(r)
        merged["TableTopDifferencePercent"] = 100 * (e["EngineRatio"] / r["SimulationRatio"] - 1)
        rows.append(merged)
    return rows


def couch_table(rows, second):
    print("| set | kV | Cu mm | side cm | FSD cm | mattress cm | T | S_c (table) | S_c (sim) "
          "| simulation | u (sim) | layer/sim − 1 | table top/sim − 1 |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for name, sel in (("matrix", [r for r in rows if r["Couch"] == "carbon"]), ("second", second)):
        for r in sel:
            layer = r.get("LayerEngineRatio", r["EngineRatio"])
            print(f"| {name} | {r['TubeVoltage']:.0f} | {copper_of(r):.2f} | {r['Size']:.0f} "
                  f"{'□' if r['Shape'] == 'square' else '○'} "
                  f"| {r['FocusSkinDistance']:.0f} | {r.get('MattressThickness', 4.0):.1f} "
                  f"| {r['CouchTransmission']:.3f} | {r['CouchScatterRatioEngine']:.3f} "
                  f"| {sim_scatter(r)} | {r['SimulationRatio']:.4f} "
                  f"| {100 * r['SimulationUncertainty']:.2f} % "
                  f"| {100 * (layer / r['SimulationRatio'] - 1):+.1f} % "
                  f"| {r['TableTopDifferencePercent']:+.1f} % |")


def sim_scatter(r):
    # The first matrix runs did not yet score the couch's scatter apart.
    return f"{r['CouchScatterRatio']:.3f}" if "CouchScatterRatio" in r else "—"


def copper_of(r):
    if r["Device"].startswith("val_"):
        return copper_mm(r)
    return r["AddedCopper"]


def plot(rows, second, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(3, 2, figsize=(10, 10.5), sharey="row")
    for r in rows:
        r["LayerPercent"] = r.get("LayerDifferencePercent", r["DifferencePercent"])
    keys = [("LegacyDifferencePercent", "legacy formula / simulation"),
            ("LayerPercent", "validated, layer couch / simulation"),
            ("TableTopDifferencePercent", "validated, table top / simulation")]
    colours = {60: "tab:blue", 80: "tab:green", 100: "tab:orange", 120: "tab:red"}
    for row_index, (key, label) in enumerate(keys):
        for col_index, (x_key, x_label) in enumerate(
                [("Size", "field side at the reference point (cm)"),
                 ("TubeVoltage", "tube voltage (kV)")]):
            ax = axes[row_index][col_index]
            shown = rows if row_index < 2 else [r for r in rows if r["Couch"] == "carbon"]
            for r in shown:
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
            if row_index == 2:
                for r in second:
                    ratio = 1 + r[key] / 100
                    ax.errorbar(r[x_key], ratio, yerr=ratio * r["SimulationUncertainty"],
                                fmt="^", color="k", mfc="white", ms=6, capsize=2)
            ax.axhline(1.0, color="grey", lw=0.8)
            if row_index >= 1:
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
                           label="carbon-fibre couch + mattress"),
                plt.Line2D([], [], ls="", marker="^", color="k", mfc="white",
                           label="table top, off the table's grid")]
    fig.legend(handles=handles, loc="upper center", ncol=4, fontsize=8)
    fig.tight_layout(rect=(0, 0, 1, 0.94))
    tmp = path + ".tmp.png"
    fig.savefig(tmp, dpi=110)
    os.replace(tmp, path)


def main():
    rows = load("exposure_matrix.jsonl")
    add_table_top(rows, load("couch_matrix_engine.jsonl"))
    second = second_set()
    matrix_table(rows)
    print()
    summary(rows, second)
    print()
    couch_table(rows, second)
    print()
    surface_table(rows)
    print()
    if os.path.exists(os.path.join(HERE, "exposure_diagnostics.jsonl")):
        diagnostics_table(load("exposure_diagnostics.jsonl"))
    if "--no-plot" not in sys.argv:
        plot(rows, second, os.path.join(ROOT, "docs", "validation-matrix.png"))


if __name__ == "__main__":
    main()
