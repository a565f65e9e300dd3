# setup_link_acpi_exports(<executable>)
#
# Links the ACPI bridge into an executable and gives the executable the
# export table of the nine ACPI functions, exactly as setup.exe carries it:
# decorated names in the 32-bit build, plain names on x64, ordinals 1 to 9,
# nothing else exported. A CMakeLists processed before acpi/ includes this
# file first: include(${PROJECT_SOURCE_DIR}/acpi/AcpiExports.cmake)
include_guard(GLOBAL)

function(setup_link_acpi_exports target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(def ${PROJECT_SOURCE_DIR}/acpi/acpi_exports_x64.def)
  elseif(MSVC)
    set(def ${PROJECT_SOURCE_DIR}/acpi/acpi_exports_x86_msvc.def)
  else()
    set(def ${PROJECT_SOURCE_DIR}/acpi/acpi_exports_x86.def)
  endif()
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

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SETUP_ARCH x86_64)
else()
  set(SETUP_ARCH i686)
endif()

# setup_acpi_export_table(<var>): the export table every such executable
# must carry, as "ordinal:name|...", for check_export_table.cmake.
function(setup_acpi_export_table var)
  set(table "")
  set(ordinal 0)
  foreach(entry IN ITEMS
      AcpiCallMethod@12 AcpiGGrp@12 AcpiGetItem@8 AcpiGetItemBuffer@16 AcpiGetItemEx@12
      AcpiInit@0 AcpiMbif@8 AcpiSetItem@12 AcpiSetItemBuffer@16)
    math(EXPR ordinal "${ordinal} + 1")
    if(SETUP_ARCH STREQUAL "x86_64")
      string(REGEX REPLACE "@[0-9]+$" "" entry ${entry})
    else()
      set(entry _${entry})
    endif()
    list(APPEND table "${ordinal}:${entry}")
  endforeach()
  list(JOIN table "|" table)
  set(${var} "${table}" PARENT_SCOPE)
endfunction()
