# The clang tree, build-fuzz, that the sanitizer stage and the fuzz targets share: every library,
# test and fuzz target built once with AddressSanitizer, UndefinedBehaviorSanitizer and the
# fuzzer's coverage, at -O1 with line tables (the reports keep their file and line, and the tree
# builds in about half the time -O2 with full debug information takes). Sourced.
velmora_configure_clang_tree() {
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
        -DVELMORA_FUZZ=ON -DVELMORA_TESTS=ON -DVELMORA_BENCH=OFF >/dev/null
}
