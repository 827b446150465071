#!/usr/bin/env bash
# Checks that every C++ source of the repository is formatted with its .clang-format; prints the
# files that are not and exits 1 when there is one.
#
#   scripts/check-format.sh [root]
set -euo pipefail

root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
format="${CLANG_FORMAT:-clang-format}"
if ! command -v "$format" >/dev/null 2>&1; then
    echo "format: $format not found (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

unformatted=0
while IFS= read -r -d '' file; do
    if ! "$format" --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
        echo "format: ${file#"$root"/} differs from .clang-format" >&2
        unformatted=$((unformatted + 1))
    fi
done < <(find "$root/src" "$root/host" "$root/tests" "$root/bench" "$root/fuzz" "$root/tools" \
    -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)

if [ "$unformatted" -gt 0 ]; then
    echo "format: $unformatted file(s) to format with: clang-format -i <file>" >&2
    exit 1
fi
echo "format: every source file is formatted"
