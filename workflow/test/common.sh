# Sourced by the workflow tests: the repository's folders and the quorlin
# binary (the first argument, else build/quorlin) as an absolute path.
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
bin=${1:-build/quorlin}
if [ ! -f "$bin" ] || [ ! -x "$bin" ]; then
  echo "FAIL: quorlin binary '$bin' not found or not executable"
  exit 1
fi
bin="$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")"
