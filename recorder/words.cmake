# SPDX-License-Identifier: GPL-3.0-or-later
# Writes OUTPUT, a header with each key's word from WORDS (tools/words.tsv:
# key, spoken, word, picture, tab-separated; # starts a comment), so that the
# recorder shows the words of the pack without reading the source tree.
#   cmake -DWORDS=tools/words.tsv -DOUTPUT=key_words.h -P words.cmake
file(STRINGS ${WORDS} lines ENCODING UTF-8)
set(entries "")
set(count 0)
foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
        continue()
    endif()
    string(REPLACE "\t" ";" fields "${line}")
    list(LENGTH fields n)
    if(NOT n EQUAL 4)
        message(FATAL_ERROR "${WORDS}: not four fields: ${line}")
    endif()
    list(GET fields 0 key)
    list(GET fields 2 word)
    string(REPLACE "\"" "\\\"" word "${word}")
    string(APPEND entries "    {\"${key}\", u8\"${word}\"},\n")
    math(EXPR count "${count} + 1")
endforeach()
if(NOT count EQUAL 36)
    message(FATAL_ERROR "${WORDS}: ${count} keys, not 36")
endif()
file(WRITE ${OUTPUT}.new "// Generated from tools/words.tsv by recorder/words.cmake.
#pragma once

struct KeyWord {
    const char *key;
    const char8_t *word;
};

inline constexpr KeyWord KeyWords[] = {
${entries}};
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
