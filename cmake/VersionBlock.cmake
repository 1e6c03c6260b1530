# The version block: the name, maker and version an executable carries about
# itself, as data in its own ELF section ".quarrow_version". The program reads
# it back with ReadVersionData() (ui/VersionInfo.h).
#
# Layout (all numbers little-endian, UTF-16 text as 16-bit code units):
#
#   Header (20 bytes)
#     char[4]  magic "QVB1" (the digit is the layout's version)
#     u32      size of the whole block in bytes, header included; the section
#              may be longer (padding), never shorter
#     u16[4]   fixed file version: major, minor, build, revision
#     u16      number of translations (at least one)
#     u16      number of string tables
#   Translations: (u16 language, u16 code page) per entry; the first entry is
#     the one a reader uses.
#   String tables, in any order, each:
#     u16[8]   key: language then code page, four upper-case hexadecimal
#              digits each (0x0409, 0x04E4 -> "040904E4")
#     u16      number of strings
#     strings, each: u16 name length, name units, u16 value length, value units
#
# quarrow_add_version_block(<target>
#     COMPANY <text> PRODUCT <text> FILE_VERSION <a.b.c.d>
#     [LANGUAGE <id>] [CODEPAGE <id>]
#     [STRINGS <name> <value>...]
#     [TRANSLATION <language> <code page> [<name> <value>...]]...)
#
# Adds the block to <target>, which must be an executable: the generated
# source is compiled into it directly because a linker drops an unreferenced
# object taken from a static library. LANGUAGE and CODEPAGE (default 0x0409,
# U.S. English, and 0x04E4, Windows-1252) make the first translation; its
# table gets CompanyName, ProductName, FileVersion, ProductVersion,
# InternalName and OriginalFileName from the other arguments and the target's
# name, and STRINGS adds to or replaces them. Each TRANSLATION adds a further
# translation with its own table.

set(QUARROW_VERSION_BLOCK_KEYWORDS COMPANY PRODUCT FILE_VERSION LANGUAGE CODEPAGE STRINGS TRANSLATION)

# A 16-bit identifier given in decimal or 0x-hexadecimal, as the decimal text C++ takes.
function(_quarrow_version_block_id text out)
  if(NOT text MATCHES "^(0[xX][0-9a-fA-F]+|[0-9]+)$")
    message(FATAL_ERROR "quarrow_add_version_block: \"${text}\" is not a number")
  endif()
  math(EXPR value "${text}")
  if(value GREATER 65535)
    message(FATAL_ERROR "quarrow_add_version_block: ${text} does not fit in 16 bits")
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# The text as the inside of a C++ u"" literal; the generated file is UTF-8, as
# the compiler reads it, so other characters pass through unchanged.
function(_quarrow_version_block_literal text out)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  string(REPLACE "\r" "\\r" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(quarrow_add_version_block target)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "quarrow_add_version_block: no target ${target}")
  endif()
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "EXECUTABLE")
    message(FATAL_ERROR "quarrow_add_version_block: ${target} is not an executable")
  endif()

  # The arguments are walked one by one (not with cmake_parse_arguments) so
  # that empty values keep their place and repeated TRANSLATION groups stay apart.
  set(company "")
  set(product "")
  set(file_version "")
  set(language 1033)
  set(codepage 1252)
  set(translation_count 1)
  set(names_0 "")
  set(mode "")
  set(name "")
  set(expect_value FALSE)
  math(EXPR last "${ARGC} - 1")
  if(last LESS 1)
    message(FATAL_ERROR "quarrow_add_version_block: COMPANY, PRODUCT and FILE_VERSION are required")
  endif()
  foreach(i RANGE 1 ${last})
    set(word "${ARGV${i}}")
    if(expect_value)
      # A value is taken as it is, even when it spells a keyword.
      set(table_${current}_${name} "${word}")
      set(expect_value FALSE)
      continue()
    endif()
    if(word IN_LIST QUARROW_VERSION_BLOCK_KEYWORDS)
      if(mode STREQUAL "TRANSLATION_LANGUAGE" OR mode STREQUAL "TRANSLATION_CODEPAGE")
        message(FATAL_ERROR "quarrow_add_version_block: TRANSLATION needs a language and a code page")
      endif()
      if(translation_count GREATER 1 AND NOT word STREQUAL "TRANSLATION")
        message(FATAL_ERROR "quarrow_add_version_block: ${word} must come before the first TRANSLATION")
      endif()
      set(mode "${word}")
      if(word STREQUAL "TRANSLATION")
        set(current ${translation_count})
        math(EXPR translation_count "${translation_count} + 1")
        set(names_${current} "")
        set(mode "TRANSLATION_LANGUAGE")
      elseif(word STREQUAL "STRINGS")
        set(current 0)
      endif()
      continue()
    endif()
    if(mode MATCHES "^(COMPANY|PRODUCT|FILE_VERSION|LANGUAGE|CODEPAGE)$")
      string(TOLOWER "${mode}" variable)
      set(${variable} "${word}")
      set(given_${variable} TRUE)
      set(mode "")
    elseif(mode STREQUAL "TRANSLATION_LANGUAGE")
      _quarrow_version_block_id("${word}" language_${current})
      set(mode "TRANSLATION_CODEPAGE")
    elseif(mode STREQUAL "TRANSLATION_CODEPAGE")
      _quarrow_version_block_id("${word}" codepage_${current})
      set(mode "TRANSLATION_STRINGS")
    elseif(mode STREQUAL "STRINGS" OR mode STREQUAL "TRANSLATION_STRINGS")
      if(NOT word MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
        message(FATAL_ERROR "quarrow_add_version_block: \"${word}\" is not a string name")
      endif()
      if(word IN_LIST names_${current})
        message(FATAL_ERROR "quarrow_add_version_block: ${word} is given twice for one translation")
      endif()
      list(APPEND names_${current} "${word}")
      set(name "${word}")
      set(expect_value TRUE)
    else()
      message(FATAL_ERROR "quarrow_add_version_block: unexpected argument \"${word}\"")
    endif()
  endforeach()
  if(expect_value)
    message(FATAL_ERROR "quarrow_add_version_block: ${name} has no value")
  endif()
  if(mode STREQUAL "TRANSLATION_LANGUAGE" OR mode STREQUAL "TRANSLATION_CODEPAGE")
    message(FATAL_ERROR "quarrow_add_version_block: TRANSLATION needs a language and a code page")
  endif()
  if(NOT given_company OR NOT given_product OR NOT given_file_version)
    message(FATAL_ERROR "quarrow_add_version_block: COMPANY, PRODUCT and FILE_VERSION are required")
  endif()
  _quarrow_version_block_id("${language}" language_0)
  _quarrow_version_block_id("${codepage}" codepage_0)

  if(NOT file_version MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "quarrow_add_version_block: FILE_VERSION \"${file_version}\" is not a.b.c.d")
  endif()
  string(REPLACE "." ";" version_parts "${file_version}")
  list(LENGTH version_parts part_count)
  while(part_count LESS 4)
    list(APPEND version_parts 0)
    math(EXPR part_count "${part_count} + 1")
  endwhile()
  set(version_numbers "")
  foreach(part IN LISTS version_parts)
    _quarrow_version_block_id("${part}" number)
    list(APPEND version_numbers ${number})
  endforeach()
  list(JOIN version_numbers ", " FILE_VERSION_NUMBERS)

  # The first table's defaults; STRINGS has already replaced any it names.
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(default_CompanyName "${company}")
  set(default_ProductName "${product}")
  set(default_FileVersion "${file_version}")
  set(default_ProductVersion "${file_version}")
  set(default_InternalName "${output_name}")
  set(default_OriginalFileName "${output_name}")
  foreach(key CompanyName ProductName FileVersion ProductVersion InternalName OriginalFileName)
    if(NOT key IN_LIST names_0)
      list(APPEND names_0 ${key})
      set(table_0_${key} "${default_${key}}")
    endif()
  endforeach()

  set(TRANSLATIONS "")
  set(STRINGS "")
  set(STRING_COUNT 0)
  math(EXPR last_translation "${translation_count} - 1")
  foreach(t RANGE 0 ${last_translation})
    string(APPEND TRANSLATIONS "    {${language_${t}}, ${codepage_${t}}},\n")
    foreach(key IN LISTS names_${t})
      _quarrow_version_block_literal("${table_${t}_${key}}" value)
      string(APPEND STRINGS "    {${t}, u\"${key}\", u\"${value}\"},\n")
      math(EXPR STRING_COUNT "${STRING_COUNT} + 1")
    endforeach()
  endforeach()
  set(TRANSLATION_COUNT ${translation_count})
  set(TARGET_NAME ${target})

  set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.cpp")
  file(CONFIGURE OUTPUT "${source}" CONTENT [=[
// Generated by quarrow_add_version_block() for @TARGET_NAME@; edit the CMake call, not this file.
// The layout of the block is described in VersionBlock.cmake.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

struct Translation {
    std::uint16_t language;
    std::uint16_t codePage;
};

struct VersionString {
    std::size_t translation;
    std::u16string_view name;
    std::u16string_view value;
};

constexpr std::array<std::uint16_t, 4> kFileVersion{@FILE_VERSION_NUMBERS@};
constexpr std::array<Translation, @TRANSLATION_COUNT@> kTranslations{{
@TRANSLATIONS@}};
constexpr std::array<VersionString, @STRING_COUNT@> kStrings{{
@STRINGS@}};

constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kKeyUnits = 8;

constexpr std::size_t stringCount(std::size_t translation)
{
    std::size_t count = 0;
    for (const VersionString& string : kStrings)
        count += string.translation == translation ? 1 : 0;
    return count;
}

constexpr std::size_t blockSize()
{
    std::size_t size = kHeaderSize + kTranslations.size() * (4 + 2 * kKeyUnits + 2);
    for (const VersionString& string : kStrings)
        size += 4 + 2 * (string.name.size() + string.value.size());
    return size;
}

constexpr bool fitsTheLayout()
{
    for (std::size_t t = 0; t < kTranslations.size(); ++t) {
        if (stringCount(t) > 0xFFFF)
            return false;
    }
    for (const VersionString& string : kStrings) {
        if (string.name.size() > 0xFFFF || string.value.size() > 0xFFFF)
            return false;
    }
    return kTranslations.size() <= 0xFFFF && blockSize() <= 0xFFFFFFFF;
}
static_assert(fitsTheLayout(), "the version block has too many or too long strings");

class BlockWriter {
public:
    constexpr explicit BlockWriter(std::array<unsigned char, blockSize()>& block) : m_block(block) {}

    constexpr void byte(std::size_t value) { m_block[m_at++] = static_cast<unsigned char>(value & 0xFFu); }
    constexpr void u16(std::size_t value)
    {
        byte(value);
        byte(value >> 8);
    }
    constexpr void u32(std::size_t value)
    {
        u16(value);
        u16(value >> 16);
    }
    constexpr void text(std::u16string_view text)
    {
        u16(text.size());
        for (char16_t unit : text)
            u16(unit);
    }
    constexpr void hex4(std::size_t value)
    {
        constexpr std::u16string_view digits = u"0123456789ABCDEF";
        for (int shift = 12; shift >= 0; shift -= 4)
            u16(digits[(value >> shift) & 0xFu]);
    }

private:
    std::array<unsigned char, blockSize()>& m_block;
    std::size_t m_at = 0;
};

constexpr std::array<unsigned char, blockSize()> buildBlock()
{
    std::array<unsigned char, blockSize()> block{};
    BlockWriter out(block);
    for (char c : std::string_view("QVB1"))
        out.byte(static_cast<unsigned char>(c));
    out.u32(blockSize());
    for (std::uint16_t part : kFileVersion)
        out.u16(part);
    out.u16(kTranslations.size());
    out.u16(kTranslations.size());
    for (const Translation& translation : kTranslations) {
        out.u16(translation.language);
        out.u16(translation.codePage);
    }
    for (std::size_t t = 0; t < kTranslations.size(); ++t) {
        out.hex4(kTranslations[t].language);
        out.hex4(kTranslations[t].codePage);
        out.u16(stringCount(t));
        for (const VersionString& string : kStrings) {
            if (string.translation == t) {
                out.text(string.name);
                out.text(string.value);
            }
        }
    }
    return block;
}

// Nothing in the program refers to the block: "used" keeps the compiler from
// dropping it; the reader finds it in the file by the section's name.
[[gnu::section(".quarrow_version"), gnu::used]] constexpr std::array<unsigned char, blockSize()> kVersionBlock =
    buildBlock();

} // namespace
]=] @ONLY)
  target_sources(${target} PRIVATE "${source}")
endfunction()
