#!/usr/bin/env bash
# What interpolating the couch-scatter table costs: S_c simulated at points between the
# table's nodes in every axis at once, against the table's value there. Writes
# couch_interpolation.jsonl beside itself; DosePercent = 100 ((1 + S_c table) /
# (1 + S_c simulated) - 1) is the interpolation's error in the skin dose (with the point's
# own statistical uncertainty).
#
#   nice -n 19 tools/refdata/validation/couch_interpolation.sh [path/to/korvex-refdata]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
generator=${1:-$root/build/release/tools/refdata/korvex-refdata}
threads=${THREADS:-2}
out=$(mktemp)
trap 'rm -f "$out"' EXIT

# kV, added copper mm, square side at the skin cm, couch transmission, mattress cm.
while read -r kv cu field t mattress; do
    "$generator" couch-scatter-point --workdir "$root/data" --threads "$threads" \
        --histories 4000000 --seed 1208 --kv "$kv" --cu "$cu" --field "$field" \
        --transmission "$t" --mattress "$mattress" >> "$out"
done <<'EOF'
65 0.15 4.2 0.6 1
95 0.6 8.5 0.77 3.5
125 0.45 17 0.9 7.5
70 0.2 30 0.55 6
100 0.1 5 0.88 2
135 0.75 9 0.62 1
60 0.5 20 0.82 4
115 0.3 12 0.72 8
85 0.05 35 0.93 3
120 0.6 3.5 0.52 9
75 0.8 14 0.66 0.5
105 0.25 25 0.85 5
EOF
chmod 644 "$out"
mv "$out" "$here/couch_interpolation.jsonl"
trap - EXIT
