#!/usr/bin/env bash
# The licence line: every source, script and CMake file of the tree carries
# "SPDX-License-Identifier: GPL-3.0-or-later" (scripts/spdx --check), and
# scripts/spdx, run on a scratch tree, writes it in each file's comment syntax,
# after a shebang, keeps the file's mode, leaves other files alone and changes
# nothing when run again.
# Usage: spdx_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(cd "$1" && pwd) || exit 1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! bash "$source_dir/scripts/spdx" --check; then
    fail "the files listed above lack the licence line (run scripts/spdx)"
fi

scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
tree="$scratch/tree"
mkdir -p "$tree/scripts" "$tree/src" "$tree/data" "$tree/cmake"
cp "$source_dir/scripts/spdx" "$tree/scripts/spdx"
printf '// A header.\n#pragma once\n' >"$tree/src/a.h"
printf 'int main() {}\n' >"$tree/src/main.cpp"
printf '#define V "@V@"\n' >"$tree/src/values.h.in"
printf 'add_library(a a.cpp)\n' >"$tree/src/CMakeLists.txt"
printf 'set(X 1)\n' >"$tree/cmake/x.cmake"
printf '#!/usr/bin/env bash\necho hi\n' >"$tree/scripts/run"
chmod 755 "$tree/scripts/run"
printf '#!/usr/bin/env python3\nprint(1)\n' >"$tree/scripts/tool"
printf 'echo sourced\n' >"$tree/scripts/lib.sh"
printf 'Polski\tPolish\n' >"$tree/data/table.tsv"
printf '// SPDX-License-Identifier: GPL-3.0-or-later\nint kept;\n' >"$tree/src/done.cpp"
cp -r "$tree" "$scratch/before"

(cd "$tree" && bash scripts/spdx >/dev/null) || fail "scripts/spdx failed"
expect() { # FILE EXPECTED-CONTENT
    local got
    got=$(cat "$tree/$1")
    [ "$got" = "$2" ] || fail "$1 became:"$'\n'"$got"
}
expect src/a.h $'// SPDX-License-Identifier: GPL-3.0-or-later\n// A header.\n#pragma once'
expect src/main.cpp $'// SPDX-License-Identifier: GPL-3.0-or-later\nint main() {}'
expect src/values.h.in $'// SPDX-License-Identifier: GPL-3.0-or-later\n#define V "@V@"'
expect src/CMakeLists.txt $'# SPDX-License-Identifier: GPL-3.0-or-later\nadd_library(a a.cpp)'
expect cmake/x.cmake $'# SPDX-License-Identifier: GPL-3.0-or-later\nset(X 1)'
expect scripts/run $'#!/usr/bin/env bash\n# SPDX-License-Identifier: GPL-3.0-or-later\necho hi'
expect scripts/tool $'#!/usr/bin/env python3\n# SPDX-License-Identifier: GPL-3.0-or-later\nprint(1)'
expect scripts/lib.sh $'# SPDX-License-Identifier: GPL-3.0-or-later\necho sourced'
cmp -s "$tree/data/table.tsv" "$scratch/before/data/table.tsv" || fail "a data file was changed"
cmp -s "$tree/src/done.cpp" "$scratch/before/src/done.cpp" || fail "a file that had the line was changed"
[ "$(stat -c %a "$tree/scripts/run")" = 755 ] || fail "scripts/run lost its mode"

cp -r "$tree" "$scratch/once"
(cd "$tree" && bash scripts/spdx >/dev/null) || fail "scripts/spdx failed the second time"
diff -r "$scratch/once" "$tree" >/dev/null || fail "a second run changed files"
(cd "$tree" && bash scripts/spdx --check >/dev/null) || fail "--check finds files lacking the line after a run"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "licence lines checked"
