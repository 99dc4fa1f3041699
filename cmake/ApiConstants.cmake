# Writes OUTPUT, the list of the numbered constants of the C API's HEADERS (the members of their
# enums, `TESSERA_NAME = N`, and `#define TESSERA_NAME (N)`) as C++ initialisers {"TESSERA_NAME",
# TESSERA_NAME}: the names are read here, the values are the compiler's. tessera_constant() lists
# them, and the bindings take their statuses, levels and formats from it.
set(text "")
foreach(header IN LISTS HEADERS)
  file(READ "${header}" part)
  string(APPEND text "${part}")
endforeach()
string(REGEX MATCHALL "TESSERA_[A-Z0-9_]+ = -?[0-9]+" enumerated "${text}")
string(REGEX MATCHALL "#define TESSERA_[A-Z0-9_]+ \\(-?[0-9]+\\)" defined "${text}")
set(entries "")
foreach(item IN LISTS enumerated defined)
  string(REGEX MATCH "TESSERA_[A-Z0-9_]+" name "${item}")
  string(APPEND entries "    {\"${name}\", ${name}},\n")
endforeach()
file(WRITE "${OUTPUT}" "// Made from ${HEADERS} by cmake/ApiConstants.cmake.\n${entries}")
