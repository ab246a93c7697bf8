#!/usr/bin/env bash
# Validation of the table-top couch model against the full-exposure Monte Carlo of a
# carbon-fibre table top under a mattress. Writes, beside itself:
#   couch_matrix_engine.jsonl   the dose calculation (every couch model) for the 16
#                               exposures of exposure_matrix.jsonl, whose carbon-couch
#                               simulations (4 cm mattress) it reuses: same geometry, seed
#                               and histories give the same simulation
#   couch_second_set_simulation.jsonl, couch_second_set_engine.jsonl
#                               exposures off the couch-scatter table's grid (voltage,
#                               copper, field, transmission and mattress between its nodes)
#                               on table-top devices: simulated, and calculated
#
#   nice -n 19 tools/refdata/validation/couch_matrix.sh [path/to/korvex-refdata]
#
# Needs data/CouchScatter.dat (korvex-refdata couch-scatter, data/README.md).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
generator=${1:-$root/build/release/tools/refdata/korvex-refdata}
threads=${THREADS:-2}
seed=20261208
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/data/." "$work/"

# The matrix: the devices of exposure_matrix.sh, the engine alone.
for cu in 0 0.3 0.9; do
    for couch in 0.3 0.7 1.5; do
        "$generator" validation-device --name "val_cu${cu}_couch${couch}" --cu "$cu" \
            --couch-thickness "$couch" --workdir "$work" > /dev/null
    done
done
engine=$work/engine.jsonl
python3 - "$here/exposure_matrix.jsonl" > "$work/matrix_args" <<'EOF'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    d = json.loads(line)
    if d["Couch"] == "carbon":
        print(d["Device"], d["TubeVoltage"], d["Size"], d["FocusSkinDistance"])
EOF
while read -r device kv size fsd; do
    "$generator" compare --engine-only --workdir "$work" --device "$device" --kv "$kv" \
        --shape square --size "$size" --fsd "$fsd" --couch carbon >> "$engine"
done < "$work/matrix_args"
mv "$engine" "$here/couch_matrix_engine.jsonl"

# The second set: table-top devices and exposures between the table's nodes. The
# simulation (korvex-refdata exposure, each to a relative standard uncertainty of at most
# 0.5 %) and the dose calculation (compare --engine-only) are stored apart, so that a
# change of the engine or the table needs only the second again (ENGINE_ONLY=1).
simulated=$here/couch_second_set_simulation.jsonl
second=$work/second.jsonl
fresh=$work/second_simulation.jsonl
start=$(date +%s)
while read -r name cu couch mattress kv shape size fsd histories; do
    "$generator" validation-device --name "$name" --cu "$cu" --couch-thickness "$couch" \
        --couch-model table-top --mattress "$mattress" --workdir "$work" > /dev/null
    exposure=(--workdir "$work" --device "$name.kvx2" --kv "$kv" --shape "$shape" --size "$size"
              --fsd "$fsd" --couch carbon)
    "$generator" compare --engine-only "${exposure[@]}" >> "$second"
    [ "${ENGINE_ONLY:-0}" = 1 ] && continue
    for _ in 1 2 3; do
        line=$("$generator" exposure "${exposure[@]}" --threads "$threads" --seed "$seed" \
            --histories "$histories")
        more=$(echo "$line" | python3 -c '
import json, math, sys
d = json.load(sys.stdin)
u = d["SimulationUncertainty"]
print(0 if u <= 0.005 else int(math.ceil(d["Histories"] * (u / 0.0045) ** 2 / 1e6) * 1e6))')
        [ "$more" = 0 ] && break
        histories=$more
    done
    echo "$line" >> "$fresh"
done <<'EOF'
tt_a 0.1 0.5 3 70 square 8 60 6000000
tt_b 0.2 0.9 6 90 square 15 70 8000000
tt_c 0.6 1.2 8 100 square 30 58 10000000
tt_d 0.4 0.25 1.5 125 square 4 75 6000000
tt_e 0 0.8 7 65 square 18 62 8000000
tt_f 0.9 1.0 4.5 115 circle 10 68 6000000
tt_g 0.5 0.4 2.5 55 square 12 72 6000000
tt_h 0.15 1.4 3.5 85 square 35 66 10000000
EOF
echo "second set: $(($(date +%s) - start)) s wall" >&2
mv "$second" "$here/couch_second_set_engine.jsonl"
if [ "${ENGINE_ONLY:-0}" != 1 ]; then
    mv "$fresh" "$simulated"
fi
