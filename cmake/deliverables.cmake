# One shared library per row of the table of deliverables, named after the
# row and exporting nothing but mexFunction.

file(STRINGS ${PROJECT_SOURCE_DIR}/gateway/deliverables.def bipedkin_rows REGEX "^BIPEDKIN_DELIVERABLE\\(")
set(BIPEDKIN_DELIVERABLES "")
foreach(row IN LISTS bipedkin_rows)
  string(REGEX MATCH "^BIPEDKIN_DELIVERABLE\\(([a-z0-9_]+)," _ "${row}")
  list(APPEND BIPEDKIN_DELIVERABLES ${CMAKE_MATCH_1})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/gateway/deliverables.def)

add_custom_target(deliverables)
foreach(name IN LISTS BIPEDKIN_DELIVERABLES)
  add_library(${name} SHARED ${PROJECT_SOURCE_DIR}/gateway/entry.cpp)
  target_compile_definitions(${name} PRIVATE BIPEDKIN_DELIVERABLE_NAME=${name})
  target_link_libraries(${name} PRIVATE bipedkin_model bipedkin_mx bipedkin_mex)
  target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/gateway/exports.map
                      ${BIPEDKIN_PLUGIN_LINK_OPTIONS})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so" BUILD_RPATH "$ORIGIN"
                        LINK_DEPENDS ${PROJECT_SOURCE_DIR}/gateway/exports.map)
  add_dependencies(deliverables ${name})
endforeach()
