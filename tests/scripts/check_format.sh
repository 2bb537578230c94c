#!/usr/bin/env bash
# Every C++ file of the project follows the committed .clang-format.
set -euo pipefail
cd "$1"
files=$(git ls-files '*.cc' '*.h' 2>/dev/null || find . -name '*.cc' -o -name '*.h' | grep -v -E '^\./(build|third_party)/')
clang-format --dry-run -Werror $files
echo "$(echo "$files" | wc -l) files formatted"
