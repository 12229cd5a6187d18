# Writes a C++ source defining `grabline::tool::${NAME}` as the text of ${INPUT}, so a
# file that belongs in the binary stays an ordinary file in the tree.
# Usage: cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=kName -DHEADER=x.hpp -P embed_text.cmake
file(READ "${INPUT}" text)
set(delimiter "embedded")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw-string delimiter ${delimiter}")
endif()
file(WRITE "${OUTPUT}.tmp" "#include \"${HEADER}\"\n\nnamespace grabline::tool {\n\n"
  "const std::string_view ${NAME} = R\"${delimiter}(${text})${delimiter}\";\n\n"
  "}  // namespace grabline::tool\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
