# A short run of every fuzz target as a ctest test, so `make test` catches a
# target that crashes or breaks an invariant on its seeds or soon after. The
# targets come from a fuzz tree built beforehand (clang; see CMakeLists.txt
# here); REELO_FUZZ_BIN_DIR names its tests/fuzz folder. Each run works on a
# fresh copy of the target's seed corpus, so the seeds in the source tree are
# never written to.
set(REELO_FUZZ_BIN_DIR "" CACHE PATH "tests/fuzz folder of a built fuzz tree whose targets get a smoke run")
set(REELO_FUZZ_SMOKE_SECONDS 20 CACHE STRING "How long each fuzz target runs in the smoke test")
if(NOT REELO_FUZZ_BIN_DIR)
  return()
endif()

set(smoke_script [=[
work="$1"; seeds="$2"; target="$3"; seconds="$4"
rm -rf "$work" && mkdir -p "$work/corpus" "$work/findings" && cp "$seeds"/* "$work/corpus/" || exit 1
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/findings/" "$work/corpus"
]=])

file(GLOB fuzz_corpora LIST_DIRECTORIES true ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
foreach(corpus ${fuzz_corpora})
  get_filename_component(target ${corpus} NAME)
  add_test(NAME fuzz_smoke_${target}
           COMMAND sh -c "${smoke_script}" sh ${CMAKE_CURRENT_BINARY_DIR}/fuzz_smoke/${target} ${corpus}
                   ${REELO_FUZZ_BIN_DIR}/${target} ${REELO_FUZZ_SMOKE_SECONDS})
  math(EXPR smoke_timeout "${REELO_FUZZ_SMOKE_SECONDS} * 3 + 60")
  set_tests_properties(fuzz_smoke_${target} PROPERTIES TIMEOUT ${smoke_timeout} LABELS fuzz)
endforeach()
