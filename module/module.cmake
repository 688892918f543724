# The device group editor module.
#   toolbank_core: every module source, as a static library tests can link.
#   toolbank:      libtoolbank.so for the host, exporting only Appstart.
file(GLOB TOOLBANK_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/entry/*.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/editor/*.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/services/*.cpp)
add_library(toolbank_core STATIC ${TOOLBANK_SOURCES})
set_target_properties(toolbank_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(toolbank_core PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR}/entry
  ${CMAKE_CURRENT_SOURCE_DIR}/editor
  ${CMAKE_CURRENT_SOURCE_DIR}/services)
target_link_libraries(toolbank_core PUBLIC platform_headers screenlib hostlibs native_files)

# The whole archive goes in (nothing in the shared library itself refers to
# the entry point); the version script keeps every symbol but Appstart local.
add_library(toolbank SHARED ${CMAKE_CURRENT_SOURCE_DIR}/entry/toolbank.map)
set_target_properties(toolbank PROPERTIES LINKER_LANGUAGE CXX
                                          LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/entry/toolbank.map)
target_link_libraries(toolbank PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,toolbank_core>"
                                       screenlib hostlibs native_files)
target_link_options(toolbank PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/entry/toolbank.map -Wl,--no-undefined)
