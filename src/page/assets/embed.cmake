# Writes OUT, a C++ file that defines one NUL-terminated char array per
# asset of the pages: cmake -DOUT=file.cpp -DASSETS="name=path;..." -P embed.cmake.
# The bytes go in as numbers, so any text of the assets stands as written.
set(body "// Made at build time from src/page/assets by embed.cmake; not edited by hand.\n#include \"page/page_assets.h\"\n\nnamespace page {\n")
foreach(pair IN LISTS ASSETS)
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 name)
  list(GET parts 1 path)
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
  string(APPEND body "\nconst char* ${name}()\n{\n    static const char text[] = {\n${bytes}0};\n    return text;\n}\n")
endforeach()
string(APPEND body "\n} // namespace page\n")
file(WRITE "${OUT}.tmp" "${body}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
