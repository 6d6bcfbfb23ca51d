# Script mode: writes OUT, a C++ source holding every "PNG" image that the
# resource script RC lists (lines `<id> PNG "<file>"`, files relative to the
# script's folder) as byte arrays with their ids.
#   cmake -DRC=<script> -DOUT=<source> -P EmbedResources.cmake
get_filename_component(rc_dir "${RC}" DIRECTORY)
file(STRINGS "${RC}" lines REGEX "^[0-9]+[ \t]+PNG[ \t]+\"")
set(arrays "")
set(table "")
set(count 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^([0-9]+)[ \t]+PNG[ \t]+\"([^\"]+)\".*" "\\1" id "${line}")
  string(REGEX REPLACE "^([0-9]+)[ \t]+PNG[ \t]+\"([^\"]+)\".*" "\\2" file "${line}")
  file(READ "${rc_dir}/${file}" hex HEX)
  string(LENGTH "${hex}" hex_len)
  if(hex_len EQUAL 0)
    message(FATAL_ERROR "empty image resource ${rc_dir}/${file}")
  endif()
  # 32 bytes per line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" hex "${hex}")
  string(APPEND arrays "// ${file}\nstatic const unsigned char image${id}[] = {\n${hex}\n};\n\n")
  string(APPEND table "  {${id}, image${id}, sizeof(image${id})},\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no PNG resources listed in ${RC}")
endif()
file(WRITE "${OUT}.tmp"
  "// Generated at build time from the resource script; edits are lost.\n"
  "#include \"LiceResource.h\"\n\n"
  "${arrays}"
  "const LICE_EmbeddedResource g_liceEmbeddedResources[] = {\n${table}};\n"
  "const int g_liceEmbeddedResourceCount = ${count};\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
