# Shared by the benchmark scripts (sourced from the repository's top folder):
# a fresh Release build, its binaries, the data folder and two helpers.
#   QUORLIN=path/to/quorlin measures another binary; BENCH_DATA moves the data;
#   BENCH_BUILD names a Release build folder to reuse as it is configured.
build="${BENCH_BUILD:-build-bench}"
if [ -z "${BENCH_BUILD:-}" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORLIN_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 >/dev/null
else
  cmake --build "$build" -j2 --target quorlin quorlin_gentable quorlin_measure >/dev/null
fi
q="${QUORLIN:-$build/quorlin}"
gen="$build/quorlin_gentable"
meter="$build/quorlin_measure"
data="${BENCH_DATA:-$build/data}"
mkdir -p "$data"

# "seconds MB" as the meter prints them: the seconds, and a / b to 2 places.
secs() { echo "$1" | cut -d' ' -f1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
