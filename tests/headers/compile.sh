#!/usr/bin/env bash
# Compiles each public header on its own, in every language mode, with gcc and clang,
# as warnings-are-errors under -pedantic-errors. The library's headers are C: C99, C11,
# C17 and C++11 to C++23. The reference host's headers are C++17 and later.
#   compile.sh XR_INCLUDE_DIR XRHOST_INCLUDE_DIR
# Exits 77 (skipped) when clang is not installed.
set -u
xr=$1
xrhost=$2
for tool in gcc g++ clang clang++; do
  command -v "$tool" >/dev/null || { echo "$tool not found: not checked"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0 count=0
# compile COMPILER STD SUFFIX HEADER
compile() {
  local src="$scratch/t.$3"
  printf '#include "%s"\nint xr_header_included;\n' "$4" >"$src"
  local flags=(-std="$2" -Wall -Wextra -pedantic-errors -Werror -fsyntax-only -I"$xr" -I"$xrhost")
  [ "$3" = c ] && flags+=(-Wstrict-prototypes)
  count=$((count + 1))
  if ! out=$("$1" "${flags[@]}" "$src" 2>&1); then
    echo "FAILED: $1 -std=$2 $4"
    echo "$out" | head -n 20
    failed=$((failed + 1))
  fi
}

headers=()
for h in "$xr"/xr/*.h; do headers+=("xr/${h##*/}"); done
host_headers=()
for h in "$xrhost"/xrhost/*.h; do host_headers+=("xrhost/${h##*/}"); done

for pair in gcc:g++ clang:clang++; do
  cc=${pair%%:*} cxx=${pair##*:}
  for h in "${headers[@]}"; do
    for std in c99 c11 c17; do compile "$cc" "$std" c "$h"; done
    for std in c++11 c++14 c++17 c++20 c++2b; do compile "$cxx" "$std" cpp "$h"; done
  done
  for h in "${host_headers[@]}"; do
    for std in c++17 c++20 c++2b; do compile "$cxx" "$std" cpp "$h"; done
  done
done
echo "$((count - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
