# Turns rsid_builds.tsv (rsid, GRCh37 position, GRCh38 position) into the
# initialiser lines of the compiled-in fingerprint array.
# Usage: cmake -DIN=rsid_builds.tsv -DOUT=build_fingerprint_data.inc -P embed_fingerprint.cmake
file(STRINGS "${IN}" lines)
set(out "// Generated from rsid_builds.tsv by embed_fingerprint.cmake; do not edit.\n")
set(previous -1)
foreach(line IN LISTS lines)
  if(line MATCHES "^rs([0-9]+)\t([0-9]+)\t([0-9]+)$")
    if(NOT CMAKE_MATCH_1 GREATER previous)
      message(FATAL_ERROR "${IN}: rs${CMAKE_MATCH_1} is not after rs${previous}: the file must be sorted by rs number")
    endif()
    set(previous ${CMAKE_MATCH_1})
    string(APPEND out "{${CMAKE_MATCH_1}u, ${CMAKE_MATCH_2}u, ${CMAKE_MATCH_3}u},\n")
  endif()
endforeach()
file(WRITE "${OUT}" "${out}")
