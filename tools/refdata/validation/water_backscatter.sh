#!/usr/bin/env bash
# Checks the Monte Carlo against published monoenergetic backscatter factors of water:
# Poludniowski, Omar & Andreo, "Calculating X-ray Tube Spectra", ch. 9, supplementary
# data (water kerma at the surface with / without phantom, circular fields, point source
# at 100 cm). The generator makes water and ICRU-44 soft-tissue backscatter kernels at the
# two energies; this script integrates each kernel over the circles with the program's
# inverse-square ring weights L^2 / (L^2 + rho^2) (rho = ring midpoint, L = 100 cm) and
# writes the comparison to water_backscatter.txt beside itself.
#
#   tools/refdata/validation/water_backscatter.sh [path/to/korvex-refdata]
#
# Default generator: build/release/tools/refdata/korvex-refdata (cmake --preset release).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
generator=${1:-$root/build/release/tools/refdata/korvex-refdata}
histories=20000000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for phantom in water tissue; do
    "$generator" --phantom "$phantom" --energies 49.35,83 --histories "$histories" \
        --output "$work/$phantom" --report "$work/$phantom/report.txt" > /dev/null
done

# Integrates column `col` (2 = first energy) of a kernel table over a circle.
integrate() {
    awk -F',' -v col="$2" -v diameter="$3" -v distance=100 '
        NR == 1 { next }
        {
            sub(/\r$/, "")
            rho = $1 + 0
            if (rho < diameter / 2) {
                sum += distance * distance / (distance * distance + rho * rho) * $col
            }
        }
        END { printf "%.4f", 1 + sum }' "$1"
}

{
    echo "Monoenergetic backscatter factors, circular fields at 100 cm focus-surface distance"
    echo "made by: $(basename "$0") with $histories histories per energy and phantom"
    echo "published: Poludniowski, Omar & Andreo, Calculating X-ray Tube Spectra, ch. 9 suppl."
    echo
    echo "E (keV)  diameter  published  water (here)  deviation  ICRU-44 tissue (here)  tissue/water"
    while read -r energy col diameter published; do
        water=$(integrate "$work/water/backscatter-kernel.dat" "$col" "$diameter")
        tissue=$(integrate "$work/tissue/backscatter-kernel.dat" "$col" "$diameter")
        awk -v e="$energy" -v d="$diameter" -v p="$published" -v w="$water" -v t="$tissue" \
            'BEGIN { printf "%-8s %5s cm   %9.4f  %12.4f  %+8.2f %%  %21.4f  %12.4f\n",
                     e, d, p, w, 100 * (w / p - 1), t, t / w }'
    done <<'TABLE'
49.35 2 10 1.4512
83.0 3 10 1.3656
49.35 2 20 1.5843
TABLE
    echo
    echo "Statistics of the runs (generator reports; relative standard uncertainty from 100 batches):"
    for phantom in water tissue; do
        grep -E "keV|circle" "$work/$phantom/report.txt" | sed "s/^/  $phantom: /"
    done
} > "$work/result.txt"

mv "$work/result.txt" "$here/water_backscatter.txt"
cat "$here/water_backscatter.txt"
