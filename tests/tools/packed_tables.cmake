# The tables that ship, packed afresh by the built orvane-pack, are byte for
# byte the archives they were when these digests were taken. Anything that
# changes what a packed table holds (the archive layout, what a scene source
# makes of a table, the checks on it) shows here; when such a change is
# meant, take the new digest from the failure message.
#   cmake -DPACK=<orvane-pack> -DSOURCE_DIR=<tree> -DBINARY_DIR=<build> -DWORK=<dir> -P packed_tables.cmake
set(tables
    "default|${BINARY_DIR}/games/default-stage/manifest.lua|5574868|8076fa302e49806a548a059bed8075da1a13ba56552c47c317cdc9f4432abd75"
    "comet|${SOURCE_DIR}/games/comet/manifest.lua|3863163|4643b28940c9e1bc321bf99f1e1d0bf5de4d4d32262ee33c2838a7cc7372639b")

set(failed "")
foreach(table IN LISTS tables)
  string(REPLACE "|" ";" fields "${table}")
  list(GET fields 0 name)
  list(GET fields 1 manifest)
  list(GET fields 2 size)
  list(GET fields 3 digest)
  if(NOT EXISTS "${manifest}")
    message(FATAL_ERROR "${name}: no ${manifest}; build the ${name}_table target first")
  endif()
  set(archive "${WORK}/${name}/data.dat")
  file(REMOVE "${archive}")
  execute_process(COMMAND "${PACK}" "${manifest}" -o "${archive}" RESULT_VARIABLE code
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${name}: orvane-pack failed (${code}):\n${out}${err}")
  endif()
  file(SIZE "${archive}" packedSize)
  file(SHA256 "${archive}" packedDigest)
  if(packedSize EQUAL size AND packedDigest STREQUAL digest)
    message(STATUS "${name}: ${size} bytes, as before")
  else()
    string(APPEND failed
           "${name}: packed ${packedSize} bytes with SHA-256 ${packedDigest}, "
           "expected ${size} bytes with ${digest} (the archive is kept in ${archive})\n")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${failed}")
endif()
