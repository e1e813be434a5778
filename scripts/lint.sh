#!/usr/bin/env bash
# Static analysis of every C++ source: clang-tidy (.clang-tidy), cppcheck (scripts/cppcheck/) and
# clang-format's layout check (.clang-format). Runs all three and fails when any finds something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build-lint

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v python3 >/dev/null || need+=(python3)
command -v run-clang-tidy >/dev/null || need+=(clang-tidy)
command -v cppcheck >/dev/null || need+=(cppcheck)
command -v clang-format >/dev/null || need+=(clang-format)
[ -e /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -e /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && apt-get install -y -qq "${need[@]}"
fi

# The compilation database covers the program, the tests and the benchmarks. The fuzz targets
# build only with clang and libFuzzer, so they are added with the program's own flags.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
python3 - "$build/compile_commands.json" "$root" <<'EOF'
import glob, json, os, sys
path, root = sys.argv[1], sys.argv[2]
entries = json.load(open(path))
main = os.path.join(root, "app", "main.cpp")
model = next(e for e in entries if e["file"] == main)
known = {e["file"] for e in entries}
for source in sorted(glob.glob(os.path.join(root, "fuzz", "*.cpp"))):
    if source not in known:
        entries.append({"directory": model["directory"], "file": source,
                        "command": model["command"].replace(main, source).replace("main.cpp.o", os.path.basename(source) + ".o")})
json.dump(entries, open(path, "w"), indent=1)
EOF

failed=()
echo "== clang-tidy"
# Only the findings: no colour codes, command lines or warning counts.
if ! run-clang-tidy -p "$build" -j"$(nproc)" -quiet "^$root/(app|bench|console|fuzz|platform|quiz|random|tests)/" 2>&1 |
    sed -E 's/\x1b\[[0-9;]*m//g' |
    { grep -Ev '^(clang-tidy(-[0-9]+)? |[0-9]+ warnings? (generated\.|treated as errors?)$)' || true; }; then
  failed+=(clang-tidy)
fi

echo "== cppcheck"
mkdir -p "$build/cppcheck"
if ! cppcheck --project="$build/compile_commands.json" --cppcheck-build-dir="$build/cppcheck" -j"$(nproc)" --quiet \
    --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr \
    --suppress=missingIncludeSystem --suppressions-list=scripts/cppcheck/suppressions.txt \
    --library=posix --library=googletest --library=scripts/cppcheck/signals.cfg \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]'; then
  failed+=(cppcheck)
fi

echo "== clang-format"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  sources=$(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
  sources=$(find app bench console fuzz platform quiz random tests -name '*.cpp' -o -name '*.h')
fi
existing=()
for f in $sources; do [ -f "$f" ] && existing+=("$f"); done
if ! clang-format --dry-run --Werror "${existing[@]}"; then
  failed+=(clang-format)
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "lint: findings from ${failed[*]}" >&2
  exit 1
fi
echo "lint: clean"
