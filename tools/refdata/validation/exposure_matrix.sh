#!/usr/bin/env bash
# Validation matrix of the whole skin-dose estimate: the dose calculation against the
# full-exposure Monte Carlo (korvex-refdata compare) for 16 exposures x 2 couch models,
# and the runs that isolate single approximations. Writes, beside itself:
#   exposure_matrix.jsonl       one line per exposure and couch model
#   exposure_diagnostics.jsonl  scoring-disc halving, divergence, patient size, seeds
#
#   nice -n 19 tools/refdata/validation/exposure_matrix.sh [path/to/korvex-refdata]
#
# Design: tube voltage (60, 80, 100, 120 kV) x field side at the reference point (5, 10,
# 20, 25 cm) in full (each level 4 times); added copper (0, 0.3, 0.9 mm), focus-skin
# distance (55, 65, 80 cm) and couch-equivalent thickness (0.3, 0.7, 1.5 cm) assigned by
# (a + b), (a + 2b) and (2a + b) mod 3 of the two level indices a, b, so that each of
# their levels occurs 5 or 6 times and no pair of factors is confounded.
# Each run needs a relative standard uncertainty of at most 0.5 %: a run above 0.45 % is
# repeated with more histories (the same seed: the first histories are the same ones).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
generator=${1:-$root/build/release/tools/refdata/korvex-refdata}
threads=${THREADS:-2}
seed=20261208
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A working folder with the bundled reference data and the validation devices.
cp -r "$root/data/." "$work/"
kvs=(60 80 100 120)
sizes=(5 10 20 25)
coppers=(0 0.3 0.9)
fsds=(55 65 80)
couches=(0.3 0.7 1.5)
device_name() { echo "val_cu${1}_couch${2}"; }
for cu in "${coppers[@]}"; do
    for couch in "${couches[@]}"; do
        "$generator" validation-device --name "$(device_name "$cu" "$couch")" --cu "$cu" \
            --couch-thickness "$couch" --workdir "$work" > /dev/null
    done
done

# Runs one comparison; repeats it with enough histories when its uncertainty is too large.
compare() {
    local histories=$1
    shift
    local line
    for _ in 1 2 3; do
        line=$("$generator" compare --workdir "$work" --threads "$threads" --seed "$seed" \
            --histories "$histories" "$@")
        local more
        more=$(echo "$line" | python3 -c '
import json, math, sys
d = json.load(sys.stdin)
u = d["SimulationUncertainty"]
print(0 if u <= 0.0045 else int(math.ceil(d["Histories"] * (u / 0.004) ** 2 / 1e6) * 1e6))')
        if [ "$more" = 0 ]; then
            break
        fi
        histories=$more
    done
    echo "$line"
}

matrix=$work/matrix.jsonl
start=$(date +%s)
for a in 0 1 2 3; do
    for b in 0 1 2 3; do
        kv=${kvs[$a]}
        size=${sizes[$b]}
        cu=${coppers[$(((a + b) % 3))]}
        fsd=${fsds[$(((a + 2 * b) % 3))]}
        couch=${couches[$(((2 * a + b) % 3))]}
        histories=$((size >= 20 ? 8000000 : 5000000))
        for model in tissue carbon; do
            compare "$histories" --device "$(device_name "$cu" "$couch").kvx2" --kv "$kv" \
                --shape square --size "$size" --fsd "$fsd" --couch "$model" >> "$matrix"
        done
    done
done
echo "matrix: $(($(date +%s) - start)) s wall" >&2
mv "$matrix" "$here/exposure_matrix.jsonl.tmp" && mv "$here/exposure_matrix.jsonl.tmp" \
    "$here/exposure_matrix.jsonl"

diagnostics=$work/diagnostics.jsonl
start=$(date +%s)
device=$(device_name 0.3 0.7).kvx2
# The matrix's geometry, then without the patient's finite size, then also without
# divergence (parallel rays); and the scoring disc halved (radius 0.125 cm, thickness
# 0.005 cm), same seed.
for size in 5 10 20 25; do
    for variant in "divergent slab" "divergent large" "parallel large"; do
        set -- $variant
        compare 8000000 --device "$device" --kv 80 --shape square --size "$size" --fsd 65 \
            --couch tissue --beam "$1" --patient "$2" >> "$diagnostics"
    done
done
for size in 5 25; do
    compare 8000000 --device "$device" --kv 80 --shape square --size "$size" --fsd 65 \
        --couch tissue --disc-radius 0.125 --disc-thickness 0.005 >> "$diagnostics"
done
# No couch (T = 1, d_c = 0): the engine is then B D alone, so these runs test the
# backscatter integration against the simulation in the finite, divergent geometry and in
# the engine's own (large phantom, parallel rays).
"$generator" validation-device --name val_cu0.3_couch0 --cu 0.3 --couch-thickness 0 \
    --workdir "$work" > /dev/null
for size in 5 10 20 25; do
    for variant in "divergent slab" "parallel large"; do
        set -- $variant
        compare 8000000 --device val_cu0.3_couch0.kvx2 --kv 80 --shape square --size "$size" \
            --fsd 65 --couch tissue --beam "$1" --patient "$2" >> "$diagnostics"
    done
done
# A circle, where the engine scales the radius by the focus-receptor distance.
compare 5000000 --device "$device" --kv 80 --shape circle --size 20 --fsd 65 --couch tissue \
    >> "$diagnostics"
# The batch uncertainty against the spread of independent seeds.
for s in 1 2 3 4 5 6 7 8 9 10; do
    "$generator" compare --workdir "$work" --threads "$threads" --seed "$s" --histories 1000000 \
        --device "$device" --kv 80 --shape square --size 20 --fsd 65 --couch tissue \
        >> "$diagnostics"
done
echo "diagnostics: $(($(date +%s) - start)) s wall" >&2
mv "$diagnostics" "$here/exposure_diagnostics.jsonl.tmp" &&
    mv "$here/exposure_diagnostics.jsonl.tmp" "$here/exposure_diagnostics.jsonl"
