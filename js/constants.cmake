# Writes OUTPUT, a script that emscripten runs inside the module before its glue: it puts every
# numbered constant of the C API's HEADERS on the module as `constants` (statuses, levels, formats:
# `TESSERA_NAME = N` in their enums, and `#define TESSERA_NAME (N)`), so that the JavaScript side
# takes them from the headers instead of copying them.
set(text "")
foreach(header IN LISTS HEADERS)
  file(READ "${header}" part)
  string(APPEND text "${part}")
endforeach()
string(REGEX MATCHALL "TESSERA_[A-Z0-9_]+ = -?[0-9]+" enumerated "${text}")
string(REGEX MATCHALL "#define TESSERA_[A-Z0-9_]+ \\(-?[0-9]+\\)" defined "${text}")
set(entries "")
foreach(item IN LISTS enumerated defined)
  string(REGEX REPLACE "^(#define )?(TESSERA_[A-Z0-9_]+) \\(?=? ?(-?[0-9]+)\\)?$" "  \\2: \\3,"
         entry "${item}")
  string(APPEND entries "${entry}\n")
endforeach()
file(WRITE "${OUTPUT}" "// Made from ${HEADERS} by js/constants.cmake.\nModule[\"constants\"] = {\n${entries}};\n")
