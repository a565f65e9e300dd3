# The export table of the nine ACPI functions, written once in
# acpi_exports.table and made from it at configure time: this build's .def
# file and acpi/acpi_export_names.h (for acpi-probe and the tests) below
# ${SETUP_ACPI_GENERATED_DIR}, and the expected table of the export checks.
#
# setup_link_acpi_exports(<executable>) links the ACPI bridge into an
# executable and gives it that export table, exactly as setup.exe carries it:
# decorated names in the 32-bit build, plain names on x64, ordinals 1 to 9,
# nothing else exported. A CMakeLists processed before acpi/ includes this
# file first: include(${PROJECT_SOURCE_DIR}/acpi/AcpiExports.cmake)
include_guard(GLOBAL)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SETUP_ARCH x86_64)
else()
  set(SETUP_ARCH i686)
endif()

set(SETUP_ACPI_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

# Reads the table into SETUP_ACPI_EXPORTS ("name:bytes;..."), refusing one
# whose order is not the byte-wise order of the decorated names: the
# ordinals follow it.
function(setup_read_acpi_exports)
  set(source ${PROJECT_SOURCE_DIR}/acpi/acpi_exports.table)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(STRINGS ${source} lines REGEX "^[^#]")
  set(exports "")
  set(previous "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([A-Za-z][A-Za-z0-9]*) +([0-9]+)$")
      message(FATAL_ERROR "acpi_exports.table: not \"name bytes\": ${line}")
    endif()
    set(decorated "_${CMAKE_MATCH_1}@${CMAKE_MATCH_2}")
    if(NOT previous STREQUAL "" AND NOT previous STRLESS decorated)
      message(FATAL_ERROR "acpi_exports.table: ${decorated} must come before ${previous}")
    endif()
    set(previous ${decorated})
    list(APPEND exports "${CMAKE_MATCH_1}:${CMAKE_MATCH_2}")
  endforeach()
  set(SETUP_ACPI_EXPORTS "${exports}" PARENT_SCOPE)
endfunction()

# Writes this build's .def file and the name header from the table, and
# keeps the export table every such executable must carry, as
# "ordinal:name|...", in SETUP_ACPI_EXPORT_TABLE.
function(setup_generate_acpi_exports)
  set(def "; Made from acpi/acpi_exports.table at configure time.\nEXPORTS\n")
  set(names "")
  set(table "")
  set(ordinal 0)
  foreach(entry IN LISTS SETUP_ACPI_EXPORTS)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 name)
    list(GET entry 1 bytes)
    math(EXPR ordinal "${ordinal} + 1")
    if(SETUP_ARCH STREQUAL "x86_64")
      # No stdcall on x64: the plain names.
      set(exported ${name})
      string(APPEND def "  ${name} @${ordinal}\n")
    else()
      set(exported _${name}@${bytes})
      if(MSVC)
        # MSVC's link exports a decorated name as written.
        string(APPEND def "  ${exported} @${ordinal}\n")
      else()
        # GNU ld drops the leading underscore of a name unless it is aliased.
        string(APPEND def "  ${exported} = ${name}@${bytes} @${ordinal}\n")
      endif()
    endif()
    list(APPEND table "${ordinal}:${exported}")
    string(APPEND names "    {\"${name}\", \"_${name}@${bytes}\", ${ordinal}, ${bytes}},\n")
  endforeach()
  list(JOIN table "|" table)
  set(SETUP_ACPI_EXPORT_TABLE "${table}" PARENT_SCOPE)
  file(CONFIGURE OUTPUT ${SETUP_ACPI_GENERATED_DIR}/acpi_exports.def CONTENT "${def}")
  file(CONFIGURE OUTPUT ${SETUP_ACPI_GENERATED_DIR}/acpi/acpi_export_names.h CONTENT [=[
#pragma once

// Made from acpi/acpi_exports.table at configure time.
// The export table of the executable: each function under its name, its
// stdcall-decorated name (how the 32-bit build exports it), its ordinal and
// the bytes of its arguments.
struct AcpiExportName {
  const char* name;
  const char* decorated;
  int ordinal;
  int argumentBytes;
};

inline constexpr AcpiExportName kAcpiExportNames[] = {
@names@};

// The name a client of this build's architecture asks for: the 32-bit build
// exports the decorated names, the x64 build (no stdcall there) the plain ones.
constexpr const char* ExportedName(const AcpiExportName& entry) {
#if defined(__i386__) || defined(_M_IX86)
  return entry.decorated;
#else
  return entry.name;
#endif
}
]=] @ONLY)
endfunction()

setup_read_acpi_exports()
setup_generate_acpi_exports()

function(setup_link_acpi_exports target)
  set(def ${SETUP_ACPI_GENERATED_DIR}/acpi_exports.def)
  # The export entries go in as objects: nothing in the program may call
  # them, yet the export table needs them.
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:acpi_exports>)
  target_link_libraries(${target} PRIVATE acpi)
  # CMake hands a .def to the linker only for DLLs; an executable gets it here.
  if(MSVC)
    target_link_options(${target} PRIVATE /DEF:${def})
  else()
    target_link_options(${target} PRIVATE ${def})
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${def})
endfunction()

# setup_acpi_export_table(<var>): the export table every such executable
# must carry, as "ordinal:name|...", for check_export_table.cmake.
function(setup_acpi_export_table var)
  set(${var} "${SETUP_ACPI_EXPORT_TABLE}" PARENT_SCOPE)
endfunction()
