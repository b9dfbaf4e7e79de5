# Turns a file into a C++ source that registers it as a resource of the program at start-up.
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=name -DTYPE=type -P EmbedResource.cmake
# The bytes are followed by a NUL that the resource's size does not count, so a text resource
# can be handed on as a C string.
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
"// Generated from ${INPUT}; do not edit.
#include <mg_win32.h>

namespace {

const unsigned char Bytes[] = {
    ${bytes}0x00};

MgResourceRegistrar Registrar(\"${NAME}\", \"${TYPE}\", Bytes, ${size});

} // namespace
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
