# Writes OUTPUT: a C++ source with each clip's MP3 bytes as an array, and the table FindClip
# searches. Run by the build: cmake -DOUTPUT=FILE -DCLIP_DIR=DIR -DNAMES=A,B,... -P this.
string(REPLACE "," ";" names "${NAMES}")
set(arrays "")
set(entries "")
foreach(name IN LISTS names)
  set(file "${CLIP_DIR}/${name}.mp3")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "missing clip ${file} (sound/clips/make-clips.sh makes it)")
  endif()
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  if(size EQUAL 0)
    message(FATAL_ERROR "empty clip ${file}")
  endif()
  # 16 bytes a line, then each byte as 0xNN.
  string(REGEX REPLACE "(................................)" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(APPEND arrays "static const unsigned char k${name}[${size}] = {\n${hex}\n};\n\n")
  string(APPEND entries "    {\"${name}\", k${name}, sizeof k${name}},\n")
endforeach()

file(WRITE "${OUTPUT}"
  "// Generated from sound/clips/mp3 by EmbedClips.cmake at build time; not to be edited.\n"
  "#include \"ClipTable.h\"\n\n"
  "namespace clips {\n\n"
  "${arrays}"
  "const ClipTableEntry kClipTable[] = {\n${entries}};\n"
  "const size_t kClipTableSize = sizeof kClipTable / sizeof kClipTable[0];\n\n"
  "}  // namespace clips\n")
