# Sourced by the benchmark scripts: this checkout's root, its Wine prefix with a running server, a
# display (a private Xvfb when none is set, stopped again by bench_end) and the build's folders.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source scripts/wine-env.sh
bench_started_x=""
if [ -z "${DISPLAY:-}" ]; then
  source scripts/xvfb.sh
  wine_down
  xvfb_start
  bench_started_x=1
fi
wine_up
out="$root/build/out"
tools="$root/build/devtools"

# The end of a benchmark: the server and display it started itself.
bench_end() {
  if [ -n "$bench_started_x" ]; then wine_down; xvfb_stop; fi
}
